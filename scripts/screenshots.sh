#!/usr/bin/env bash
# Remakes the user guide's screenshots (docs/images/*.png): drives the wizard over the sample
# roster under a virtual X display (Xvfb) with a window manager (openbox), so the pictures show
# the program as it is now, window frames included. A second run at 200 % (QT_SCALE_FACTOR=2,
# on a screen twice the size) writes the same pictures to $SCREENSHOTS_200_DIR (default
# <build>/screenshots-200/) for checking that nothing is clipped; they are not the guide's.
#   DISPLAY_NUMBER=NN picks the virtual display (default: a free one from :90 up).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out200=${SCREENSHOTS_200_DIR:-$build/screenshots-200}
"$root/scripts/deps.sh"
[ -f "$build/build.ninja" ] || "$root/scripts/build.sh"
cmake --build "$build" --target corvane-screenshots corvane-lite >/dev/null

pick_display() {
  if [ -n "${DISPLAY_NUMBER:-}" ]; then echo ":$DISPLAY_NUMBER"; return; fi
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || { echo ":$n"; return; }
  done
  echo ":$((90 + RANDOM % 30))"
}

xvfb=0 wm=0
stop() {
  [ "$wm" != 0 ] && kill "$wm" 2>/dev/null || true
  [ "$xvfb" != 0 ] && kill "$xvfb" 2>/dev/null || true
  wait 2>/dev/null || true
  xvfb=0 wm=0
}
trap stop EXIT

# run SCREEN OUT_DIR [environment...]: one pass of the screenshots on a fresh display
run() {
  local screen=$1 dir=$2
  shift 2
  local display
  display=$(pick_display)
  Xvfb "$display" -screen 0 "$screen" -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 50); do DISPLAY=$display xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || sleep 1
  DISPLAY=$display openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  mkdir -p "$dir"
  env DISPLAY="$display" QT_QPA_PLATFORM=xcb "$@" "$build/corvane-screenshots" "$dir" "$root/examples"
  stop
}

run 1280x800x24 "$root/docs/images"
run 2560x1600x24 "$out200" QT_SCALE_FACTOR=2

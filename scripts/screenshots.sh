#!/usr/bin/env bash
# Remakes the user guide's screenshots (docs/images/*.png): drives the wizard over the sample
# roster under a virtual X display (Xvfb) with a window manager (openbox), so the pictures show
# the program as it is now, window frames included.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
"$root/scripts/deps.sh"
[ -f "$build/build.ninja" ] || "$root/scripts/build.sh"
cmake --build "$build" --target corvane-screenshots corvane-lite >/dev/null

display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill $wm $xvfb 2>/dev/null || true' EXIT
wm=0
export DISPLAY=$display
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done 2>/dev/null || sleep 1
openbox >/dev/null 2>&1 &
wm=$!
sleep 1
QT_QPA_PLATFORM=xcb "$build/corvane-screenshots" "$root/docs/images" "$root/examples"

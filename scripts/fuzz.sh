#!/usr/bin/env bash
# Usage: scripts/fuzz.sh [SECONDS] [HARNESS...]
# Builds the roster readers' libFuzzer harnesses with clang (into build-fuzz/, or
# $FUZZ_BUILD_DIR) and runs each (or the ones named) for SECONDS (default 60), seeded from
# the test files.
# Exits non-zero on any crash, leak or timeout in our code. A fault whose stack lies inside
# a file-format library (libmdb, libgsf, glib) is reported with its reproducer and the
# harness goes on; those libraries are not ours to mend, and the import process guards them.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
shift || true
only=" $* "
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}

"$root/scripts/deps.sh"
extra=(clang libclang-rt-14-dev llvm)
missing=()
for p in "${extra[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=(); [ "$(id -u)" -eq 0 ] || SUDO=(sudo)
  DEBIAN_FRONTEND=noninteractive "${SUDO[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCORVANE_FUZZ=ON -DCORVANE_TESTS=OFF \
  -DCORVANE_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target fuzzers

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:allocator_may_return_null=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export ASAN_SYMBOLIZER_PATH=${ASAN_SYMBOLIZER_PATH:-$(command -v llvm-symbolizer || true)}
export QT_QPA_PLATFORM=offscreen

# A report is the library's when the first frame of each stack that is not the sanitizer,
# libFuzzer or the C runtime lies in one of these libraries.
library_fault() {
  awk '
    /ERROR:|runtime error|leak of/ { want = 1; next }
    /^ *#[0-9]+ / && want {
      if ($0 ~ /__asan|__interceptor|__sanitizer|__ubsan|fuzzer::|libc\.so|compiler-rt|sanitizer_common|in (malloc|calloc|realloc|free|operator new|operator delete|raise|abort|memcpy|memmove|memset|strlen)[ (]|libpthread/) next
      want = 0
      if ($0 ~ /libmdb|libglib|libgsf/) lib++; else ours++
    }
    END { exit (lib > 0 && ours == 0) ? 0 : 1 }' "$1"
}

# The harnesses write their inputs under /dev/shm (or /tmp) in a folder per process and
# remove it when they end normally; a run stopped by a fault leaves it. Folders whose
# process is gone are leftovers.
scratch_cleanup() {
  local d pid
  for d in /dev/shm/corvane-fuzz-* /tmp/corvane-fuzz-*; do
    [ -d "$d" ] || continue
    pid=${d##*-}
    kill -0 "$pid" 2>/dev/null || rm -rf "$d"
  done
}
trap scratch_cleanup EXIT

failed=0
summary=()
logs="$build/fuzz/logs"
mkdir -p "$logs"
while read -r name globs; do
  [ -n "$name" ] || continue
  [ "$only" = "  " ] || [[ "$only" == *" $name "* ]] || continue
  exe="$build/fuzz/$name"
  corpus="$build/fuzz/corpus/$name"
  seeds="$build/fuzz/seeds/$name"
  artifacts="$build/fuzz/artifacts/$name"
  mkdir -p "$corpus" "$seeds" "$artifacts"
  (cd "$root" && for g in $globs; do for f in $g; do [ -f "$f" ] && cp -f "$f" "$seeds/"; done; done)
  execs=0; known=0; status=ok; start=$(date +%s)
  while :; do
    left=$(( seconds - ($(date +%s) - start) ))
    [ "$left" -gt 0 ] || break
    log="$logs/$name.$(date +%s%N).log"
    rc=0
    "$exe" -max_total_time="$left" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1 || rc=$?
    scratch_cleanup
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    if [ -z "$n" ]; then   # stopped by a fault: the last status line counts
      n=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
    fi
    execs=$(( execs + ${n:-0} ))
    [ "$rc" -eq 0 ] && break
    artifact=$(grep -oE "Test unit written to [^ ]+" "$log" | tail -1 | sed 's/Test unit written to //')
    if library_fault "$log"; then
      known=$(( known + 1 ))
      echo "$name: a fault inside a file-format library (not ours): ${artifact:-no reproducer}; log $log"
      # a seed or corpus file that brings it about would stop every new run at once
      if [ -n "$artifact" ] && [ -f "$artifact" ]; then
        for f in "$seeds"/* "$corpus"/*; do
          [ -f "$f" ] && cmp -s "$f" "$artifact" && rm -f "$f"
        done
      fi
      [ "$known" -lt 50 ] || break
      continue
    fi
    status=FAILED; failed=1
    echo "$name: FAULT in our code; reproducer ${artifact:-none}; log $log" >&2
    grep -E "ERROR|SUMMARY| #[0-9]+ " "$log" | head -40 >&2
    break
  done
  took=$(( $(date +%s) - start )); [ "$took" -gt 0 ] || took=1
  summary+=("$(printf '%-22s %-7s %10d execs %8d exec/s  %d library faults' "$name" "$status" "$execs" $(( execs / took )) "$known")")
done < "$build/fuzz/harnesses.txt"

printf '%s\n' "${summary[@]}"
exit $failed

#!/usr/bin/env bash
# ThreadSanitizer build of the product tests: the products written at once on worker
# threads must share nothing unguarded. Slow (a build of its own), so not part of CI.
#
#   scripts/tsan.sh [TestClass [test function ...]]   (build tree: build-tsan, or $BUILD_DIR)
#   TSAN_SUITE=batch scripts/tsan.sh ...               (tst_batch and corvane-batch, which prints
#                                                       the products on worker threads)
#
# Qt itself is not instrumented: what its libraries do inside is left to them
# (scripts/tsan.supp); races in our code, and our code racing on Qt objects, are reported.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-tsan}
suite=${TSAN_SUITE:-products}
targets=("tst_$suite")
[ "$suite" = batch ] && targets+=(corvane-batch)
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_TSAN=ON \
  -DCORVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target "${targets[@]}"
# corvane-import runs under an address-space limit that the sanitizer's shadow memory does not
# fit in: rosters are read by a plain build of it (the child reads alone, nothing to check there).
plain=${PLAIN_BUILD_DIR:-$build/plain-import}
cmake -S "$root" -B "$plain" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_TESTS=OFF \
  -DCORVANE_BENCH=OFF >/dev/null
cmake --build "$plain" -j"$(nproc)" --target corvane-import
export CORVANE_IMPORT=$plain/corvane-import
# Child programs started the way QProcess starts them must not reset the sanitizer (see the file).
cc -shared -fPIC -O2 -o "$build/tsan-clone.so" "$root/scripts/tsan-clone.c" -ldl
export TSAN_OPTIONS="halt_on_error=1 history_size=4 suppressions=$root/scripts/tsan.supp ${TSAN_OPTIONS:-}"
LD_PRELOAD="$build/tsan-clone.so" QT_QPA_PLATFORM=offscreen QTEST_DISABLE_STACK_DUMP=1 \
  "$build/tests/tst_$suite" "$@"

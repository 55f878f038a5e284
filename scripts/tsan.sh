#!/usr/bin/env bash
# ThreadSanitizer build of the product tests: the products written at once on worker
# threads must share nothing unguarded. Slow (a build of its own), so not part of CI.
#
#   scripts/tsan.sh [test function ...]      (build tree: build-tsan, or $BUILD_DIR)
#
# Qt itself is not instrumented: what its libraries do inside is left to them
# (scripts/tsan.supp); races in our code, and our code racing on Qt objects, are reported.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build-tsan}
"$root/scripts/deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_TSAN=ON \
  -DCORVANE_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target tst_products
export TSAN_OPTIONS="halt_on_error=1 history_size=4 suppressions=$root/scripts/tsan.supp ${TSAN_OPTIONS:-}"
QT_QPA_PLATFORM=offscreen QTEST_DISABLE_STACK_DUMP=1 "$build/tests/tst_products" "$@"

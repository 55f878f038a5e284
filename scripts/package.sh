#!/usr/bin/env bash
# Builds the Debian package (corvane-lite_<version>_<arch>.deb) with CPack: installs what is
# missing, builds the programs only (no tests, no benchmarks) in a build tree of their own,
# then packages it. Dependencies come from dpkg-shlibdeps.
#   scripts/package.sh [--no-build]
# The build tree is $PACKAGE_BUILD_DIR (default: build-package/); --no-build packages the tree
# in $BUILD_DIR as it is. The package goes to $PACKAGE_DIR (default: the build tree); its path
# is the last line printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--no-build" ]; then
  build=${BUILD_DIR:-$root/build}
else
  build=${PACKAGE_BUILD_DIR:-$root/build-package}
  "$root/scripts/deps.sh"
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCORVANE_TESTS=OFF -DCORVANE_BENCH=OFF -DCORVANE_FUZZ=OFF >/dev/null
  cmake --build "$build" -j"$(nproc)"
fi
out=${PACKAGE_DIR:-$build}
mkdir -p "$out"
# dpkg-shlibdeps (package dpkg-dev) reads the dependencies off the programs
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps is missing (package dpkg-dev)" >&2; exit 1; }
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
ls -t "$out"/corvane-lite_*.deb | head -n 1

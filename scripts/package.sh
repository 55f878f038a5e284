#!/usr/bin/env bash
# Builds the Debian package (corvane-lite_<version>_<arch>.deb) with CPack: installs what is
# missing, builds, then packages the build tree. Dependencies come from dpkg-shlibdeps.
#   scripts/package.sh [--no-build]
# The package goes to $PACKAGE_DIR (default: the build tree); its path is the last line printed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
out=${PACKAGE_DIR:-$build}
if [ "${1:-}" != "--no-build" ]; then
  "$root/scripts/build.sh"
fi
mkdir -p "$out"
# dpkg-shlibdeps (package dpkg-dev) reads the dependencies off the programs
command -v dpkg-shlibdeps >/dev/null || { echo "dpkg-shlibdeps is missing (package dpkg-dev)" >&2; exit 1; }
(cd "$build" && cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1) || { cat "$out/cpack.log" >&2; exit 1; }
rm -rf "$out/_CPack_Packages"
ls -t "$out"/corvane-lite_*.deb | head -n 1

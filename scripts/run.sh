#!/usr/bin/env bash
# Builds the program and starts it. Page 1 opens on the shipped sample rosters (examples/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
cd "$root/examples"
exec "${BUILD_DIR:-$root/build}/corvane-lite" "$@"

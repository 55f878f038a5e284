#!/usr/bin/env bash
# Builds the program and starts it. Page 1 opens on the shipped sample rosters (examples/)
# unless another folder is given.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
if [ $# -eq 0 ] && [ -d "$root/examples" ]; then
  set -- "$root/examples"
fi
exec "${BUILD_DIR:-$root/build}/corvane-lite" "$@"

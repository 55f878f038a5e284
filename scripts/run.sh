#!/usr/bin/env bash
# Builds the program and starts it. Page 1 opens on the shipped sample rosters (examples/).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/build.sh"
# Without the sample folder the program starts in the project folder.
cd "$root/examples" 2>/dev/null || cd "$root"
exec "${BUILD_DIR:-$root/build}/corvane-lite" "$@"

#!/usr/bin/env bash
# One command for a fresh Debian 12 machine: install what is missing, build, start the program.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
exec "${ORVANE_BUILD_DIR:-$top/build}/orvane-replace" "$@"

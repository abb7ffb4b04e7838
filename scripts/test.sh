#!/usr/bin/env bash
# One command for a fresh Debian 12 machine: install what is missing, build, run every test.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANE_BUILD_DIR:-$top/build}
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh"
cd "$build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j"$(nproc)"

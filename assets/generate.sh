#!/usr/bin/env bash
# Repaints banner.png, icon.png and hand.png in this folder from make_assets.cpp.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANE_BUILD_DIR:-$top/build}
cmake -S "$top" -B "$build" >/dev/null
cmake --build "$build" --target orvane-make-assets -j2
"$build/orvane-make-assets" "$top/assets"

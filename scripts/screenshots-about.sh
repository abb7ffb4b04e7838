#!/usr/bin/env bash
# Pictures of the About dialog, the folder picker and the help viewer, taken under Xvfb, into
# screenshots/ (or $1). Builds first.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANE_BUILD_DIR:-$top/build}
out=${1:-$top/screenshots}
"$top/scripts/build.sh"
mkdir -p "$out"
for shot in about:about-dialog browse:folder-picker help:help-viewer; do
    mode=${shot%%:*} name=${shot#*:}
    # Each picture gets its own X server, so nothing is left behind between them.
    xvfb-run -a -s "-screen 0 1024x768x24" "$build/about_screens" "$mode" "$out/$name.png"
    echo "$out/$name.png"
done

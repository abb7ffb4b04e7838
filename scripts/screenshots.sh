#!/usr/bin/env bash
# Screenshots of the real program on a virtual X screen (Xvfb): at start, with Between
# selected, and after a run over a small demo site; at 100% and at 200% scale.
# The window is driven from the keyboard with xdotool, as a user would, so the program needs
# no hook of its own. Writes screenshots/main-{start,between,after-run}[-200].png, and the
# folder picker, the About dialog and the help viewer as folder-picker, about-dialog and
# help-viewer[-200].png.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVANE_BUILD_DIR:-$top/build}
out=$top/screenshots

if [[ "${1:-}" != --on-screen ]]; then
    for tool in xvfb-run xdotool import; do
        command -v "$tool" >/dev/null || { echo "missing $tool: run scripts/install-deps.sh" >&2; exit 1; }
    done
    [[ -x "$build/orvane-replace" ]] || "$top/scripts/build.sh"
    mkdir -p "$out"
    xvfb-run -a -s "-screen 0 1280x1024x24" "$0" --on-screen 1 ""
    # Twice the pixels need twice the screen.
    xvfb-run -a -s "-screen 0 2560x2048x24" "$0" --on-screen 2 "-200"
    ls -l "$out"
    exit 0
fi

scale=$2
suffix=$3
# A fixed place, so the pictures show the same path every time.
demo=${TMPDIR:-/tmp}/orvane-demo
rm -rf "$demo"
pid=
cleanup() {
    if [[ -n $pid ]]; then kill "$pid" 2>/dev/null || true; fi
    rm -rf "$demo"
}
trap cleanup EXIT

# A small web site whose pages carry last year's copyright line.
site=$demo/website
mkdir -p "$site/news" "$site/docs"
for page in index about contact; do
    printf '<html><body><h1>%s</h1>\n<p>&copy; 2025 Example Ltd.</p></body></html>\n' "$page" \
        >"$site/$page.html"
done
printf '<p>Spring news.</p><p>&copy; 2025 Example Ltd.</p>\n' >"$site/news/spring.htm"
printf '<p>Autumn news.</p><p>&copy; 2025 Example Ltd.</p>\n' >"$site/news/autumn.htm"
printf 'Read me first.\nCopyright 2025 Example Ltd.\n' >"$site/docs/readme.txt"
printf 'No year in here.\n' >"$site/docs/notes.txt"
printf 'body { color: black; } /* 2025 */\n' >"$site/style.css"

QT_SCALE_FACTOR=$scale QT_QPA_PLATFORM=xcb "$build/orvane-replace" &
pid=$!
win=$(timeout 30 xdotool search --sync --onlyvisible --name '^Orvane Replace$' | head -1)
[[ -n $win ]] || { echo "the window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$win"
sleep 1

shot() {
    eval "$(xdotool getwindowgeometry --shell "$win")"
    import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out/$1$suffix.png"
}

shot main-start
# Focus starts in the mask box; Tab leads on to the path, past Browse and the check box, to
# the text to find, then to the selected action, whose neighbours the arrow keys select.
xdotool key --delay 50 Tab
xdotool type --delay 5 "$site"
xdotool key --delay 50 Tab Tab Tab
xdotool type --delay 5 '2025 Example'
xdotool key --delay 50 Tab Right Right Right
sleep 0.5
shot main-between
xdotool key --delay 50 Left Left Left Tab
xdotool type --delay 5 '2026 Example'
xdotool key alt+e
sleep 2
shot main-after-run

# Browse: the folder picker, modal over the window.
main=$win
xdotool key alt+b
picker=$(xdotool search --sync --onlyvisible --name '^Browsing is limited to' | head -1)
sleep 1
win=$picker shot folder-picker
xdotool key Escape
sleep 0.5
# Without a window manager nothing gives the focus back after a dialog: give it.
xdotool windowfocus --sync "$main"
# Help > About.., then Enter closes it.
xdotool key alt+h
sleep 0.3
xdotool key a
about=$(xdotool search --sync --onlyvisible --name '^关于 Orvane Replace$' | head -1)
sleep 0.5
win=$about shot about-dialog
xdotool key Return
sleep 0.5
xdotool windowfocus --sync "$main"
# Help > Content: help.chm in the desktop's CHM viewer (xchm); it ends with the X server.
xdotool key alt+h
sleep 0.3
xdotool key c
viewer=$(xdotool search --sync --onlyvisible --name 'Orvane Replace Help' | head -1)
sleep 2
win=$viewer shot help-viewer
kill "$pid"
wait "$pid" 2>/dev/null || true
pid=

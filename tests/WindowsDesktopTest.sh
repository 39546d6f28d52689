#!/usr/bin/env bash
# The Windows window on an X display under Wine, as a user meets it: it opens
# titled "Framelot", a real XDND drag of two files from an X11 program (Wine
# turns it into WM_DROPFILES) converts them, a click and Esc close it, and
# framelot.ini beside the program then holds folder=ON.
set -euo pipefail
build=$1
gif=$2
source=$3
[ -n "${DISPLAY:-}" ] || { echo "no X display (make test-windows runs the tests on Xvfb)"; exit 77; }
export WINEPREFIX=$build/wine WINEDEBUG=-all
tmp=$(mktemp -d)
trap 'kill $program 2>/dev/null || true; rm -rf "$tmp"' EXIT
g++ -std=c++20 -O1 -o "$tmp/xdnd-drag" "$source" -lX11
mkdir "$tmp/app"
cp "$build/windows/framelot.exe" "$tmp/app/"
cp "$gif" "$tmp/with space.gif"
cp "$gif" "$tmp/アニメ.gif"
chmod u+w "$tmp"/*.gif
(cd "$tmp/app" && exec /usr/lib/wine/wine64 framelot.exe) &
program=$!

wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local until=$((SECONDS + $1)); shift
  until "$@"; do [ $SECONDS -lt $until ] || return 1; sleep 0.2; done
}
window() { xdotool search --name '^Framelot$' 2>/dev/null | head -1; }
has_window() { [ -n "$(window)" ]; }
no_window() { [ -z "$(window)" ]; }
wait_for 30 has_window || { echo "FAIL: no window titled Framelot"; exit 1; }

"$tmp/xdnd-drag" Framelot "$tmp/with space.gif" "$tmp/アニメ.gif"
frames() { [ -f "$tmp/with space/with space_0001.png" ] && [ -f "$tmp/アニメ/アニメ_0001.png" ]; }
wait_for 20 frames || { echo "FAIL: the dropped files were not converted"; ls -R "$tmp"; exit 1; }

xdotool mousemove --window "$(window)" 20 20 click 1
sleep 0.5
xdotool key Escape
wait_for 20 no_window || { echo "FAIL: Esc did not close the window"; exit 1; }
tr -d '\r\0' <"$tmp/app/framelot.ini" | grep -qx 'folder=ON' || { echo "FAIL: framelot.ini:"; cat "$tmp/app/framelot.ini"; exit 1; }

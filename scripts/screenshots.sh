#!/usr/bin/env bash
# Starts the editor under Xvfb and saves screenshots of its main states into shots/:
#   1-no-map.png      started without theme.rxt beside it
#   2-jpeg-preview.png the sample theme open, a JPEG file selected
#   3-other-page.png  the "Другое" page of the same theme
# Builds first. The window sits at (191, 120) on a screen without a window manager, so the
# clicks below are fixed positions of the menu, the tree and the page tabs.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --build build >/dev/null 2>&1 || bash scripts/build.sh >/dev/null
out="$PWD/shots"
mkdir -p "$out"
app_dir="$PWD/build/app"

# Xvfb picks a free display itself and writes its number to the descriptor it is given, so the
# script never clashes with another X server on a shared machine.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$display_file"' EXIT
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
export XDG_RUNTIME_DIR=${XDG_RUNTIME_DIR:-/tmp/runtime-$(id -u)}
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
sleep 1

# The window's client area: 757 x 474 below the menu bar, at (191, 120).
shoot() { import -window root -crop 780x520+181+110 +repage "$out/$1"; }

# 1. No map: a copy of the editor in a folder without theme.rxt.
no_map=$(mktemp -d)
cp "$app_dir/orvalen-wqt-manager" "$no_map/"
"$no_map/orvalen-wqt-manager" 2>/dev/null &
pid=$!
sleep 2
shoot 1-no-map.png
kill "$pid"
rm -rf "$no_map"

# 2. The sample theme open with the first JPEG selected.
(cd "$app_dir" && ./orvalen-wqt-manager 2>/dev/null) &
pid=$!
sleep 2
xdotool mousemove 215 128 click 1 # "Файл"
sleep 0.5
xdotool key Down Down Return # "Открыть тему"
sleep 1
xdotool type --delay 20 "$app_dir/Sample.wqt"
xdotool key Return
sleep 1
xdotool mousemove 250 175 click 1 # the first node of the tree: a JPEG
sleep 1
shoot 2-jpeg-preview.png

# 3. The "Другое" page.
xdotool mousemove 280 152 click 1
sleep 0.5
shoot 3-other-page.png
kill "$pid"
echo "screenshots in $out"

#!/bin/sh
# Remakes docs/screenshot.png: kivra.exe under Wine in an X display (a
# virtual one from tools/with-display.sh when there is none) with the
# bundled sample (or the file named as the first argument) loaded, the tree
# opened a little with the keyboard and one atom selected, the screen
# captured with ImageMagick's import and cropped to kivra's window.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
file="${1:-samples/sample.mp4}"
out="$here/docs/screenshot.png"
if [ "$1" != "--in-display" ]; then
  sh tools/setup.sh
  exe=$(sh tools/build-kivra-exe.sh)
  exec sh tools/with-display.sh sh "$here/tools/screenshot.sh" --in-display "$exe" "$file"
fi
exe="$2"
file="$3"

kivra=""
trap 'kill $kivra 2>/dev/null' EXIT INT TERM
sh tools/wine-run.sh "$exe" "$file" &
kivra=$!
window=""
i=0
while [ -z "$window" ]; do
  i=$((i + 1)); [ $i -gt 240 ] && { echo "screenshot: kivra's window did not appear" >&2; exit 1; }
  window=$(xdotool search --name "^kivra - drop me" 2>/dev/null | head -1)
  [ -n "$window" ] || sleep 0.5
done
sleep 2

# Click the root item to give the tree the focus, then open the root, step
# down to the second atom (moov in a fast-start file), open it and select
# the first atom inside it so that the binary view shows its payload.
xdotool mousemove --window "$window" 60 9 click 1
sleep 0.5
for key in Right Down Down Right Down Down Down Down; do
  xdotool key --window "$window" "$key" 2>/dev/null
  sleep 0.3
done
sleep 1

geometry=$(xdotool getwindowgeometry --shell "$window")
eval "$geometry"
mkdir -p "$here/docs"
import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
echo "screenshot: wrote $out (${WIDTH}x${HEIGHT})"

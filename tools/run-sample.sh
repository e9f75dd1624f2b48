#!/bin/sh
# Installs what is missing, builds kivra and opens the bundled sample file
# (or the file named as the first argument). With an X display ($DISPLAY)
# kivra.exe opens under Wine: the 32-bit product where this host's Wine runs
# 32-bit programs, else the 64-bit build. Without a display, kivra-dump
# prints the same atom tree on the terminal.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
file="${1:-samples/sample.mp4}"
sh tools/setup.sh
if [ -n "$DISPLAY" ] && xdpyinfo >/dev/null 2>&1; then
  exe=$(sh tools/build-kivra-exe.sh)
  exec sh tools/wine-run.sh "$exe" "$file"
fi
sh tools/build.sh native
exec build/native/tools/kivra-dump "$file"

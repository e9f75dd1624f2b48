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
  if /usr/lib/wine/wine --version >/dev/null 2>&1; then
    kind=win32 toolchain=mingw-i686
  else
    kind=win64 toolchain=mingw-x86_64
  fi
  # The same configuration as tools/build.sh, building kivra.exe alone.
  if [ ! -f "build/$kind/CMakeCache.txt" ]; then
    cmake -G Ninja -S "$here" -B "build/$kind" \
      -DCMAKE_TOOLCHAIN_FILE="$here/cmake/$toolchain.cmake" >/dev/null
  fi
  cmake --build "build/$kind" --target kivra
  exec sh tools/wine-run.sh "build/$kind/app/kivra.exe" "$file"
fi
sh tools/build.sh native
exec build/native/tools/kivra-dump "$file"

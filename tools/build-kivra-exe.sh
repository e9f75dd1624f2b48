#!/bin/sh
# Builds kivra.exe alone and prints its path: the 32-bit product where this
# host's Wine runs 32-bit programs, else the 64-bit build. Same configuration
# as tools/build.sh; the build's own output goes to stderr.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
if sh "$here/tools/win32-host.sh"; then
  kind=win32 toolchain=mingw-i686
else
  kind=win64 toolchain=mingw-x86_64
fi
if [ ! -f "$here/build/$kind/CMakeCache.txt" ]; then
  cmake -G Ninja -S "$here" -B "$here/build/$kind" \
    -DCMAKE_TOOLCHAIN_FILE="$here/cmake/$toolchain.cmake" >/dev/null
fi
cmake --build "$here/build/$kind" --target kivra >&2
echo "$here/build/$kind/app/kivra.exe"

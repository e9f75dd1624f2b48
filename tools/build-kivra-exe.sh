#!/bin/sh
# Builds kivra.exe alone and prints its path: the 32-bit product where this
# host's Wine runs 32-bit programs, else the 64-bit build. The build's own
# output goes to stderr.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
if sh "$here/tools/win32-host.sh"; then
  kind=win32
else
  kind=win64
fi
sh "$here/tools/build.sh" --target kivra "$kind" >&2
echo "$here/build/$kind/app/kivra.exe"

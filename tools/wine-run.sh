#!/bin/sh
# Runs a Windows program under Wine: the CTest emulator of the MinGW builds.
# A 64-bit program runs with wine64, a 32-bit one with wine (which needs a
# host that can execute 32-bit code). Each kind gets its own Wine prefix in
# the source tree's build folder unless WINEPREFIX is set.
prog="$1"
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG="${WINEDEBUG:--all}"
pe=$(od -An -tu4 -j60 -N4 "$prog" | tr -d ' ')
machine=$(od -An -tx1 -j$((pe + 4)) -N2 "$prog" | tr -d ' \n')
if [ "$machine" = "6486" ]; then
  loader=/usr/lib/wine/wine64
  export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix64}"
else
  loader=/usr/lib/wine/wine
  export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix32}"
  export WINEARCH=win32
fi
[ -x "$loader" ] || loader=$(command -v wine)
exec "$loader" "$@"

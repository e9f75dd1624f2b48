#!/bin/sh
# Runs a Windows program under Wine: the CTest emulator of the MinGW builds.
# 32-bit and 64-bit programs share one 64-bit Wine prefix (build/wineprefix
# unless WINEPREFIX is set): its services are 64-bit programs, which start
# fast even where 32-bit code runs through an emulator, and 32-bit programs
# run in it through WoW64. A 64-bit program starts with wine64, a 32-bit one
# with wine, which needs a host that executes 32-bit code
# (tools/win32-host.sh tells; tools/setup.sh arranges it where it can).
#   wine-run.sh PROGRAM.exe ARGS...  runs the program
#   wine-run.sh --start              makes the prefix if it is not there yet
#                                    (its output in a log beside it), then
#                                    starts a wineserver and the prefix's
#                                    services, which stay up until --stop (at
#                                    most ten idle minutes), so that the
#                                    programs run after it share them
#   wine-run.sh --stop               ends that wineserver and the prefix's
#                                    services
prog="$1"
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEPREFIX="${WINEPREFIX:-$here/build/wineprefix}"
# A 32-bit-only prefix would start every service emulated: never make one.
unset WINEARCH
wineserver=/usr/lib/wine/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
case "$prog" in
  --start)
    mkdir -p "$(dirname "$WINEPREFIX")"
    # No pipe of the caller may reach the server or the services: they
    # would hold it open until they end.
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      log="$WINEPREFIX.log"
      /usr/lib/wine/wine64 wineboot --init </dev/null >"$log" 2>&1 ||
        { echo "wine-run: making the prefix $WINEPREFIX failed (see $log)" >&2; exit 1; }
      "$wineserver" -w
    fi
    # Up until --stop, or ten minutes after its last program ended if the
    # caller died before it could say --stop.
    "$wineserver" -p600 </dev/null >/dev/null 2>&1
    # The first program of a server starts the prefix's services, and they
    # keep its standard handles; with the server kept up they never end, so
    # a pipe they got (CTest's, a command substitution's) would never close.
    # Start them here, with none.
    /usr/lib/wine/wine64 cmd.exe /c exit </dev/null >/dev/null 2>&1
    exit 0 ;;
  --stop)
    "$wineserver" -k 2>/dev/null
    exit 0 ;;
esac
pe=$(od -An -tu4 -j60 -N4 "$prog" | tr -d ' ')
machine=$(od -An -tx1 -j$((pe + 4)) -N2 "$prog" | tr -d ' \n')
if [ "$machine" = "6486" ]; then
  loader=/usr/lib/wine/wine64
else
  loader=/usr/lib/wine/wine
fi
[ -x "$loader" ] || loader=$(command -v wine)
exec "$loader" "$@"

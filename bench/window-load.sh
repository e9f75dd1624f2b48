#!/bin/sh
# Times the window program's load of 10^4 and 10^5 atoms in a real tree view
# under Wine (in a virtual display when there is none), against the floor.
# Usage: bench/window-load.sh [ATOMS...]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/tools/build.sh" win64 >/dev/null
exec sh "$here/tools/with-display.sh" sh "$here/tools/wine-run.sh" \
  "$here/build/win64/bench/window_load_bench.exe" "$@"

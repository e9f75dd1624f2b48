#!/bin/sh
# Times the window program's load of 10^4 and 10^5 atoms in a real tree view
# under Wine (in a virtual display when there is none), against the floor,
# with the time per item: Wine's tree view finds an item's handle by a linear
# search on every insertion, so the time per item grows with the count.
# Usage: bench/window-load.sh [ATOMS...]; the row of a file of 10^5
# fragments with descriptions (2.8 million items, about 26 minutes under
# Wine) is `bench/window-load.sh 1100000`.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/tools/build.sh" win64 >/dev/null
exec sh "$here/tools/with-display.sh" sh "$here/tools/wine-run.sh" \
  "$here/build/win64/bench/window_load_bench.exe" "$@"

#!/bin/sh
# Installs what is missing, builds kivra and shows the atom tree of the
# bundled sample file (or of the file named as the first argument).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
file="${1:-samples/sample.mp4}"
sh tools/setup.sh
sh tools/build.sh native
exec build/native/tools/kivra-dump "$file"

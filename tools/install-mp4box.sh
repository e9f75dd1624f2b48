#!/bin/sh
# Installs the mp4box.js parser (npm package mp4box, at the version the
# differential test of the box fields was written against) into
# build/node/node_modules, once. Needs node and npm (Debian's nodejs, npm).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
version=2.4.1
dir="$here/build/node"
if [ -f "$dir/node_modules/mp4box/package.json" ] &&
   grep -q "\"version\": \"$version\"" "$dir/node_modules/mp4box/package.json"; then
  exit 0
fi
command -v npm >/dev/null || { echo "install-mp4box: npm is not installed" >&2; exit 1; }
mkdir -p "$dir"
echo "install-mp4box: installing mp4box@$version into $dir" >&2
npm install --silent --no-audit --no-fund --prefix "$dir" "mp4box@$version" >&2

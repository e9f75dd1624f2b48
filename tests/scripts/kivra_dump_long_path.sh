#!/bin/sh
# kivra-dump.exe, run under Wine from directories whose Windows path
# (Z:\...\) is 251 and 252 characters long, with atom.def beside it: at 251
# "atom.def" still fits in MAX_PATH and the tree has descriptions; at 252 it
# does not, and the tree comes without them (no crash, no cut-short path).
# Usage: kivra_dump_long_path.sh KIVRA_DUMP_EXE ATOM_DEF SAMPLE WINE_RUN
set -e
dump="$1"; defs="$2"; sample="$3"; wine_run="$4"
base=$(mktemp -d /tmp/kivra_long_XXXXXX)
trap 'rm -rf "$base"' EXIT
cp "$sample" "$base/s.mp4"
run_from() {  # $1: wanted length of the Windows directory path, with its final backslash
  dir="$base/"
  # Windows sees Z: followed by the Unix path.
  while [ $((2 + ${#dir})) -lt "$1" ]; do
    left=$(( $1 - 2 - ${#dir} ))
    if [ $left -gt 101 ]; then part=$(printf '%0100d' 0 | tr 0 d); else part=$(printf "%0$((left - 1))d" 0 | tr 0 d); fi
    dir="$dir$part/"
  done
  mkdir -p "$dir"
  cp "$dump" "$dir/k.exe"
  cp "$defs" "$dir/atom.def"
  sh "$wine_run" "$dir/k.exe" 'Z:'"$(echo "$base/s.mp4" | tr / '\\\\')" > "$base/out$1.txt"
}
run_from 251
run_from 252
lines251=$(grep -c '^ *\[' "$base/out251.txt" || true)
lines252=$(grep -c '^ *\[' "$base/out252.txt" || true)
atoms251=$(grep -c '(+0x' "$base/out251.txt" || true)
atoms252=$(grep -c '(+0x' "$base/out252.txt" || true)
echo "251: $atoms251 atoms, $lines251 description headers; 252: $atoms252 atoms, $lines252 description headers"
[ "$atoms251" -gt 10 ] && [ "$atoms252" = "$atoms251" ] && [ "$lines251" -gt 0 ] && [ "$lines252" = 0 ]

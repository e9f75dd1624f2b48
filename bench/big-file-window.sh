#!/bin/sh
# The largest file the 32-bit kivra.exe shows under Wine (32-bit, in the
# 64-bit prefix), with and without the large-address-aware mark, and
# whether selecting its root item shows its bytes (the binary view copies
# the whole file).
#   bench/big-file-window.sh [GIB...]     (default: 1 1.5 1.9 2.5 3.5)
# Each file is sparse: ftyp, then one mdat over the rest, so it takes no
# disk space and its tree is the root with two atoms (7 items with the
# descriptions of the shipped atom.def). "Before" is the same kivra.exe with
# the mark cleared in its file header, the only difference the mark makes.
# For each file and build it prints the tree's item count (0: the file could
# not be held, the tree stays empty), whether the root's bytes were shown,
# and kivra's peak resident memory: reading the file touches every page of
# its buffer, the binary view's copy as many again, so a peak of about twice
# the file size says the copy was made. Needs an X display or Xvfb, and
# about twice the largest size in free memory.
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${KIVRA_BIG_WINDOW_DISPLAY:-}" ]; then
  export KIVRA_BIG_WINDOW_DISPLAY=1
  exec sh "$here/tools/with-display.sh" sh "$0" "$@"
fi
sizes="${*:-1 1.5 1.9 2.5 3.5}"
sh "$here/tools/build.sh" --target kivra --target app_e2e_probe win32 >/dev/null || exit 1
build="$here/build/win32"
probe="$build/tests/app_e2e_probe64.exe"
[ -f "$probe" ] || probe="$build/tests/app_e2e_probe.exe"
work=$(mktemp -d "${TMPDIR:-/tmp}/kivra_big_window.XXXXXX")
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
winpath() { printf 'Z:%s' "$(printf '%s' "$1" | tr / '\\')"; }

# after = as built; before = the mark (0x20 in the COFF Characteristics)
# cleared in a copy beside it, so it finds the same atom.def.
cp "$build/app/kivra.exe" "$build/app/kivra-without-laa.exe"
python3 - "$build/app/kivra-without-laa.exe" <<'EOF'
import struct, sys
data = bytearray(open(sys.argv[1], 'rb').read())
header = struct.unpack_from('<I', data, 0x3C)[0] + 4
flags = struct.unpack_from('<H', data, header + 18)[0]
struct.pack_into('<H', data, header + 18, flags & ~0x20)
open(sys.argv[1], 'wb').write(data)
EOF

# make_file GIB PATH: ftyp (16 bytes), then an mdat to the end.
make_file() {
  bytes=$(awk -v g="$1" 'BEGIN { printf "%d", g * 1073741824 }')
  python3 - "$2" "$bytes" <<'EOF'
import struct, sys
path, size = sys.argv[1], int(sys.argv[2])
with open(path, 'wb') as f:
    f.write(struct.pack('>I', 16) + b'ftypisom' + bytes(4))
    f.write(struct.pack('>I', size - 16) + b'mdat')
    f.truncate(size)
EOF
}

# The largest resident set of the processes running kivra on this file.
peak_kib() {
  best=0
  for status in /proc/[0-9]*/status; do
    dir=${status%/status}
    { tr '\0' ' ' <"$dir/cmdline"; } 2>/dev/null | grep -q "kivra.*$1" || continue
    kib=$({ sed -n 's/^VmHWM:[[:space:]]*\([0-9]*\) kB/\1/p' "$status"; } 2>/dev/null)
    [ -n "$kib" ] && [ "$kib" -gt "$best" ] && best=$kib
  done
  echo "$best"
}

run_one() {  # EXE FILE GIB
  sh "$here/tools/wine-run.sh" "$1" "$(winpath "$2")" >/dev/null 2>&1 &
  pid=$!
  i=0
  until xdotool search --onlyvisible --name "^kivra - drop me" >/dev/null 2>&1; do
    i=$((i + 1))
    if [ $i -gt 1200 ] || ! kill -0 $pid 2>/dev/null; then
      echo "  no window after 10 minutes"; kill $pid 2>/dev/null; pid=""; return
    fi
    sleep 0.5
  done
  start=$(date +%s)
  out="$work/probe.txt"
  rm -f "$out"
  sh "$here/tools/wine-run.sh" "$probe" root "$(winpath "$out")" >/dev/null 2>&1
  seconds=$(($(date +%s) - start))
  peak=$(peak_kib "$(basename "$2")")
  sh "$here/tools/wine-run.sh" "$probe" close >/dev/null 2>&1
  wait $pid
  pid=""
  items=$(tr -d '\r' <"$out" 2>/dev/null | sed -n 's/^items //p')
  shown=no
  bytes=$(awk -v g="$3" 'BEGIN { printf "%d", g * 1048576 }')
  [ "${items:-0}" -gt 1 ] && [ "$peak" -gt $((bytes * 3 / 2)) ] && shown=yes
  printf '%-6s %-7s %-6s %-11s %-9s %s\n' "$3" "$4" "${items:-?}" "$shown" \
    "$((peak / 1024))" "$seconds"
}

sh "$here/tools/wine-run.sh" --start
printf '%-6s %-7s %-6s %-11s %-9s %s\n' GiB build items root-bytes peak-MiB select-s
for gib in $sizes; do
  file="$work/big-$gib.mp4"
  make_file "$gib" "$file"
  run_one "$build/app/kivra-without-laa.exe" "$file" "$gib" before
  run_one "$build/app/kivra.exe" "$file" "$gib" after
  rm -f "$file"
done
sh "$here/tools/wine-run.sh" --stop
rm -f "$build/app/kivra-without-laa.exe"

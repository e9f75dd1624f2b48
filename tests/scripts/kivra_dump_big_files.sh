#!/bin/sh
# kivra-dump on files with 64-bit sizes, made at test time (sparse, so the
# 5 GiB one takes no disk space): the tree, the report and the JSON, by
# default (64-bit sizes followed) and with --window (the window's tree).
#   kivra_dump_big_files.sh KIVRA_DUMP JSON_SUMMARY_PY [WINE_RUN]
# With WINE_RUN, KIVRA_DUMP is a Windows build run under Wine. A 32-bit
# build cannot map the 5 GiB file: there it must say so on one line and
# exit 1, and show every other file as the 64-bit builds do.
set -u
dump="$1"
summary="$2"
wine_run="${3:-}"
work=$(mktemp -d "${TMPDIR:-/tmp}/kivra_dump_big.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

python3 - <<'EOF' || exit 1
import struct


def atom(kind, payload=b""):
    return struct.pack(">I", 8 + len(payload)) + kind + payload


def large(kind, payload=b"", size=None):
    size = 16 + len(payload) if size is None else size
    return struct.pack(">I", 1) + kind + struct.pack(">Q", size) + payload


ftyp = atom(b"ftyp", b"isom" + bytes(4))
moov = atom(b"moov", atom(b"mvhd", bytes(100)) + atom(b"trak", atom(b"tkhd", bytes(84))))

# 5 GiB of mdat with a 64-bit size, then moov at 0x140000000.
with open("big-64bit.mp4", "wb") as f:
    f.write(ftyp + large(b"mdat", size=0x140000000 - 16))
    f.seek(0x140000000)
    f.write(moov)
with open("small-64bit.mp4", "wb") as f:
    f.write(ftyp + large(b"mdat", bytes(32)) + moov)
with open("overruns-64bit.mp4", "wb") as f:
    f.write(ftyp + atom(b"moov", atom(b"mvhd", bytes(12))
                        + large(b"trak", bytes(8), size=0x100000000)))
with open("below16-64bit.mp4", "wb") as f:
    f.write(ftyp + atom(b"moov", atom(b"mvhd", bytes(12)) + large(b"trak", bytes(8), size=12)))
with open("allones-64bit.mp4", "wb") as f:
    f.write(ftyp + large(b"mdat", atom(b"free", bytes(16)), size=2**64 - 1))
# A 64-bit moov of 1000 bytes, a trak of 500 in it and a tkhd of 92 in
# that, cut 36 bytes into the tkhd's payload.
with open("cut-64bit.mp4", "wb") as f:
    f.write(ftyp + large(b"moov", atom(b"mvhd", bytes(12)) + struct.pack(">I", 500) + b"trak"
                         + struct.pack(">I", 92) + b"tkhd" + bytes(36), size=1000))
EOF

# run_dump ARGS...: kivra-dump's output in got.txt (line ends as on Linux),
# its stderr in stderr.txt, its exit code in got_code.
run_dump() {
  if [ -n "$wine_run" ]; then
    sh "$wine_run" "$dump" "$@" >"$work/raw.txt" 2>"$work/stderr.txt"
  else
    "$dump" "$@" >"$work/raw.txt" 2>"$work/stderr.txt"
  fi
  got_code=$?
  tr -d '\r' <"$work/raw.txt" >"$work/got.txt"
}

# compare NAME CODE EXPECTED GOT
compare() {
  if [ "$got_code" != "$2" ]; then
    echo "FAIL $1: exit code $got_code, not $2 (stderr: $(cat "$work/stderr.txt"))"
    failures=$((failures + 1))
  elif ! cmp -s "$3" "$4"; then
    echo "FAIL $1: output differs:"
    diff "$3" "$4"
    failures=$((failures + 1))
  else
    echo "ok   $1"
  fi
}

# check NAME CODE ARGS...: kivra-dump ARGS must print what stdin holds and
# exit with CODE.
check() {
  name="$1"
  code="$2"
  shift 2
  cat >"$work/expected.txt"
  run_dump "$@"
  compare "$name" "$code" "$work/expected.txt" "$work/got.txt"
}

# check_json NAME FILE: the JSON of FILE, as json_summary.py shows it, must
# be what stdin holds.
check_json() {
  cat >"$work/expected.txt"
  run_dump --json --no-defs "$2"
  python3 "$summary" <"$work/got.txt" >"$work/summary.txt" 2>&1
  compare "$1 (JSON)" 0 "$work/expected.txt" "$work/summary.txt"
}

# A 32-bit build maps no file of 4 GiB: one line on stderr, exit code 1.
if [ "${KIVRA_DUMP_BITS:-64}" = 32 ]; then
  check "big file refused by the 32-bit build" 1 --no-defs --check big-64bit.mp4 </dev/null
  if ! grep -q "^kivra-dump: big-64bit.mp4 is too large for the address space of this 32-bit kivra-dump; the 64-bit kivra-dump shows it" "$work/stderr.txt" ||
    [ "$(wc -l <"$work/stderr.txt")" != 1 ]; then
    echo "FAIL big file refused: stderr is: $(cat "$work/stderr.txt")"
    failures=$((failures + 1))
  fi
else
  check "5 GiB, 64-bit mdat then moov" 0 --no-defs --check big-64bit.mp4 <<'END'
big-64bit.mp4
  ftyp (+0x00000000:8[0x8])
  mdat (+0x00000010:5368709088[0x13FFFFFE0])
  moov (+0x140000000:208[0xD0])
    mvhd (+0x140000008:100[0x64])
    trak (+0x140000074:92[0x5C])
      tkhd (+0x14000007C:84[0x54])
big-64bit.mp4: 0x00000000: note: the file is 4 GiB or larger: kivra's window shows no tree of it [window-stops-short]
big-64bit.mp4: 0x140000000: note: 'moov' follows the 'mdat' at 0x00000010: a player reading over a network must fetch the end of the file first [moov-after-mdat]
big-64bit.mp4: 0 problems, 2 notes
END
  check_json "5 GiB" big-64bit.mp4 <<'END'
big-64bit.mp4
 ftyp 0 16 8 8 0
 mdat 16 5368709104 32 5368709088 0
 moov 5368709120 216 5368709128 208 0
  mvhd 5368709128 108 5368709136 100 0
  trak 5368709236 100 5368709244 92 0
   tkhd 5368709244 92 5368709252 84 0
report 0 note window-stops-short
END
fi
check "5 GiB with --window: refused" 1 --window --no-defs big-64bit.mp4 </dev/null
grep -q "^kivra-dump: big-64bit.mp4 is 4 GiB or larger, which kivra's window does not show" "$work/stderr.txt" ||
  { echo "FAIL --window on 5 GiB: stderr is: $(cat "$work/stderr.txt")"; failures=$((failures + 1)); }

check "small file, 64-bit mdat then moov" 0 --no-defs --check small-64bit.mp4 <<'END'
small-64bit.mp4
  ftyp (+0x00000000:8[0x8])
  mdat (+0x00000010:32[0x20])
  moov (+0x00000040:208[0xD0])
    mvhd (+0x00000048:100[0x64])
    trak (+0x000000B4:92[0x5C])
      tkhd (+0x000000BC:84[0x54])
small-64bit.mp4: 0x00000010: note: kivra's window does not follow the 64-bit size of 'mdat' (size field 1): it shows neither this atom nor the atoms after it in the file [window-stops-short]
small-64bit.mp4: 0x00000040: note: 'moov' follows the 'mdat' at 0x00000010: a player reading over a network must fetch the end of the file first [moov-after-mdat]
small-64bit.mp4: 0 problems, 2 notes
END
check_json "small file" small-64bit.mp4 <<'END'
small-64bit.mp4
 ftyp 0 16 8 8 0
 mdat 16 48 32 32 0
 moov 64 216 72 208 0
  mvhd 72 108 80 100 0
  trak 180 100 188 92 0
   tkhd 188 92 196 84 0
report 16 note window-stops-short
END
check "small file with --window: the window's tree" 3 --window --no-defs --check small-64bit.mp4 <<'END'
small-64bit.mp4
  ftyp (+0x00000000:8[0x8])
small-64bit.mp4: 0x00000010: problem: 'mdat' has size 1, a 64-bit size after its type, which is not followed; the 264 bytes after the last top-level atom are not shown [size-64bit]
small-64bit.mp4: 1 problem, 0 notes
END

check "64-bit size that overruns its atom" 3 --no-defs --check overruns-64bit.mp4 <<'END'
overruns-64bit.mp4
  ftyp (+0x00000000:8[0x8])
  moov (+0x00000010:44[0x2C])
    mvhd (+0x00000018:12[0xC])
overruns-64bit.mp4: 0x0000002C: problem: the size of 'trak', 4294967296 bytes, overruns the 24 bytes left in 'moov' at 0x00000010, which are not shown [size-overruns]
overruns-64bit.mp4: 1 problem, 0 notes
END
check_json "overrun" overruns-64bit.mp4 <<'END'
overruns-64bit.mp4
 ftyp 0 16 8 8 0
 moov 16 52 24 44 0
  mvhd 24 20 32 12 0
report 44 problem size-overruns
END

check "64-bit size below 16" 3 --no-defs --check below16-64bit.mp4 <<'END'
below16-64bit.mp4
  ftyp (+0x00000000:8[0x8])
  moov (+0x00000010:44[0x2C])
    mvhd (+0x00000018:12[0xC])
below16-64bit.mp4: 0x0000002C: problem: 'trak' has a 64-bit size of 12, less than its own 16-byte header; the last 24 bytes of 'moov' at 0x00000010 are not shown [size-too-small]
below16-64bit.mp4: 1 problem, 0 notes
END
check_json "below 16" below16-64bit.mp4 <<'END'
below16-64bit.mp4
 ftyp 0 16 8 8 0
 moov 16 52 24 44 0
  mvhd 24 20 32 12 0
report 44 problem size-too-small
END

check "64-bit size 2^64-1 at the top level: cut short" 3 --no-defs --check allones-64bit.mp4 <<'END'
allones-64bit.mp4
  ftyp (+0x00000000:8[0x8])
  mdat (+0x00000010:24[0x18])
    free (+0x00000020:16[0x10])
allones-64bit.mp4: 0x00000010: note: kivra's window does not follow the 64-bit size of 'mdat' (size field 1): it shows neither this atom nor the atoms after it in the file [window-stops-short]
allones-64bit.mp4: 0x00000010: problem: 'mdat' is cut short by the end of the file: its size is 18446744073709551615 bytes, 40 are there [cut-short]
allones-64bit.mp4: 1 problem, 1 note
END
check_json "2^64-1" allones-64bit.mp4 <<'END'
allones-64bit.mp4
 ftyp 0 16 8 8 0
 mdat 16 18446744073709551615 32 24 0
  free 32 24 40 16 0
report 16 note window-stops-short
report 16 problem cut-short
END

check "a cut through a 64-bit atom" 3 --no-defs --check cut-64bit.mp4 <<'END'
cut-64bit.mp4
  ftyp (+0x00000000:8[0x8])
  moov (+0x00000010:72[0x48])
    mvhd (+0x00000020:12[0xC])
    trak (+0x00000034:44[0x2C])
      tkhd (+0x0000003C:36[0x24])
cut-64bit.mp4: 0x00000010: note: kivra's window does not follow the 64-bit size of 'moov' (size field 1): it shows neither this atom nor the atoms after it in the file [window-stops-short]
cut-64bit.mp4: 0x00000010: problem: 'moov' is cut short by the end of the file: its size is 1000 bytes, 88 are there [cut-short]
cut-64bit.mp4: 0x00000034: problem: 'trak' is cut short by the end of the file: its size is 500 bytes, 52 are there [cut-short]
cut-64bit.mp4: 0x0000003C: problem: 'tkhd' is cut short by the end of the file: its size is 92 bytes, 44 are there [cut-short]
cut-64bit.mp4: 3 problems, 1 note
END
check_json "cut" cut-64bit.mp4 <<'END'
cut-64bit.mp4
 ftyp 0 16 8 8 0
 moov 16 1000 32 72 0
  mvhd 32 20 40 12 0
  trak 52 500 60 44 0
   tkhd 60 92 68 36 0
report 16 note window-stops-short
report 16 problem cut-short
report 52 problem cut-short
report 60 problem cut-short
END

[ "$failures" = 0 ] || { echo "$failures failed"; exit 1; }

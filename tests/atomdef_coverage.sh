#!/bin/sh
# Writes real files with ffmpeg (MP4 with the movie box at the end, faststart,
# fragmented, segmented with an index, QuickTime, 3GP, 3G2, M4A), prints
# their trees with kivra-dump and the given atom.def, and fails listing every
# atom item that got no description line.
# usage: atomdef_coverage.sh KIVRA_DUMP ATOM_DEF
# Exits 77 (skipped) when ffmpeg is not installed.
set -u
dump="$1"
definitions="$2"

if ! command -v ffmpeg >/dev/null 2>&1; then
  echo "atomdef_coverage: ffmpeg not found, skipped"
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/kivra-atomdef.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT INT TERM

video="-f lavfi -i testsrc=size=64x48:rate=10:duration=2"
audio="-f lavfi -i sine=frequency=440:duration=2"
tags="-metadata title=Title -metadata artist=Artist -metadata album=Album
      -metadata comment=Comment -metadata copyright=Copyright
      -metadata genre=Genre -metadata date=2024"
h264="-c:v libx264 -preset veryfast -pix_fmt yuv420p"
aac="-c:a aac -b:a 32k"
failed=0

write_file() {
  name="$1"; shift
  # shellcheck disable=SC2086
  if ! ffmpeg -nostdin -v error -y "$@" "$work/$name" >"$work/$name.log" 2>&1; then
    echo "atomdef_coverage: ffmpeg could not write $name:"
    cat "$work/$name.log"
    failed=1
  fi
}

# Chapters give the mp4 a QuickTime text track, a chapter reference and a
# Nero chapter list.
printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=1000\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=1000\nEND=2000\ntitle=Two\n' \
  >"$work/chapters.txt"
ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x64:rate=1:duration=1 \
  -frames:v 1 "$work/cover.png" >/dev/null 2>&1 || failed=1

# shellcheck disable=SC2086
{
write_file plain.mp4 $video $audio -i "$work/chapters.txt" -map 0 -map 1 \
  -map_chapters 2 $h264 $aac $tags
write_file faststart.mp4 $video $audio $h264 $aac $tags -movflags +faststart
write_file fragmented.mp4 $video $audio $h264 $aac -movflags frag_keyframe+empty_moov
write_file segmented.mp4 $video $audio $h264 $aac -f mp4 \
  -movflags frag_keyframe+empty_moov+default_base_moof+global_sidx
write_file movie.mov $video $audio $h264 $aac $tags -timecode 01:00:00:00
write_file mobile.3gp $video $audio -c:v h263 -s 176x144 -c:a aac -ar 16000 -ac 1 -b:a 16k $tags
write_file mobile.3g2 $video $audio -c:v mpeg4 -s 176x144 -c:a aac -ar 16000 -ac 1 -b:a 16k $tags
write_file tagged.m4a $audio -i "$work/cover.png" -map 0 -map 1 $aac -c:v copy \
  -disposition:v attached_pic $tags -metadata track=3/9 -metadata album_artist=Band
# With the movie box first, the media data runs to the end of the file and its
# first AAC frame (FFmpeg's version text) is shown as atoms.
write_file streamable.m4a $audio $aac $tags -movflags +faststart
}

for file in plain.mp4 faststart.mp4 fragmented.mp4 segmented.mp4 movie.mov \
            mobile.3gp mobile.3g2 tagged.m4a streamable.m4a; do
  [ -s "$work/$file" ] || continue
  if ! "$dump" --defs "$definitions" "$work/$file" >"$work/$file.tree" 2>"$work/$file.err"; then
    echo "atomdef_coverage: kivra-dump failed on $file:"
    cat "$work/$file.err"
    failed=1
    continue
  fi
  # An atom item looks like "type (+0x0000ABCD:123[0x7B])"; its description
  # lines, when it has any, are the very next lines, one level deeper.
  awk -v file="$file" '
    function depth(line) { match(line, /^ */); return RLENGTH / 2 }
    function is_atom(line) { return line ~ /^ *.... \(\+0x[0-9A-F]+:[0-9]+\[0x[0-9A-F]+\]\)$/ }
    function check_pending(line) {
      if (pending != "" && !(depth(line) == pending_depth + 1 && !is_atom(line))) {
        sub(/^ */, "", pending)
        print file ": no description for " pending
        missing++
      }
      pending = ""
    }
    NR > 1 {
      check_pending($0)
      if (is_atom($0)) { pending = $0; pending_depth = depth($0) }
    }
    END { check_pending(""); exit missing > 0 }
  ' "$work/$file.tree" || failed=1
  atoms=$(grep -cE '^ *.... \(\+0x[0-9A-F]{8}:[0-9]+\[0x[0-9A-F]+\]\)$' "$work/$file.tree")
  echo "atomdef_coverage: $file: $atoms atoms"
  if [ "$atoms" -eq 0 ]; then
    echo "atomdef_coverage: kivra-dump showed no atoms in $file"
    failed=1
  fi
done

if [ "$failed" -ne 0 ]; then
  echo "atomdef_coverage: FAILED"
  exit 1
fi
echo "atomdef_coverage: every atom has a description"

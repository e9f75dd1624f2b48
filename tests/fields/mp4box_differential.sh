#!/bin/sh
# The box fields of kivra-dump against those of mp4box.js on files written at
# test time by the MP4 writers on this host (ffmpeg, heif-enc, avifenc).
# Usage: mp4box_differential.sh KIVRA_DUMP NODE_MODULES DIFFERENCES
# Exits 77 (skipped) without node, the mp4box package (tools/install-mp4box.sh)
# or ffmpeg.
set -e
dump="$1"
modules="$2"
differences="$3"
here=$(cd "$(dirname "$0")" && pwd)
command -v node >/dev/null || { echo "node is not installed: skipped"; exit 77; }
[ -d "$modules/mp4box" ] || { echo "no mp4box in $modules (tools/install-mp4box.sh): skipped"; exit 77; }
command -v ffmpeg >/dev/null || { echo "ffmpeg is not installed: skipped"; exit 77; }
dir=$(mktemp -d /tmp/kivra-mp4box-XXXXXX)
trap 'rm -rf "$dir"' EXIT
av="-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i sine=frequency=440:duration=1"
x264="-c:v libx264 -preset ultrafast -c:a aac"
make() { name=$1; shift; ffmpeg -v error -y "$@" "$dir/$name"; }
make moov-at-end.mp4 $av $x264
make faststart.mp4 $av $x264 -movflags +faststart
make fragmented.mp4 $av $x264 -g 5 -movflags frag_keyframe+empty_moov
make dash.mp4 $av $x264 -g 5 -movflags frag_keyframe+empty_moov+default_base_moof+global_sidx
make movie.mov $av $x264
make phone.3gp $av $x264 -ar 16000 -ac 1
make tagged.m4a -f lavfi -i sine=frequency=440:duration=1 -c:a aac -metadata title=Kivra
cenc="-encryption_scheme cenc-aes-ctr -encryption_key 00112233445566778899aabbccddeeff -encryption_kid 112233445566778899aabbccddeeff00"
make encrypted.mp4 $av $x264 $cenc
make encrypted-fragments.mp4 $av $x264 -g 5 -movflags frag_keyframe+empty_moov $cenc
make frame.png -f lavfi -i testsrc=size=64x48:rate=1:duration=1 -frames:v 1
files="$dir/*.mp4 $dir/*.mov $dir/*.3gp $dir/*.m4a"
if command -v heif-enc >/dev/null && heif-enc -o "$dir/image.heic" "$dir/frame.png" >/dev/null 2>&1; then
  files="$files $dir/image.heic"
fi
if command -v avifenc >/dev/null && avifenc "$dir/frame.png" "$dir/image.avif" >/dev/null 2>&1; then
  files="$files $dir/image.avif"
fi
NODE_PATH="$modules" python3 "$here/mp4box_differential.py" "$dump" "$here/mp4box-boxes.cjs" \
  "$differences" $files

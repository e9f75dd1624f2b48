#!/bin/sh
# Writes samples/sample.mp4: one second of a generated test pattern with a
# tone, H.264 + AAC, small enough to keep in the repository.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10:duration=1 \
  -f lavfi -i sine=frequency=440:duration=1 \
  -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 32k \
  -metadata title="kivra sample" -movflags +faststart \
  "$here/samples/sample.mp4"

#!/bin/sh
# Writes real files with every MP4 writer this host has, prints their trees
# with kivra-dump and the given atom.def, and fails listing every atom item
# that got no description line.
#
# Writers and the Debian packages that bring them (CI installs all of them):
#   ffmpeg          ffmpeg
#   gst-launch-1.0  gstreamer1.0-tools gstreamer1.0-plugins-base
#                   gstreamer1.0-plugins-good gstreamer1.0-plugins-bad
#                   gstreamer1.0-plugins-ugly gstreamer1.0-libav
#   heif-enc        libheif-examples
#   avifenc         libavif-bin
#   AtomicParsley   atomicparsley
#   exiftool        libimage-exiftool-perl
# (MP4Box has no package in Debian 12, so gpac's files are not written here.)
#
# usage: atomdef_coverage.sh KIVRA_DUMP ATOM_DEF [KEEP_DIR]
# With KEEP_DIR the files and their trees are left there for a look.
# A writer that is not installed is skipped with a note; the script exits
# 77 (skipped) when none is installed.
set -u
dump="$1"
definitions="$2"
keep="${3:-}"

have() { command -v "$1" >/dev/null 2>&1; }

if [ -n "$keep" ]; then
  work="$keep"
  mkdir -p "$work" || exit 1
else
  work=$(mktemp -d "${TMPDIR:-/tmp}/kivra-atomdef.XXXXXX") || exit 1
  trap 'rm -rf "$work"' EXIT INT TERM
fi
out="$work/out"
rm -rf "$out"
mkdir -p "$out"
failed=0
writers=0

note_failure() {
  echo "atomdef_coverage: $1 could not write $2:"
  cat "$work/$2.log"
  failed=1
}

# ---------------------------------------------------------------- ffmpeg
video="-f lavfi -i testsrc=size=64x48:rate=10:duration=1"
audio="-f lavfi -i sine=frequency=440:duration=1"
tags="-metadata title=Title -metadata artist=Artist -metadata album=Album
      -metadata comment=Comment -metadata copyright=Copyright
      -metadata genre=Genre -metadata date=2024"
h264="-c:v libx264 -preset veryfast -pix_fmt yuv420p"
aac="-c:a aac -b:a 32k"

ff() {
  name="$1"; shift
  # shellcheck disable=SC2086
  ffmpeg -nostdin -v error -y "$@" "$out/$name" >"$work/$name.log" 2>&1 || note_failure ffmpeg "$name"
}

if have ffmpeg; then
  writers=$((writers + 1))
  # Chapters give the mp4 a QuickTime text track, a chapter reference and a
  # Nero chapter list.
  printf ';FFMETADATA1\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=0\nEND=500\ntitle=One\n[CHAPTER]\nTIMEBASE=1/1000\nSTART=500\nEND=1000\ntitle=Two\n' \
    >"$work/chapters.txt"
  printf '1\n00:00:00,000 --> 00:00:00,500\nHello\n\n' >"$work/subtitles.srt"
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x64:rate=1:duration=1 \
    -frames:v 1 "$work/cover.png" >/dev/null 2>&1 || failed=1
  # shellcheck disable=SC2086
  {
  ff plain.mp4 $video $audio -i "$work/chapters.txt" -map 0 -map 1 -map_chapters 2 $h264 $aac $tags
  ff faststart.mp4 $video $audio $h264 $aac $tags -movflags +faststart
  ff fragmented.mp4 $video $audio $h264 $aac -movflags frag_keyframe+empty_moov
  ff segmented.mp4 $video $audio $h264 $aac -f mp4 \
    -movflags frag_keyframe+empty_moov+default_base_moof+global_sidx
  ff cmaf.mp4 $video $h264 -movflags cmaf+frag_keyframe+empty_moov+separate_moof \
    -write_prft wallclock
  ff movie.mov $video $audio $h264 $aac $tags -timecode 01:00:00:00
  ff mobile.3gp $video $audio -c:v h263 -s 176x144 -c:a aac -ar 16000 -ac 1 -b:a 16k $tags
  ff mobile.3g2 $video $audio -c:v mpeg4 -s 176x144 -c:a aac -ar 16000 -ac 1 -b:a 16k $tags
  ff tagged.m4a $audio -i "$work/cover.png" -map 0 -map 1 $aac -c:v copy \
    -disposition:v attached_pic $tags -metadata track=3/9 -metadata album_artist=Band
  # With the movie box first, the media data runs to the end of the file and
  # its first AAC frame (FFmpeg's version text) is shown as atoms.
  ff streamable.m4a $audio $aac $tags -movflags +faststart
  ff hevc.mp4 $video -c:v libx265 -x265-params log-level=none -tag:v hvc1
  ff av1.mp4 $video -c:v libaom-av1 -cpu-used 8 -b:v 50k
  ff vp9.mp4 $video -c:v libvpx-vp9 -deadline realtime -b:v 50k
  ff mpeg2.mp4 $video -c:v mpeg2video
  ff mjpeg.mp4 $video -c:v mjpeg
  ff opus.mp4 $audio -c:a libopus -b:a 32k
  ff flac.mp4 $audio -c:a flac -strict -2
  ff mp3.mp4 $audio -c:a libmp3lame -b:a 32k
  ff ac3.mp4 $audio -c:a ac3 -b:a 64k
  ff eac3.mp4 $audio -c:a eac3 -b:a 64k
  ff alac.m4a $audio -c:a alac
  ff truehd.mp4 $audio -c:a truehd -strict -2
  ff dts.mp4 $audio -c:a dca -strict -2 -ar 48000
  ff vorbis.mp4 $audio -c:a libvorbis -strict -2
  ff mp2.mp4 $audio -c:a mp2
  ff ttml.mp4 $video -i "$work/subtitles.srt" $h264 -c:s ttml
  ff hinted.mov $video $audio $h264 $aac -movflags +rtphint
  ff keys.mov $video $audio $h264 $aac $tags -movflags +use_metadata_tags
  ff hevc.mov $video -c:v libx265 -x265-params log-level=none
  ff cfhd.mov $video -c:v cfhd
  ff hap.mov -f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v hap
  ff dv.mov -f lavfi -i testsrc=size=720x576:rate=25:duration=0.2 -c:v dvvideo -pix_fmt yuv420p
  ff mp2.mov $audio -c:a mp2
  ff surround.mov $audio -af "pan=5.1|c0=c0|c1=c0|c2=c0|c3=c0|c4=c0|c5=c0" -c:a aac
  ff avc3.mp4 $video $h264 -tag:v avc3 -movflags +negative_cts_offsets
  ff alpha.mov $video -c:v prores_ks -profile:v 4444 -pix_fmt yuva444p10le
  ff gamma.mov $video $h264 -movflags +write_gama+write_colr -color_trc bt709
  ff mpeg4.mp4 $video -c:v mpeg4 $audio -c:a libmp3lame
  ff raw.mov $video -c:v rawvideo -pix_fmt rgb24
  ff v210.mov $video -c:v v210
  # Track roles become kind boxes, whose scheme URI the walk shows as an atom.
  ff kind.mp4 $audio $audio -map 0 -map 1 $aac -disposition:a:0 default+captions \
    -disposition:a:1 comment+descriptions
  ff text.mp4 $video -i "$work/subtitles.srt" $h264 -c:s mov_text
  ff hdr.mp4 $video -c:v libx265 -x265-params log-level=none -tag:v hvc1 \
    -color_primaries bt2020 -color_trc smpte2084 -colorspace bt2020nc
  ff dnxhd.mov -f lavfi -i testsrc=size=1280x720:rate=25:duration=0.2 -c:v dnxhd -b:v 90M \
    -pix_fmt yuv422p
  ff prores.mov $video -c:v prores_ks -profile:v 2
  ff qtrle.mov $video -c:v qtrle
  ff png.mov $video -c:v png
  ff mpeg4.mov $video -c:v mpeg4 $audio -c:a pcm_s16le
  ff pcm.mov $audio -c:a pcm_s24be
  ff float.mov $audio -c:a pcm_f32le
  ff ulaw.mov $audio -c:a pcm_mulaw -ar 8000
  ff ima4.mov $audio -c:a adpcm_ima_qt
  ff alac.mov $audio -c:a alac
  ff ismv.ismv $video $audio $h264 $aac
  ff flash.f4v $video $audio $h264 $aac
  ff psp.psp $video $audio $h264 $aac
  ff ipod.m4v $video $audio $h264 $aac
  ff still.avif -f lavfi -i testsrc=size=64x48:rate=1:duration=1 -frames:v 1 \
    -c:v libaom-av1 -cpu-used 8
  # The QuickTime muxer takes many more codecs; one short file each.
  for codec in gif tiff targa cinepak rpza h261 jpeg2000 utvideo ffv1 huffyuv r210 v410 \
               pcm_s8 pcm_u8 pcm_s16be pcm_s32le pcm_f64be pcm_alaw libgsm libspeex \
               adpcm_ms libmp3lame g722 libvorbis ac3 eac3 dca; do
    case "$codec" in
      gif|tiff|targa|cinepak|utvideo|ffv1|r210|v410) args="$video -c:v $codec" ;;
      rpza) args="$video -c:v rpza -pix_fmt rgb555be" ;;
      h261) args="-f lavfi -i testsrc=size=176x144:rate=10:duration=1 -c:v h261" ;;
      huffyuv) args="$video -c:v huffyuv -pix_fmt yuv422p" ;;
      jpeg2000) args="$video -c:v jpeg2000" ;;
      pcm_alaw|libgsm) args="$audio -c:a $codec -ar 8000" ;;
      dca) args="$audio -c:a dca -strict -2 -ar 48000" ;;
      *) args="$audio -c:a $codec" ;;
    esac
    ff "codec-$codec.mov" $args
  done
  ff hls.m3u8 $video $h264 -f hls -hls_segment_type fmp4 -hls_time 1 \
    -hls_fmp4_init_filename hls-init.mp4 -hls_segment_filename "$out/hls-%d.m4s"
  rm -f "$out/hls.m3u8"
  }
  # DASH writes its own segment names beside the manifest.
  # shellcheck disable=SC2086
  (cd "$out" && ffmpeg -nostdin -v error -y $video $h264 -f dash -seg_duration 1 \
    -init_seg_name 'dash-init.mp4' -media_seg_name 'dash-$Number$.m4s' manifest.mpd \
    >"$work/dash.log" 2>&1) || note_failure ffmpeg dash
  rm -f "$out/manifest.mpd"
else
  echo "atomdef_coverage: ffmpeg not installed, its files skipped"
fi

# ------------------------------------------------------------- GStreamer
gst() {
  name="$1"; shift
  # shellcheck disable=SC2068
  gst-launch-1.0 -q $@ >"$work/$name.log" 2>&1 || note_failure gst-launch-1.0 "$name"
}

if have gst-launch-1.0; then
  writers=$((writers + 1))
  v="videotestsrc num-buffers=10 ! video/x-raw,width=64,height=48,framerate=10/1"
  a="audiotestsrc num-buffers=10 ! audioconvert"
  gst gst-mp4mux.mp4 $v ! x264enc ! h264parse ! mp4mux name=m \
    ! filesink location="$out/gst-mp4mux.mp4" \
    $a ! avenc_aac ! aacparse ! m.
  gst gst-qtmux.mov $v ! x264enc ! h264parse ! qtmux name=m \
    ! filesink location="$out/gst-qtmux.mov" \
    $a ! lamemp3enc ! mpegaudioparse ! m.
  gst gst-fragmented.mp4 $v ! x264enc ! h264parse ! mp4mux fragment-duration=300 \
    ! filesink location="$out/gst-fragmented.mp4"
  gst gst-3gpp.3gp videotestsrc num-buffers=10 ! video/x-raw,width=176,height=144,framerate=10/1 \
    ! avenc_h263 ! 3gppmux name=m ! filesink location="$out/gst-3gpp.3gp" \
    audiotestsrc num-buffers=10 ! audioconvert ! audioresample ! audio/x-raw,rate=8000,channels=1 \
    ! amrnbenc ! m.
  gst gst-mj2.mj2 $v ! openjpegenc ! mj2mux ! filesink location="$out/gst-mj2.mj2"
  gst gst-isml.ismv $v ! x264enc ! h264parse ! ismlmux fragment-duration=500 \
    ! filesink location="$out/gst-isml.ismv"
  gst gst-opus.mp4 $a ! opusenc ! mp4mux ! filesink location="$out/gst-opus.mp4"
  gst gst-alac.m4a $a ! avenc_alac ! mp4mux ! filesink location="$out/gst-alac.m4a"
  gst gst-hevc.mp4 $v ! x265enc ! h265parse ! mp4mux ! filesink location="$out/gst-hevc.mp4"
  gst gst-vp9.mp4 $v ! vp9enc deadline=1 ! mp4mux ! filesink location="$out/gst-vp9.mp4"
  gst gst-prores.mov $v ! avenc_prores ! qtmux ! filesink location="$out/gst-prores.mov"
  gst gst-jpeg.mov $v ! jpegenc ! qtmux ! filesink location="$out/gst-jpeg.mov"
  gst gst-pcm.mov $a ! audio/x-raw,format=S16LE ! qtmux ! filesink location="$out/gst-pcm.mov"
  gst gst-mp3.mp4 $a ! lamemp3enc ! mp4mux faststart=true ! filesink location="$out/gst-mp3.mp4"
  gst gst-ac3.mp4 $a ! avenc_ac3 ! mp4mux ! filesink location="$out/gst-ac3.mp4"
else
  echo "atomdef_coverage: gst-launch-1.0 not installed, its files skipped"
fi

# --------------------------------------------- HEIF and AVIF still images
image="$work/cover.png"
if have heif-enc && [ -s "$image" ]; then
  writers=$((writers + 1))
  heif-enc -q 50 -o "$out/still.heic" "$image" >"$work/still.heic.log" 2>&1 \
    || note_failure heif-enc still.heic
  heif-enc -q 50 -t 16 -o "$out/thumb.heic" "$image" >"$work/thumb.heic.log" 2>&1 \
    || note_failure heif-enc thumb.heic
  heif-enc -q 50 -o "$out/two.heic" "$image" "$image" >"$work/two.heic.log" 2>&1 \
    || note_failure heif-enc two.heic
  ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x64:rate=1:duration=1 -frames:v 1 \
    -vf "format=rgba,geq=r='r(X,Y)':g='g(X,Y)':b='b(X,Y)':a='X*4'" "$work/alpha.png" >/dev/null 2>&1
  heif-enc -q 50 -o "$out/alpha.heic" "$work/alpha.png" >"$work/alpha.heic.log" 2>&1 \
    || note_failure heif-enc alpha.heic
  heif-enc -L -p chroma=444 -o "$out/lossless.heic" "$image" >"$work/lossless.heic.log" 2>&1 \
    || note_failure heif-enc lossless.heic
  heif-enc -A -q 50 -o "$out/heif-enc.avif" "$image" >"$work/heif-enc.avif.log" 2>&1 \
    || note_failure heif-enc heif-enc.avif
elif ! have heif-enc; then
  echo "atomdef_coverage: heif-enc not installed, its files skipped"
fi

if have avifenc && [ -s "$image" ]; then
  writers=$((writers + 1))
  avifenc -s 10 "$image" "$out/avifenc.avif" >"$work/avifenc.avif.log" 2>&1 \
    || note_failure avifenc avifenc.avif
  if [ -s "$work/alpha.png" ]; then
    avifenc -s 10 "$work/alpha.png" "$out/alpha.avif" >"$work/alpha.avif.log" 2>&1 \
      || note_failure avifenc alpha.avif
  fi
  avifenc -s 10 -l "$image" "$out/lossless.avif" >"$work/lossless.avif.log" 2>&1 \
    || note_failure avifenc lossless.avif
  if have ffmpeg; then
    ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=5:duration=0.6 \
      -pix_fmt yuv420p "$work/frames.y4m" >/dev/null 2>&1
    avifenc -s 10 "$work/frames.y4m" "$out/sequence.avif" >"$work/sequence.avif.log" 2>&1 \
      || note_failure avifenc sequence.avif
  fi
elif ! have avifenc; then
  echo "atomdef_coverage: avifenc not installed, its files skipped"
fi

# ------------------------------------------------------- tag writers
source_mp4="$work/source.mp4"
if have ffmpeg; then
  # shellcheck disable=SC2086
  ffmpeg -nostdin -v error -y $video $audio $h264 $aac "$source_mp4" >/dev/null 2>&1
fi

if have AtomicParsley && [ -s "$source_mp4" ]; then
  writers=$((writers + 1))
  cp "$source_mp4" "$out/atomicparsley-itunes.mp4"
  AtomicParsley "$out/atomicparsley-itunes.mp4" --overWrite --artist Artist --title Title \
    --album Album --genre Rock --tracknum 2/9 --disk 1/2 --comment Comment --year 2024 \
    --lyrics Lyrics --composer Composer --copyright Copyright --grouping Group \
    --artwork "$image" --bpm 120 --albumArtist Band --compilation true --hdvideo true \
    --advisory explicit --stik "TV Show" --description Short --longdesc Long \
    --TVNetwork Net --TVShowName Show --TVEpisode E1 --TVSeasonNum 1 --TVEpisodeNum 2 \
    --podcastFlag true --category Cat --keyword Key --podcastURL http://example.com/feed \
    --podcastGUID http://example.com/1 --purchaseDate 2024-01-01T00:00:00Z \
    --encodingTool Tool --encodedBy Person --apID user@example.com --cnID 12345 \
    --gapless true --sortOrder name Name --sortOrder artist Artist \
    --sortOrder albumartist Band --sortOrder album Album --sortOrder composer Composer \
    --sortOrder show Show --rDNSatom "free text" name=NOTE domain=org.example \
    --freefree 64 >"$work/atomicparsley-itunes.log" 2>&1 \
    || note_failure AtomicParsley atomicparsley-itunes.mp4
  cp "$source_mp4" "$out/atomicparsley-3gp.mp4"
  AtomicParsley "$out/atomicparsley-3gp.mp4" --overWrite --3gp-title Title \
    --3gp-author Author --3gp-performer Performer --3gp-genre Genre \
    --3gp-description Description --3gp-copyright Copyright --3gp-album Album \
    --3gp-year 2024 --3gp-rating Rating --3gp-classification Class \
    --3gp-keyword Key --3gp-location Place >"$work/atomicparsley-3gp.log" 2>&1 \
    || note_failure AtomicParsley atomicparsley-3gp.mp4
  cp "$source_mp4" "$out/atomicparsley-id3.mp4"
  AtomicParsley "$out/atomicparsley-id3.mp4" --overWrite --ID3Tag TIT2 Title \
    --ID3Tag TPE1 Artist >"$work/atomicparsley-id3.log" 2>&1 \
    || note_failure AtomicParsley atomicparsley-id3.mp4
  cp "$source_mp4" "$out/atomicparsley-uuid.mp4"
  AtomicParsley "$out/atomicparsley-uuid.mp4" --overWrite --meta-uuid tagu text Tag \
    >"$work/atomicparsley-uuid.log" 2>&1 || note_failure AtomicParsley atomicparsley-uuid.mp4
elif ! have AtomicParsley; then
  echo "atomdef_coverage: AtomicParsley not installed, its files skipped"
fi

if have exiftool && [ -s "$source_mp4" ]; then
  writers=$((writers + 1))
  exiftool -q -o "$out/exiftool.mp4" -XMP-dc:Title=Title -XMP-dc:Creator=Creator \
    -QuickTime:Keywords=Key -Keys:Author=Author -ItemList:Title=Title \
    -QuickTime:Artist=Artist "$source_mp4" >"$work/exiftool.mp4.log" 2>&1 \
    || note_failure exiftool exiftool.mp4
  if [ -s "$out/movie.mov" ]; then
    exiftool -q -o "$out/exiftool.mov" -XMP-dc:Title=Title -Keys:Title=Title \
      -Keys:Make=Make -Keys:GPSCoordinates="10 20 30" "$out/movie.mov" \
      >"$work/exiftool.mov.log" 2>&1 || note_failure exiftool exiftool.mov
  fi
  if [ -s "$out/still.heic" ]; then
    exiftool -q -o "$out/exiftool.heic" -XMP-dc:Title=Title -Exif:Artist=Artist \
      "$out/still.heic" >"$work/exiftool.heic.log" 2>&1 || note_failure exiftool exiftool.heic
  fi
elif ! have exiftool; then
  echo "atomdef_coverage: exiftool not installed, its files skipped"
fi

if [ "$writers" -eq 0 ]; then
  echo "atomdef_coverage: no MP4 writer installed, skipped"
  exit 77
fi

# ------------------------------------------------------------ the check
for path in "$out"/*; do
  [ -s "$path" ] || continue
  file=$(basename "$path")
  if ! "$dump" --defs "$definitions" "$path" >"$work/$file.tree" 2>"$work/$file.err"; then
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

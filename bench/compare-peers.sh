#!/bin/sh
# Times kivra-dump against the box-tree listings of other tools on the same
# files in one run, with `cat FILE` as the floor, and prints each median and
# the ratios. Usage: bench/compare-peers.sh [WORK_DIR]  (default
# /tmp/kivra-peers; the generated files are kept there and reused).
#   (a) media.mov   ~1 GiB, almost all of it one mdat of PCM noise
#   (b) frag.mp4    10^5 movie fragments (AAC, one fragment per frame)
#   (c) atoms.mp4   10^6 small atoms (kivra-genatoms)
# Peers: AtomicParsley -T, exiftool -v3, mediainfo --Details=1,
# ffprobe -v trace, and the mp4box.js parser under node. Missing ones are
# installed (apt, npm into WORK_DIR). A peer that refuses a file (non-zero
# exit) or lists only part of it (fewer output lines than a tenth of
# kivra-dump's) is shown but not counted as the fastest.
# RUNS_FAST / RUNS_MEDIUM / RUNS_SLOW set the runs per kind of command
# (default 10 / 3 / 1); FILES picks files (default "media frag atoms").
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
work="${1:-/tmp/kivra-peers}"
runs_fast="${RUNS_FAST:-10}"
runs_medium="${RUNS_MEDIUM:-3}"
runs_slow="${RUNS_SLOW:-1}"
files="${FILES:-media frag atoms}"
mkdir -p "$work/results"

need_apt=""
command -v hyperfine >/dev/null || need_apt="$need_apt hyperfine"
command -v exiftool >/dev/null || need_apt="$need_apt libimage-exiftool-perl"
command -v mediainfo >/dev/null || need_apt="$need_apt mediainfo"
command -v AtomicParsley >/dev/null || need_apt="$need_apt atomicparsley"
command -v ffmpeg >/dev/null || need_apt="$need_apt ffmpeg"
command -v node >/dev/null || need_apt="$need_apt nodejs npm"
command -v python3 >/dev/null || need_apt="$need_apt python3"
if [ -n "$need_apt" ]; then
  echo "installing:$need_apt"
  apt-get install -y $need_apt >/dev/null
fi
if [ ! -d "$work/node/node_modules/mp4box" ]; then
  echo "installing mp4box (npm) into $work/node"
  npm install --silent --prefix "$work/node" mp4box >/dev/null
fi

sh "$here/tools/build.sh" release >/dev/null
dump="$here/build/release/tools/kivra-dump"
genatoms="$here/build/release/tools/kivra-genatoms"

if [ ! -s "$work/media.mov" ]; then
  echo "generating (a) media.mov"
  ffmpeg -v error -y -f lavfi -i anoisesrc=sample_rate=192000:amplitude=0.3 -t 1398 \
    -ac 2 -c:a pcm_s16le -f mov "$work/media.mov.part" && mv "$work/media.mov.part" "$work/media.mov"
fi
if [ ! -s "$work/frag.mp4" ]; then
  echo "generating (b) frag.mp4"
  ffmpeg -v error -y -f lavfi -i sine=frequency=440:sample_rate=48000:duration=2134 \
    -c:a aac -b:a 24k -movflags frag_every_frame+empty_moov+default_base_moof \
    -f mp4 "$work/frag.mp4.part" && mv "$work/frag.mp4.part" "$work/frag.mp4"
fi
if [ ! -s "$work/atoms.mp4" ]; then
  echo "generating (c) atoms.mp4"
  "$genatoms" 1000000 "$work/atoms.mp4"
fi

# name|runs|command (FILE stands for the file)
commands="kivra-dump --no-defs|$runs_fast|$dump --no-defs FILE
kivra-dump (descriptions)|$runs_fast|$dump FILE
cat|$runs_fast|cat FILE
AtomicParsley -T|$runs_medium|AtomicParsley FILE -T
ffprobe -v trace|$runs_medium|ffprobe -v trace FILE
mp4box.js (node)|$runs_medium|env NODE_PATH=$work/node/node_modules node $here/bench/peers/mp4box-tree.cjs FILE
exiftool -v3|$runs_slow|exiftool -v3 FILE
mediainfo --Details=1|$runs_slow|mediainfo --Details=1 FILE"

for f in $files; do
  case "$f" in
    media) path="$work/media.mov" ;;
    frag) path="$work/frag.mp4" ;;
    atoms) path="$work/atoms.mp4" ;;
    *) echo "compare-peers: unknown file $f" >&2; exit 2 ;;
  esac
  echo "== $f: $(basename "$path"), $(stat -c %s "$path") bytes, $("$dump" --no-defs "$path" | wc -l) lines from kivra-dump"
  "$dump" --no-defs "$path" | wc -l >"$work/results/$f-kivra.lines"
  i=0
  echo "$commands" | while IFS='|' read -r name runs command; do
    i=$((i + 1))
    command=$(echo "$command" | sed "s|FILE|$path|g")
    out="$work/results/$f-$i"
    rm -f "$out.json" "$out.once" "$out.lines"
    case "$name" in
      kivra-dump*|cat) ;;
      *)
        # One run to see whether the peer accepts the file and how much of
        # it it lists; when only one run is asked for, it is also the timing.
        start=$(date +%s.%N)
        $command >"$out.output" 2>&1 && code=0 || code=$?
        end=$(date +%s.%N)
        wc -l <"$out.output" >"$out.lines"
        rm -f "$out.output"
        if [ "$runs" -le 1 ]; then
          echo "$name|$(python3 -c "print($end - $start)")|$code" >"$out.once"
          continue
        fi ;;
    esac
    hyperfine -N -i --style none --warmup 1 --runs "$runs" \
      --command-name "$name" --export-json "$out.json" "$command" >/dev/null 2>&1 ||
      echo "  $name: hyperfine failed"
  done
done

python3 - "$work/results" $files <<'EOF'
import json, os, sys
results, files = sys.argv[1], sys.argv[2:]
def lines(path):
    return int(open(path).read().split()[0]) if os.path.exists(path) else None
for f in files:
    rows = []
    i = 1
    ours = lines(os.path.join(results, "%s-kivra.lines" % f))
    while True:
        base = os.path.join(results, "%s-%d" % (f, i))
        if os.path.exists(base + ".json"):
            with open(base + ".json") as fh:
                r = json.load(fh)["results"][0]
            name, median, codes = r["command"], r["median"], r.get("exit_codes", [])
        elif os.path.exists(base + ".once"):
            name, median, code = open(base + ".once").read().strip().rsplit("|", 2)
            median, codes = float(median), [int(code)]
        else:
            break
        listed = lines(base + ".lines")
        note = ""
        if any(code != 0 for code in codes):
            note = "refused the file (exit code %d)" % [c for c in codes if c][0]
        elif listed is not None and ours and listed * 10 < ours:
            note = "listed only part of it"
        rows.append((name, median, note, listed))
        i += 1
    print("\n%s: median seconds (kivra-dump --no-defs prints %s lines)" % (f, ours))
    for name, median, note, listed in rows:
        extra = "  (%d lines)" % listed if listed is not None else ""
        print("  %-28s %9.4f%s%s" % (name, median, extra, "  " + note if note else ""))
    by = {name: median for name, median, _, _ in rows}
    peers = [(m, n) for n, m, note, _ in rows
             if not note and not n.startswith("kivra-dump") and n != "cat"]
    for mine in ("kivra-dump --no-defs", "kivra-dump (descriptions)"):
        if mine not in by:
            continue
        line = "  %-28s" % mine
        if peers:
            fastest, fastest_name = min(peers)
            line += " %7.1fx faster than the fastest peer (%s)" % (fastest / by[mine], fastest_name)
        if "cat" in by:
            line += ", %.2fx cat" % (by[mine] / by["cat"])
        print(line)
EOF

#!/bin/sh
# Builds the libFuzzer harnesses (clang, AddressSanitizer, UBSan) in
# build/fuzz and runs each for a bounded time: tools/fuzz.sh [seconds]
# (default 60 each). Set FUZZ_HARNESSES to run only some (names without the
# fuzz_ prefix, e.g. "atom_walk divider"). Each harness starts from its seed
# corpus in fuzz/corpus/<harness> and keeps what it finds in
# build/fuzz/corpus/<harness>; a failing input is written to
# build/fuzz/artifacts/. FUZZ_RUNS=N stops each harness after N executions
# instead (the seconds still cap it). Exits non-zero when any harness
# reports a finding.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
seconds="${1:-60}"
dir="$here/build/fuzz"
all="atom_walk description_lookup definition_index line_reader binedit divider command_line fields"
harnesses="${FUZZ_HARNESSES:-$all}"
if [ ! -f "$dir/CMakeCache.txt" ]; then
  (cd "$here" && cmake --preset fuzz >/dev/null)
fi
targets=""
for h in $harnesses; do targets="$targets fuzz_$h"; done
cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target $targets
mkdir -p "$dir/artifacts"
status=0
for h in $harnesses; do
  case "$h" in
    divider) maxlen=256 ;;
    # Each atom costs a tree item and a lookup: short files keep it quick,
    # and the hostile-file tests cover the large ones.
    atom_walk) maxlen=256 ;;
    # Whole small files: a moov with its tables, or a few fragments.
    fields) maxlen=4096 ;;
    # Room for lines longer than the index copies.
    description_lookup|definition_index) maxlen=2048 ;;
    *) maxlen=1024 ;;
  esac
  work="$dir/corpus/fuzz_$h"
  mkdir -p "$work"
  log="$dir/fuzz_$h.log"
  runs_option=""
  [ -n "$FUZZ_RUNS" ] && runs_option="-runs=$FUZZ_RUNS"
  if "$dir/fuzz/fuzz_$h" $runs_option -max_total_time="$seconds" -max_len="$maxlen" -timeout=10 \
      -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$dir/artifacts/fuzz_$h-" \
      "$work" "$here/fuzz/corpus/fuzz_$h" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    took=$(sed -n 's/.*Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
    echo "fuzz_$h: ${runs:-?} executions in ${took:-?} s, no finding"
  else
    status=1
    echo "fuzz_$h: FINDING (see $log and $dir/artifacts/)"
    grep -E "invariant broken|ERROR:|runtime error" "$log" | head -5
  fi
done
exit $status

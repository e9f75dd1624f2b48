#!/bin/sh
# End-to-end run of kivra.exe under Wine (needs an X display):
#   app_e2e.sh KIVRA_EXE PROBE_EXE SAMPLE_FILE
# Starts kivra with a real file, finds its window by title, checks that the
# tree was filled, closes the window and expects exit code 0; then the same
# with a missing file, which must give an empty window; then once more with
# the real file, started by a program that leaves STARTUPINFO's show flag
# unset, where the window must still be shown.
set -u
kivra="$1"
probe="$2"
sample="$3"
here=$(cd "$(dirname "$0")/../.." && pwd)
title='kivra - drop me m4v, 3g2, kind of MPEG4...'
# A prefix of its own, so that no other Wine program's windows are found.
export WINEPREFIX="${KIVRA_E2E_WINEPREFIX:-$(dirname "$kivra")/wineprefix-e2e}"
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap '"$wineserver" -k 2>/dev/null' EXIT

fail() { echo "app_e2e: $*" >&2; exit 1; }

# run_once FILE EXPECT(nonempty|empty) [launch]
run_once() {
  if [ "${3:-}" = launch ]; then
    # Drive Z: is the Unix root in a default Wine prefix.
    sh "$here/tools/wine-run.sh" "$probe" launch "Z:$kivra" "$1" &
  else
    sh "$here/tools/wine-run.sh" "$kivra" "$1" &
  fi
  pid=$!
  window=""
  i=0
  while [ -z "$window" ]; do
    i=$((i + 1))
    [ $i -gt 240 ] && { kill $pid 2>/dev/null; fail "no window titled '$title' for $1"; }
    kill -0 $pid 2>/dev/null || fail "kivra.exe ended before its window appeared"
    window=$(xdotool search --name "^kivra - drop me" 2>/dev/null | head -1)
    [ -n "$window" ] || sleep 0.5
  done
  report=$(sh "$here/tools/wine-run.sh" "$probe") || { kill $pid 2>/dev/null; fail "probe failed"; }
  echo "app_e2e: $1: window $window, $report"
  i=0
  while kill -0 $pid 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 120 ] && { kill $pid 2>/dev/null; fail "kivra.exe did not end after WM_CLOSE"; }
    sleep 0.5
  done
  wait $pid
  code=$?
  [ $code -eq 0 ] || fail "exit code $code after WM_CLOSE (expected 0)"
  items=${report##*items }
  case "$report" in visible\ 1*) ;; *) fail "window not visible: $report" ;; esac
  if [ "$2" = nonempty ]; then
    [ "$items" -gt 1 ] || fail "tree of $1 has $items items"
  else
    [ "$items" -eq 0 ] || fail "tree has $items items for a missing file"
  fi
}

[ -f "$sample" ] || fail "no sample file $sample"
run_once "$sample" nonempty
missing="$(dirname "$kivra")/no-such-file.mp4"
rm -f "$missing"
run_once "$missing" empty
run_once "$sample" nonempty launch
echo "app_e2e: passed"

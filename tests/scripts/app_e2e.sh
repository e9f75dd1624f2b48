#!/bin/sh
# End-to-end run of kivra.exe under Wine (needs an X display):
#   app_e2e.sh KIVRA_EXE PROBE_EXE KIVRA_DUMP SAMPLE_FILE
# Starts kivra with a real file and checks it from outside with the probe
# (tests/e2e/app_probe.cpp): the window is visible and has the main window's
# classes; its tree holds as many items as kivra-dump prints lines for the
# file with the same atom.def, at the same depths; selecting items keeps it
# running; the Delete key in the tree empties it; WM_CLOSE ends it with exit
# code 0. Then the same with a missing file, which must give an empty
# window; then once more with the real file, started by a program that
# leaves STARTUPINFO's show flag unset, where the window must still be
# shown. KIVRA_DUMP may be a Windows program (run under Wine) or a native one.
set -u
kivra="$1"
probe="$2"
dump="$3"
sample="$4"
here=$(cd "$(dirname "$0")/../.." && pwd)
wine_run="$here/tools/wine-run.sh"
title='kivra - drop me m4v, 3g2, kind of MPEG4...'
defs="$(dirname "$kivra")/atom.def"
work=$(mktemp -d "${TMPDIR:-/tmp}/kivra_e2e.XXXXXX")
pid=""
trap '[ -n "$pid" ] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT

fail() { printf "app_e2e: %s\n" "$*" >&2; exit 1; }
# Drive Z: is the Unix root in a Wine prefix. winepath would do the same at
# the price of a Wine process start.
winpath() {
  case "$1" in /*) p="$1" ;; *) p="$(pwd)/$1" ;; esac
  printf 'Z:%s' "$(printf '%s' "$p" | tr / '\\')"
}
field() { tr -d '\r' <"$2" | sed -n "s/^$1 //p"; }

[ -f "$sample" ] || fail "no sample file $sample"
[ -f "$defs" ] || fail "no atom.def beside $kivra"

# The reference: kivra-dump --window's listing (the window's own tree: a
# 64-bit size is not followed), one line per tree item, two spaces of indent
# per level.
case "$dump" in
  *.exe) sh "$wine_run" "$dump" --window --defs "$(winpath "$defs")" "$(winpath "$sample")" >"$work/dump.txt" ;;
  *) "$dump" --window --defs "$defs" "$sample" >"$work/dump.txt" ;;
esac || fail "kivra-dump failed on $sample"
tr -d '\r' <"$work/dump.txt" >"$work/dump-lf.txt"
want_items=$(wc -l <"$work/dump-lf.txt" | tr -d ' ')
want_depths=$(awk '{ match($0, /^ */); printf "%s%d", (NR > 1 ? " " : ""), RLENGTH / 2 }' "$work/dump-lf.txt")
[ "$want_items" -gt 10 ] || fail "kivra-dump printed only $want_items lines for $sample"

# run_once FILE EXPECT(nonempty|empty) [launch]
run_once() {
  out="$work/probe-$2${3:+-$3}.txt"
  rm -f "$out"
  if [ "${3:-}" = launch ]; then
    sh "$wine_run" "$probe" launch "$(winpath "$kivra")" "$1" &
  else
    sh "$wine_run" "$kivra" "$1" &
  fi
  pid=$!
  # Shown: mapped on the X display. Where 32-bit code runs emulated, the
  # start alone takes about a minute.
  i=0
  until xdotool search --onlyvisible --name "^kivra - drop me" >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -gt 1200 ] && fail "no visible window titled '$title' for $1 after 10 minutes"
    kill -0 $pid 2>/dev/null || fail "kivra.exe ended before its window appeared"
    sleep 0.5
  done
  sh "$wine_run" "$probe" run "$(winpath "$out")" </dev/null >"$work/probe.log" 2>&1 ||
    fail "probe failed: $(cat "$work/probe.log")"
  i=0
  while kill -0 $pid 2>/dev/null; do
    i=$((i + 1))
    [ $i -gt 240 ] && fail "kivra.exe did not end within 2 minutes of WM_CLOSE"
    sleep 0.5
  done
  wait $pid
  code=$?
  pid=""
  [ -f "$out" ] || fail "the probe wrote no report"
  printf "app_e2e: %s%s: %s exit code %s\n" "$1" "${3:+ ($3)}" "$(grep -v "^depths" "$out" | tr -d "\r" | tr "\n" ";")" $code
  [ $code -eq 0 ] || fail "exit code $code after WM_CLOSE (expected 0)"
  [ "$(field visible "$out")" = 1 ] || fail "window not visible"
  [ "$(field classes "$out")" = "MainWndProc vek_dividerWnd SysTreeView32 vek_BinEditWndClass" ] ||
    fail "window classes are '$(field classes "$out")'"
  items=$(field items "$out")
  if [ "$2" = nonempty ]; then
    [ "$items" = "$want_items" ] || fail "tree has $items items, kivra-dump printed $want_items lines"
    [ "$(field depths "$out")" = "$want_depths" ] || fail "tree items are not at kivra-dump's depths"
  else
    [ "$items" = 0 ] || fail "tree has $items items for a missing file"
  fi
  [ "$(field selected "$out")" = 1 ] || fail "selecting items failed"
  [ "$(field deleted "$out")" = 0 ] || fail "the Delete key left $(field deleted "$out") items"
  [ "$(field alive "$out")" = 1 ] || fail "the window was gone after the Delete key"
}

run_once "$(winpath "$sample")" nonempty
missing="$work/no-such-file.mp4"
run_once "$(winpath "$missing")" empty
run_once "$(winpath "$sample")" nonempty launch
echo "app_e2e: passed"

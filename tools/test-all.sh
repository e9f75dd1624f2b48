#!/bin/sh
# Installs what is missing, builds every kind of build and runs every test:
# the native tests (with sanitizers), then the Windows tests under Wine in
# one virtual display: the 64-bit build under wine64 and the 32-bit build
# (the product) under wine, both in one 64-bit Wine prefix with one
# wineserver kept up for the whole run; then the fuzz harnesses and
# valgrind. Prints each stage's time at the end and exits non-zero when
# anything failed. A host where the 32-bit build cannot run (tools/setup.sh
# could not make it run 32-bit programs) fails the run, unless
# KIVRA_ALLOW_NO_WIN32=1 says that only building it is enough there.
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
times="$here/build/test-all-times.txt"
status=0

# stage NAME COMMAND...: runs the command, notes its time and result.
stage() {
  name="$1"; shift
  echo "== $name"
  start=$(date +%s)
  if "$@"; then result=passed; else result=FAILED; status=1; fi
  printf '%-58s %5ss  %s\n' "$name" $(($(date +%s) - start)) "$result" >>"$times"
  [ $result = passed ]
}

ctest_in() { (cd "$1" && ctest --output-on-failure); }

# The Windows stages, run by the outer call inside one X display.
if [ "${1:-}" = --windows ]; then
  trap 'sh tools/wine-run.sh --stop' EXIT
  trap 'exit 130' INT TERM
  stage "Wine prefix made (first run only), wineserver started" sh tools/wine-run.sh --start
  stage "Windows tests, 64-bit build under wine64" ctest_in build/win64
  if sh tools/win32-host.sh; then
    how=$(sh tools/win32-host.sh how)
    stage "Windows tests, 32-bit build under wine (i386 $how)" ctest_in build/win32
  else
    echo "== Windows tests, 32-bit build: built, not run (this host cannot execute 32-bit programs; see tools/setup.sh)"
    printf '%-58s %5s   %s\n' "Windows tests, 32-bit build" - "NOT RUN" >>"$times"
    [ "${KIVRA_ALLOW_NO_WIN32:-}" = 1 ] || status=1
  fi
  exit $status
fi

mkdir -p build
: >"$times"
total=$(date +%s)
stage "setup (packages, i386 support)" sh tools/setup.sh || { cat "$times"; exit 1; }
stage "source layout (clang-format)" sh tools/format-check.sh
for kind in native release win32 win64; do
  stage "build $kind" sh tools/build.sh $kind || { cat "$times"; exit 1; }
done
stage "native tests" ctest_in build/native
sh tools/with-display.sh sh tools/test-all.sh --windows || status=1
stage "fuzz harnesses, 20 seconds each" sh tools/fuzz.sh 20
stage "valgrind memcheck of kivra-dump over the test corpus" sh tools/valgrind-check.sh
printf '%-58s %5ss\n' "total" $(($(date +%s) - total)) >>"$times"
echo "== stage times"
cat "$times"
exit $status

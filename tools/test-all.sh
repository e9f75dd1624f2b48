#!/bin/sh
# Installs what is missing, builds every kind of build and runs every test:
# the native tests (with sanitizers), then the Windows tests under Wine in
# one virtual display: the 64-bit build under wine64 and the 32-bit build
# (the product) under wine, both in one 64-bit Wine prefix with one
# wineserver kept up for the whole run; then the fuzz harnesses and
# valgrind. Prints each stage's time at the end and exits non-zero when
# anything failed. On a host where 32-bit Windows programs cannot start at all
# (no i386 support that tools/setup.sh could arrange, or a Wine that does not
# start under qemu-i386) the 32-bit tests are built, not run, and the stage
# times say NOT RUN; KIVRA_REQUIRE_WIN32=1 makes that a failure.
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
  why=""
  if ! sh tools/win32-host.sh; then
    why="this host cannot execute 32-bit programs; see tools/setup.sh"
  else
    how=$(sh tools/win32-host.sh how)
    # Where i386 code runs through qemu, Wine's 32-bit loader may still fail
    # to start any program (Debian 12's own qemu 7.2: "failed to map the
    # shared user data", after two minutes): try the smallest 32-bit program
    # once before the suite.
    if [ "$how" = emulated ]; then
      echo "== can 32-bit Wine start a program here (i386 emulated)"
      started=$(timeout 900 sh tools/wine-run.sh build/win32/tools/kivra-dump.exe --version 2>&1)
      case "$started" in
        kivra-dump*) ;;
        *) why="32-bit Wine cannot start programs on this host through qemu-i386: $(printf '%s' "$started" | head -n 1)" ;;
      esac
    fi
  fi
  if [ -z "$why" ]; then
    stage "Windows tests, 32-bit build under wine (i386 $how)" ctest_in build/win32
  else
    echo "== Windows tests, 32-bit build: built, NOT RUN ($why)"
    printf '%-58s %5s   %s\n' "Windows tests, 32-bit build" - "NOT RUN" >>"$times"
    [ "${KIVRA_REQUIRE_WIN32:-}" = 1 ] && status=1
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

#!/bin/sh
# Installs what is missing, builds every kind of build and runs every test:
# the native tests (with sanitizers), then the Windows tests under Wine in a
# virtual display. Exits non-zero when anything fails.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
sh tools/setup.sh
sh tools/build.sh native release win32 win64
status=0
echo "== native tests"
(cd build/native && ctest --output-on-failure) || status=1
echo "== Windows tests, 64-bit build under wine64"
sh tools/with-display.sh sh -c 'cd build/win64 && ctest --output-on-failure' || status=1
# The product is the 32-bit build. Its tests run where this host's Wine can
# start 32-bit programs; elsewhere they were only built.
if timeout 120 sh tools/wine-run.sh build/win32/tests/kivra_core_tests.exe --gtest_list_tests >/dev/null 2>&1; then
  echo "== Windows tests, 32-bit build under wine"
  sh tools/with-display.sh sh -c 'cd build/win32 && ctest --output-on-failure' || status=1
else
  echo "== Windows tests, 32-bit build: built, not run (this host's Wine cannot start 32-bit programs)"
fi
echo "== fuzz harnesses, 20 seconds each"
sh tools/fuzz.sh 20 || status=1
echo "== valgrind memcheck of kivra-dump over the test corpus"
sh tools/valgrind-check.sh || status=1
/usr/lib/wine/wineserver -k 2>/dev/null || true
exit $status

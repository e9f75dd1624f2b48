#!/bin/sh
# Configures and builds every kind of kivra build under build/:
#   build/native  Linux: core, tests (AddressSanitizer + UBSan), kivra-dump
#   build/release Linux, optimised, no sanitizers: benchmarks and timing (not built by default)
#   build/win32   32-bit Windows: kivra.exe (the product), kivra-dump.exe, tests
#   build/win64   64-bit Windows: the same tests, for hosts whose Wine runs 64-bit only
# Pass kind names to build only those (native release win32 win64).
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
kinds="${*:-native win32 win64}"
jobs=$(nproc 2>/dev/null || echo 2)
for kind in $kinds; do
  dir="$here/build/$kind"
  case "$kind" in
    native) args="-DKIVRA_SANITIZE=ON -DKIVRA_BENCH=OFF" ;;
    release) args="-DCMAKE_BUILD_TYPE=Release -DKIVRA_TESTS=OFF" ;;
    win32)  args="-DCMAKE_TOOLCHAIN_FILE=$here/cmake/mingw-i686.cmake" ;;
    win64)  args="-DCMAKE_TOOLCHAIN_FILE=$here/cmake/mingw-x86_64.cmake" ;;
    *) echo "build: unknown kind $kind" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -G Ninja -S "$here" -B "$dir" $args >/dev/null
  fi
  cmake --build "$dir" -j "$jobs"
done

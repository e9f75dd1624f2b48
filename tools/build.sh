#!/bin/sh
# Configures (once, from CMakePresets.json) and builds kinds of kivra build
# under build/<kind>:
#   native   Linux: core, tests (AddressSanitizer + UBSan), kivra-dump
#   release  Linux, optimised, no sanitizers: benchmarks and timing (not built by default)
#   sanitize Linux, unoptimised, with the sanitizers (not built by default)
#   win32    32-bit Windows: kivra.exe (the product), kivra-dump.exe, tests
#   win64    64-bit Windows: the same tests, for hosts whose Wine runs 64-bit only
#   fuzz     clang: the libFuzzer harnesses (not built by default; see tools/fuzz.sh)
# Usage: tools/build.sh [--target NAME]... [KIND...]; the default kinds are
# native win32 win64, and --target builds only the named targets.
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
targets=""
while [ $# -gt 0 ]; do
  case "$1" in
    --target) [ $# -ge 2 ] || { echo "build: --target needs a name" >&2; exit 2; }
              targets="$targets --target $2"; shift 2 ;;
    *) break ;;
  esac
done
kinds="${*:-native win32 win64}"
jobs=$(nproc 2>/dev/null || echo 2)
for kind in $kinds; do
  case "$kind" in
    native|release|sanitize|win32|win64|fuzz) ;;
    *) echo "build: unknown kind $kind" >&2; exit 2 ;;
  esac
  dir="$here/build/$kind"
  if [ ! -f "$dir/CMakeCache.txt" ]; then
    (cd "$here" && cmake --preset "$kind" >/dev/null)
  fi
  cmake --build "$dir" -j "$jobs" $targets
done

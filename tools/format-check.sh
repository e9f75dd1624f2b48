#!/bin/sh
# Checks that every C++ source of the repository is laid out as .clang-format
# says; prints the places that are not and exits non-zero. Run
# "git ls-files '*.cpp' '*.h' | xargs clang-format -i" to lay them out.
set -e
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run -Werror

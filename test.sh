#!/usr/bin/env bash
# Installs what is missing, builds the optimised and the sanitizer builds, and runs every
# test: all of them in the optimised build, the unit tests in the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh

jobs=$(nproc)
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

cmake --preset default >/dev/null
cmake --build --preset default -j "$jobs"
cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"

ctest --preset default -j "$jobs"
ctest --preset asan -j "$jobs"

#!/usr/bin/env bash
# Installs what Tonvelo and its tests need, builds it with warnings as errors and runs
# every test: once in a normal build, once under AddressSanitizer and
# UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh test

jobs=$(nproc)
build_and_test() {
  local dir=$1; shift
  cmake -S . -B "$dir" -DTONVELO_WERROR=ON -DBUILD_TESTING=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs" >/dev/null
  (cd "$dir" && ctest --output-on-failure -j "$jobs")
}

build_and_test build -DCMAKE_BUILD_TYPE=RelWithDebInfo

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
build_and_test build-sanitize -DCMAKE_BUILD_TYPE=Debug -DTONVELO_SANITIZE=ON

#!/usr/bin/env bash
# Installs what Tonvelo needs to build and run, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh run
# The tests' tools may be missing here: a first configure leaves the tests
# out; one that test.sh made keeps them.
testing=()
[ -f build/CMakeCache.txt ] || testing=(-DBUILD_TESTING=OFF)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${testing[@]}" >/dev/null
cmake --build build --target tonvelo -j "$(nproc)" >/dev/null
exec ./build/tonvelo

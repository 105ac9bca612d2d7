#!/usr/bin/env bash
# Installs what Tonvelo needs, builds it and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target tonvelo -j "$(nproc)" >/dev/null
exec ./build/tonvelo

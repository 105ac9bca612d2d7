#!/usr/bin/env bash
# Builds the Windows program on Debian 12 or 13 with MinGW-w64, installing
# what that takes first: build-windows/tonvelo.exe (needs only Windows' own
# DLLs) and build-windows/tonvelo-<version>-setup.exe, its installer.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh windows

cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DTONVELO_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-windows -j "$(nproc)" >/dev/null
ls -1 build-windows/tonvelo.exe build-windows/tonvelo-*-setup.exe

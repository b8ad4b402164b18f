#!/usr/bin/env bash
# Builds everything and runs every test: the full build (widgets offscreen), then
# the core libraries, commands and hosts again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSCRIVLOCK_BENCH=ON
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCRIVLOCK_SANITIZE=ON \
  -DSCRIVLOCK_QT=OFF -DSCRIVLOCK_BENCH=OFF
cmake --build build-asan -j"$jobs"
ctest --test-dir build-asan --output-on-failure -j"$jobs"

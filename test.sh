#!/usr/bin/env bash
# Builds everything and runs every test: the full build (widgets offscreen); the
# same again under AddressSanitizer and UBSan, the window, the plug-in and the
# IDE host included; and each fuzz target for a short while (clang).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
jobs="$(nproc)"
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSCRIVLOCK_BENCH=ON
cmake --build build -j"$jobs"
ctest --no-tests=error --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCRIVLOCK_SANITIZE=ON
cmake --build build-asan -j"$jobs"
ctest --no-tests=error --test-dir build-asan --output-on-failure -j"$jobs"

cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DSCRIVLOCK_FUZZ=ON -DSCRIVLOCK_QT=OFF -DBUILD_TESTING=OFF
cmake --build build-fuzz -j"$jobs"
ctest --no-tests=error --test-dir build-fuzz --output-on-failure -j"$jobs" -R '^fuzz\.'

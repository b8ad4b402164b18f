#!/usr/bin/env bash
# Installs what is missing, builds everything into build/, and runs the main
# job: the scrivlock tool uncomments and re-comments the bundled example project
# (on a copy, so the example stays as it is).
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
tools/demo.sh build/apps/scrivlock/scrivlock

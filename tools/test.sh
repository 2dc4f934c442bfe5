#!/usr/bin/env bash
# Builds everything and runs every test through ctest; non-zero when a test fails.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-packages.sh tools/packages.txt
jobs=$(nproc)
cmake --preset release
cmake --build --preset release -j "$jobs"
ctest --test-dir build/release --output-on-failure -j "$jobs" --timeout 300

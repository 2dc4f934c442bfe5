#!/usr/bin/env bash
# Builds the release program and starts it with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-packages.sh tools/packages.txt
cmake --preset release >/dev/null
cmake --build --preset release --target qel >/dev/null
exec build/release/qel "$@"

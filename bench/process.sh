#!/usr/bin/env bash
# Whole-process timings: start-up to exit of qel against the peers' empty programs.
set -euo pipefail
cd "$(dirname "$0")/.."
qel=build/bench/qel
source bench/process-timing.sh
# An empty script: the whole library is built before it runs.
script=$(mktemp --suffix=.qel)
trap 'rm -f "$script"' EXIT
echo 'Qel []' >"$script"
qel_us=$(time_runs "$qel" --version)
library_us=$(time_runs "$qel" "$script")
python_us=$(time_runs python3 -c pass)
lua_us=$(time_runs lua5.4 -e '')
ratio_row "start-up to exit" "python3 -c pass" "$qel_us" "$python_us"
ratio_row "start-up to exit" "lua5.4 -e \"\"" "$qel_us" "$lua_us"
ratio_row "empty script, library built" "python3 -c pass" "$library_us" "$python_us"
ratio_row "empty script, library built" "lua5.4 -e \"\"" "$library_us" "$lua_us"
# Where the library's build time goes (one run).
QEL_BOOT_STATS=1 "$qel" "$script" 2>&1 >/dev/null | grep '^boot:' || true

#!/usr/bin/env bash
# Whole-process timings: start-up to exit of qel against the peers' empty programs.
set -euo pipefail
cd "$(dirname "$0")/.."
qel=build/bench/qel
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
time_runs() {
  for _ in $(seq 21); do
    local start end
    start=$(date +%s%N)
    "$@" </dev/null >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
  done | median
}
# An empty script: the whole library is built before it runs.
script=$(mktemp --suffix=.qel)
trap 'rm -f "$script"' EXIT
echo 'Qel []' >"$script"
qel_us=$(time_runs "$qel" --version)
library_us=$(time_runs "$qel" "$script")
python_us=$(time_runs python3 -c pass)
lua_us=$(time_runs lua5.4 -e '')
awk -v q="$qel_us" -v s="$library_us" -v p="$python_us" -v l="$lua_us" 'BEGIN {
  printf "%-50s qel/%-24s %7.2f\n", "start-up to exit", "python3 -c pass", q / p
  printf "%-50s qel/%-24s %7.2f\n", "start-up to exit", "lua5.4 -e \"\"", q / l
  printf "%-50s qel/%-24s %7.2f\n", "empty script, library built", "python3 -c pass", s / p
  printf "%-50s qel/%-24s %7.2f\n", "empty script, library built", "lua5.4 -e \"\"", s / l
}'
# Where the library's build time goes (one run).
QEL_BOOT_STATS=1 "$qel" "$script" 2>&1 >/dev/null | grep '^boot:' || true

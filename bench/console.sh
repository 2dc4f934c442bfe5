#!/usr/bin/env bash
# The console as a whole process on piped input against python3 -i on the same kind of input:
# many one-line commands, one long open command, and results cut to the width.
set -euo pipefail
cd "$(dirname "$0")/.."
qel=build/bench/qel
source bench/process-timing.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

repeat_line() { for _ in $(seq "$1"); do echo "$2"; done; }
{ echo "n: 0"; repeat_line 10000 "n: n + 1"; } >"$work/lines.qel"
{ echo "n = 0"; repeat_line 10000 "n = n + 1"; } >"$work/lines.py"
# One command of 10,002 lines: the console checks the open block after each.
{ echo "b: ["; seq 10000; echo "]"; } >"$work/block.qel"
{ echo "b = ["; seq 10000 | sed 's/$/,/'; echo "]"; } >"$work/block.py"
# The same set-up, then 1,000 results of a block of a million values or of ten: a cut result
# costs the width, not the value.
setup="big: append/dup make block! 0 0 1000000 small: append/dup make block! 0 0 10 0"
{ echo "$setup"; repeat_line 1000 big; } >"$work/cut-big.qel"
{ echo "$setup"; repeat_line 1000 small; } >"$work/cut-small.qel"

lines_qel=$(TIME_INPUT=$work/lines.qel time_runs "$qel" --cli)
lines_py=$(TIME_INPUT=$work/lines.py time_runs python3 -i)
block_qel=$(TIME_INPUT=$work/block.qel time_runs "$qel" --cli)
block_py=$(TIME_INPUT=$work/block.py time_runs python3 -i)
cut_big=$(TIME_INPUT=$work/cut-big.qel time_runs "$qel" --cli)
cut_small=$(TIME_INPUT=$work/cut-small.qel time_runs "$qel" --cli)
ratio_row "10,000 piped one-line commands" "python3 -i" "$lines_qel" "$lines_py"
ratio_row "a 10,000-line open block" "python3 -i" "$block_qel" "$block_py"
ratio_row "1,000 cut results of 10^6 values" "1,000 of 10 values" "$cut_big" "$cut_small"

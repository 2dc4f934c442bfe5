#!/usr/bin/env bash
# Runs each workload of bench/scripts/ as a whole process in qel and its two peers, Python 3 and
# Lua 5.4, and prints one table: median seconds, qel's ratio to each peer, peak resident memory.
#
#   bash bench/scripts.sh [runs] [workload-filter]
#
# The three programs of a workload use the same algorithm and print the same result; a workload
# whose outputs differ is marked and makes the command exit 1. Runs of the three are interleaved
# so that a machine that speeds up or slows down mid-run shifts them alike.
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-5}"
filter="${2:-}"
bash tools/install-packages.sh bench/scripts/packages.txt >&2
cmake --preset release >/dev/null
cmake --build --preset release --target qel >/dev/null
qel=build/release/qel
python=/usr/bin/python3
lua=/usr/bin/lua5.4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# One run: appends "seconds kilobytes" to $scratch/<name>.times, keeps the output of the first.
run_once() {
  local name="$1"; shift
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%M' -o "$scratch/rss" "$@" >"$scratch/out" 2>&1 </dev/null || true
  end=$(date +%s%N)
  echo "$(((end - start) / 1000)) $(tail -n 1 "$scratch/rss")" >>"$scratch/$name.times"
  [[ -e "$scratch/$name.out" ]] || cp "$scratch/out" "$scratch/$name.out"
}

# Median of a column of $scratch/<name>.times (1: microseconds, 2: kilobytes).
median() {
  cut -d' ' -f"$2" "$scratch/$1.times" | sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'
}

status=0
printf '%-16s %8s %8s %8s %7s %7s %8s %8s %8s\n' workload qel python3 lua5.4 q/py q/lua 'qel MB' 'py MB' \
  'lua MB'
for script in bench/scripts/*.qel; do
  workload=$(basename "$script" .qel)
  [[ -n "$filter" && "$workload" != *"$filter"* ]] && continue
  for _ in $(seq "$runs"); do
    run_once "$workload.qel" "$qel" "$script"
    run_once "$workload.py" "$python" "bench/scripts/$workload.py"
    run_once "$workload.lua" "$lua" "bench/scripts/$workload.lua"
  done
  mark=""
  if ! cmp -s "$scratch/$workload.qel.out" "$scratch/$workload.py.out" ||
    ! cmp -s "$scratch/$workload.qel.out" "$scratch/$workload.lua.out"; then
    mark="  outputs differ"
    status=1
  fi
  awk -v w="$workload" -v mark="$mark" \
    -v q="$(median "$workload.qel" 1)" -v p="$(median "$workload.py" 1)" -v l="$(median "$workload.lua" 1)" \
    -v qm="$(median "$workload.qel" 2)" -v pm="$(median "$workload.py" 2)" -v lm="$(median "$workload.lua" 2)" \
    'BEGIN {
      printf "%-16s %8.3f %8.3f %8.3f %7.2f %7.2f %8.1f %8.1f %8.1f%s\n", w, q / 1e6, p / 1e6, l / 1e6,
        q / p, q / l, qm / 1024, pm / 1024, lm / 1024, mark
    }'
done | tee "$scratch/table"
awk 'NR > 1 && $6 > 0 {n++; py += log($5); lua += log($6)}
  END {if (n) printf "%-16s %35s %7.2f %7.2f\n", "geometric mean", "", exp(py / n), exp(lua / n)}' "$scratch/table"
grep -q 'outputs differ' "$scratch/table" && status=1
exit "$status"

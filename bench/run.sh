#!/usr/bin/env bash
# Builds the benchmarks, runs each with its peers in the same process, and prints ratios.
#
# A benchmark named "<case>/qel" is compared with every "<case>/<peer>" of the same binary:
# the ratio is qel's time over the peer's (below 1: qel is faster). Process-level cases
# (start-up, the console on piped input) are timed by bench/process.sh and bench/console.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-packages.sh tools/packages.txt bench/packages.txt
cmake --preset bench >/dev/null
cmake --build --preset bench -j "$(nproc)" >/dev/null
mkdir -p bench/out
filter="${1:-}"
for binary in build/bench/bench/bench-*; do
  name=$(basename "$binary")
  [[ -n "$filter" && "$name" != *"$filter"* ]] && continue
  "$binary" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"bench/out/$name.json"
  python3 - "bench/out/$name.json" <<'PY'
import json, sys
runs = json.load(open(sys.argv[1]))["benchmarks"]
medians = {b["run_name"]: b["real_time"] for b in runs if b.get("aggregate_name") == "median"}
for name, qel_time in sorted(medians.items()):
    if not name.endswith("/qel"):
        continue
    case = name[: -len("/qel")]
    for other, peer_time in sorted(medians.items()):
        if other.startswith(case + "/") and other != name:
            print(f"{case:50s} qel/{other[len(case) + 1:]:24s} {qel_time / peer_time:7.2f}")
PY
done
bash bench/process.sh
bash bench/console.sh

# Whole-process timing for the process-level benchmarks (sourced): the median wall time of 21
# runs, in microseconds, with standard input from $TIME_INPUT (default /dev/null).
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
time_runs() {
  for _ in $(seq 21); do
    local start end
    start=$(date +%s%N)
    "$@" <"${TIME_INPUT:-/dev/null}" >/dev/null 2>&1 || true
    end=$(date +%s%N)
    echo $(((end - start) / 1000))
  done | median
}
# One ratio row as run.sh prints them: the case, the peer, qel's time over the peer's.
ratio_row() { awk -v c="$1" -v p="$2" -v q="$3" -v r="$4" 'BEGIN { printf "%-50s qel/%-24s %7.2f\n", c, p, q / r }'; }

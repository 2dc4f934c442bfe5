// Reactivity: 10,000 field changes spread over 1,000 reactors, each the source of one relation
// whose reaction reads the changed field, against the same changes to plain objects. The
// per-change counter is the time of one change with its reaction run.
#include <benchmark/benchmark.h>

#include "bench/qel-programs.h"

namespace qel {
namespace {

constexpr int kChanges = 10000;

// Each holder's reaction reads its own reactor's field through the holder's word `r`; the spec is
// copied for each holder, as `make object!` binds the block it is given.
constexpr const char* kReactive =
    "sum: 0 holders: make block! 1000 "
    "repeat i 1000 [append holders make object! copy/deep [r: reactor [a: 0] react/later [sum: sum + r/a]]]";
constexpr const char* kPlain =
    "sum: 0 holders: make block! 1000 repeat i 1000 [append holders make object! copy/deep [r: make object! [a: 0]]]";
constexpr const char* kChangesProgram = "repeat i 10000 [h: pick holders i // 1000 + 1 h/r/a: i]";

void run(benchmark::State& state, const char* setup) {
  bench_support::run_qel_program(state, setup, kChangesProgram, true);
  state.counters["per-change"] =
      benchmark::Counter(kChanges, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

const bool registered = [] {
  benchmark::RegisterBenchmark("change-1000-relations-10k/qel", [](benchmark::State& s) {
    run(s, kReactive);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("change-1000-relations-10k/plain-objects", [](benchmark::State& s) {
    run(s, kPlain);
  })->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace qel

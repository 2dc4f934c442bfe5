// The tools' cost per event: a loop of 100,000 additions evaluated under the raw dumper (its emit
// a no-op), the guided tracer (its emit a no-op) and the profiler, each against the same loop
// untraced in the same run. The events per run are counted once by a tracer that only counts, so
// the ratio less one, times the untraced time, over the count gives the cost of one event.
#include <benchmark/benchmark.h>

#include "bench/qel-programs.h"

namespace qel {
namespace {

constexpr const char* kSetup =
    "n: 0 loop-code: [repeat i 100000 [n: n + i]] "
    "quiet: func [b] [] system/tools/tracers/emit: :quiet "
    "events: 0 do/trace loop-code func [e c o v r f] [events: events + 1]";
constexpr const char* kUntraced = "n: 0 do loop-code";

void run(benchmark::State& state, const char* program) {
  bench_support::run_qel_program(state, kSetup, program, true);
}

const bool registered = [] {
  const struct {
    const char* name;
    const char* program;
  } cases[] = {
      {"loop-100k-raw-trace", "n: 0 trace/raw loop-code"},
      {"loop-100k-guided-trace", "n: 0 trace loop-code"},
      {"loop-100k-profile", "n: 0 do/trace loop-code :system/tools/profiler"},
  };
  for (const auto& c : cases) {
    const char* program = c.program;
    benchmark::RegisterBenchmark((std::string(c.name) + "/qel").c_str(), [program](benchmark::State& s) {
      run(s, program);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((std::string(c.name) + "/untraced").c_str(), [](benchmark::State& s) {
      run(s, kUntraced);
    })->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace qel

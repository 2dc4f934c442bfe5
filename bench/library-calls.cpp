// Library calls against the natives they stand beside: a type predicate (a routine of the
// library) against `type?` (a native) on the same value, a million calls each.
#include <benchmark/benchmark.h>

#include "bench/qel-programs.h"

namespace qel {
namespace {

struct Program {
  const char* name;
  const char* library_call;
  const char* native_call;
};

constexpr Program kPrograms[] = {
    {"predicate-1M", "loop 1000000 [block? b]", "loop 1000000 [type? b]"},
    {"typeset-predicate-1M", "loop 1000000 [series? b]", "loop 1000000 [type? b]"},
};

constexpr const char* kSetup = "b: [1 2 3]";

const bool registered = [] {
  for (const Program& program : kPrograms) {
    const std::string name = program.name;
    const Program* p = &program;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [p](benchmark::State& s) {
      bench_support::run_qel_program(s, kSetup, p->library_call, true);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/type?").c_str(), [p](benchmark::State& s) {
      bench_support::run_qel_program(s, kSetup, p->native_call, true);
    })->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace qel

// Library calls against the natives they stand beside: a type predicate (a routine of the
// library) against `type?` (a native) on the same value, a million calls each; `load` (a library
// function) against the `transcode` it runs on the text of a typed line.
#include <benchmark/benchmark.h>

#include "bench/qel-programs.h"

namespace qel {
namespace {

struct Program {
  const char* name;
  const char* library_call;
  const char* native_call;
  const char* native;  // the native's name, the peer's label
};

constexpr Program kPrograms[] = {
    {"predicate-1M", "loop 1000000 [block? b]", "loop 1000000 [type? b]", "type?"},
    {"typeset-predicate-1M", "loop 1000000 [series? b]", "loop 1000000 [type? b]", "type?"},
    {"load-100k", "loop 100000 [load \"1 + 2\"]", "loop 100000 [transcode \"1 + 2\"]", "transcode"},
};

constexpr const char* kSetup = "b: [1 2 3]";

const bool registered = [] {
  for (const Program& program : kPrograms) {
    const std::string name = program.name;
    const Program* p = &program;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [p](benchmark::State& s) {
      bench_support::run_qel_program(s, kSetup, p->library_call, true);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/" + program.native).c_str(), [p](benchmark::State& s) {
      bench_support::run_qel_program(s, kSetup, p->native_call, true);
    })->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace qel

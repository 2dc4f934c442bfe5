// Value natives against Python 3 on the same work: compose/deep over 10^6 cells with a paren
// (a function call) in every tenth against a list comprehension calling a function every tenth
// element, and unique of 10^6 random integers against list(dict.fromkeys(x)).
#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>

#include <string>

#include "bench/qel-programs.h"

namespace qel {
namespace {

struct Program {
  const char* name;
  const char* qel_setup;
  const char* qel;
  const char* python_setup;
  const char* python;
};

constexpr Program kPrograms[] = {
    {"compose-deep-1M", "f: func [] [1] b: make block! 1000000 loop 100000 [append b [1 2 3 4 5 6 7 8 9 (f)]]",
     "compose/deep b", "def f():\n    return 1\nx = list(range(1000000))\n",
     "[f() if i % 10 == 9 else v for i, v in enumerate(x)]\n"},
    {"unique-1M", "b: make block! 1000000 loop 1000000 [append b random 1000000000]", "unique b",
     "import random\nrandom.seed(1)\nx = [random.randrange(1000000000) for _ in range(1000000)]\n",
     "list(dict.fromkeys(x))\n"},
};

const bool registered = [] {
  for (const Program& program : kPrograms) {
    const std::string name = program.name;
    const Program* p = &program;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [p](benchmark::State& s) {
      bench_support::run_qel_program(s, p->qel_setup, p->qel);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/python3").c_str(), [p](benchmark::State& s) {
      bench_support::run_python_program(s, p->python_setup, p->python);
    })->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace qel

// Tracing: fib 20 evaluated under do/trace with a tracer that asks only for expr events and
// counts them, against Python's fib(20) under sys.settrace with a tracer that counts every event
// it is given.
#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>

#include "bench/qel-programs.h"

namespace qel {
namespace {

constexpr const char* kQelSetup =
    "fib: func [n] [either n < 2 [n] [(fib n - 1) + (fib n - 2)]] "
    "seen: 0 tracer: func [e c o v r f] [[expr] seen: seen + 1]";
constexpr const char* kQel = "do/trace [fib 20] :tracer";

constexpr const char* kPythonSetup =
    "import sys\n"
    "def fib(n):\n    return n if n < 2 else fib(n - 1) + fib(n - 2)\n"
    "seen = 0\n"
    "def tracer(frame, event, arg):\n    global seen\n    seen += 1\n    return tracer\n";
constexpr const char* kPython = "sys.settrace(tracer)\nfib(20)\nsys.settrace(None)\n";

const bool registered = [] {
  benchmark::RegisterBenchmark("fib-20-traced/qel", [](benchmark::State& s) {
    bench_support::run_qel_program(s, kQelSetup, kQel);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("fib-20-traced/python3", [](benchmark::State& s) {
    bench_support::run_python_program(s, kPythonSetup, kPython);
  })->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace qel

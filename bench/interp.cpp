// Interpreter programs against Python 3 and Lua 5.4 running the same program with global
// variables: recursion, while and counted loops, calls with positional and keyword arguments
// (Lua has none: its h takes the optional one by position), a branch that returns early, an
// object field, and appends to a growing list.
#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>

#include <string>

#include "bench/qel-programs.h"

namespace qel {
namespace {

// One program in each language: a set-up run once, then the timed part.
struct Program {
  const char* name;
  const char* qel_setup;
  const char* qel;
  const char* python_setup;
  const char* python;
  const char* lua_setup;
  const char* lua;
};

constexpr Program kPrograms[] = {
    {"fib-27", "fib: func [n] [either n < 2 [n] [(fib n - 1) + (fib n - 2)]]", "fib 27",
     "def fib(n):\n    return n if n < 2 else fib(n - 1) + fib(n - 2)\n", "fib(27)\n",
     "function fib(n) if n < 2 then return n end return fib(n - 1) + fib(n - 2) end", "fib(27)"},
    {"while-10M", "", "n: 0 while [n < 10000000] [n: n + 1]", "", "n = 0\nwhile n < 10000000:\n    n = n + 1\n", "",
     "n = 0 while n < 10000000 do n = n + 1 end"},
    {"loop-10M", "", "n: 0 loop 10000000 [n: n + 1]", "", "n = 0\nfor _ in range(10000000):\n    n = n + 1\n", "",
     "n = 0 for _ = 1, 10000000 do n = n + 1 end"},
    {"call-3M", "f: func [a b] [a]", "loop 3000000 [f 1 2]", "def f(a, b):\n    return a\n",
     "for _ in range(3000000):\n    f(1, 2)\n", "function f(a, b) return a end", "for _ = 1, 3000000 do f(1, 2) end"},
    {"return-3M", "g: func [x] [if x > 0 [return 1] 0]", "loop 3000000 [g 1]",
     "def g(x):\n    if x > 0:\n        return 1\n    return 0\n", "for _ in range(3000000):\n    g(1)\n",
     "function g(x) if x > 0 then return 1 end return 0 end", "for _ = 1, 3000000 do g(1) end"},
    {"refinement-1M", "h: func [a /x b] [a]", "loop 1000000 [h/x 1 2]", "def h(a, x=None):\n    return a\n",
     "for _ in range(1000000):\n    h(1, x=2)\n", "function h(a, x) return a end",
     "for _ = 1, 1000000 do h(1, 2) end"},
    {"object-field-1M", "o: make object! [a: 0]", "loop 1000000 [o/a: o/a + 1]",
     "class O:\n    pass\no = O()\no.a = 0\n", "for _ in range(1000000):\n    o.a = o.a + 1\n", "o = {a = 0}",
     "for _ = 1, 1000000 do o.a = o.a + 1 end"},
    {"append-1M", "", "b: copy [] repeat i 1000000 [append b i]", "", "b = []\nfor i in range(1, 1000001):\n    b.append(i)\n",
     "", "b = {} for i = 1, 1000000 do table.insert(b, i) end"},
};

void run_qel(benchmark::State& state, const Program& program) {
  bench_support::run_qel_program(state, program.qel_setup, program.qel);
}

void run_python(benchmark::State& state, const Program& program) {
  bench_support::run_python_program(state, program.python_setup, program.python);
}

void run_lua(benchmark::State& state, const Program& program) {
  bench_support::run_lua_program(state, program.lua_setup, program.lua);
}

const bool registered = [] {
  for (const Program& program : kPrograms) {
    const std::string name = program.name;
    const Program* p = &program;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [p](benchmark::State& s) { run_qel(s, *p); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/python3").c_str(), [p](benchmark::State& s) { run_python(s, *p); })
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/lua").c_str(), [p](benchmark::State& s) { run_lua(s, *p); })
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace qel

// qel-python-programs.h: programs timed in Qel and in Python 3 on the same work: each has a
// set-up run once and a timed part; each becomes two benchmarks, <name>/qel and <name>/python3.
#pragma once

#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>

#include <span>
#include <string>

#include "bench/qel-programs.h"

namespace qel::bench_support {

struct QelPythonProgram {
  const char* name;
  const char* qel_setup;
  const char* qel;
  const char* python_setup;
  const char* python;
  bool library = false;  // the Qel side runs with the library built
};

// Registers the two benchmarks of each program; answers true (for a static initialiser).
inline bool register_qel_python_programs(std::span<const QelPythonProgram> programs) {
  for (const QelPythonProgram& program : programs) {
    const std::string name = program.name;
    const QelPythonProgram* p = &program;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [p](benchmark::State& s) {
      run_qel_program(s, p->qel_setup, p->qel, p->library);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/python3").c_str(), [p](benchmark::State& s) {
      run_python_program(s, p->python_setup, p->python);
    })->Unit(benchmark::kMillisecond);
  }
  return true;
}

}  // namespace qel::bench_support

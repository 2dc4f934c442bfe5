// python-programs.h: benchmarks of one program run in Qel and in Python 3: each is registered
// as "<name>/qel" and "<name>/python3", so bench/run.sh prints their ratio.
#pragma once

#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>

#include <span>
#include <string>

#include "bench/qel-programs.h"

namespace qel::bench_support {

// A program in both languages: a set-up run once, then the timed part.
struct PythonPeerProgram {
  const char* name;
  const char* qel_setup;
  const char* qel;
  const char* python_setup;
  const char* python;
};

inline bool register_python_peer_programs(std::span<const PythonPeerProgram> programs) {
  for (const PythonPeerProgram& program : programs) {
    const std::string name = program.name;
    const PythonPeerProgram* p = &program;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [p](benchmark::State& s) {
      run_qel_program(s, p->qel_setup, p->qel);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((name + "/python3").c_str(), [p](benchmark::State& s) {
      run_python_program(s, p->python_setup, p->python);
    })->Unit(benchmark::kMillisecond);
  }
  return true;
}

}  // namespace qel::bench_support

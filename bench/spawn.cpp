// Starting programs against Python 3's subprocess embedded in the same run: call/wait of "true"
// against subprocess.run(["true"]), and 100 MB of output collected into a binary! against
// subprocess.run(..., capture_output=True).
#include <benchmark/benchmark.h>

#include "bench/bench-runtime.h"
#include "bench/script-peers.h"
#include "datatypes/series/binary.h"
#include "loader/process/call-command.h"
#include "runtime/collector.h"
#include "runtime/gc-root.h"

namespace qel {
namespace {

constexpr const char* kSetup = "import subprocess\n";

void BM_call_true_qel(benchmark::State& state) {
  bench_support::start_runtime_once();
  for (auto _ : state)
    if (call_command({"true", true, false, false, false, nullptr, nullptr, nullptr}) != 0) state.SkipWithError("true");
}
void BM_call_true_python(benchmark::State& state) {
  bench_support::run_python_program(state, kSetup, "subprocess.run(['true'])");
}

void BM_capture_qel(benchmark::State& state) {
  bench_support::start_runtime_once();
  GcRoot<Cell> output;
  for (auto _ : state) {
    state.PauseTiming();
    *output = make_cell(Type::none);
    collect_now();  // the last run's binary
    binary_make_at(*output, 0);
    state.ResumeTiming();
    if (call_command({"head -c 100000000 /dev/zero", true, false, false, false, nullptr, &*output, nullptr}) != 0 ||
        binary_length(*output) != 100000000)
      state.SkipWithError("capture");
  }
}
void BM_capture_python(benchmark::State& state) {
  bench_support::run_python_program(
      state, kSetup, "data = subprocess.run(['head', '-c', '100000000', '/dev/zero'], capture_output=True).stdout");
}

BENCHMARK(BM_call_true_qel)->Name("call-true/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_call_true_python)->Name("call-true/python")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_capture_qel)->Name("capture-100mb/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_capture_python)->Name("capture-100mb/python")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qel

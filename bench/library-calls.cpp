// Library calls against the natives they stand beside: a type predicate (a routine of the
// library) against `type?` (a native) on the same value, a million calls each; `first` against
// `pick`; `load` (a library function) against the `transcode` it runs on the text of a typed
// line. Then library functions over text against Python 3 in the same run: `rejoin` of 1,000
// short strings against `"".join`, `replace/all` on 1 MB of text against `str.replace`.
#include "bench/qel-python-programs.h"  // first: it includes Python.h

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
    {"first-1M", "loop 1000000 [first b]", "loop 1000000 [pick b 1]", "pick"},
    {"load-100k", "loop 100000 [load \"1 + 2\"]", "loop 100000 [transcode \"1 + 2\"]", "transcode"},
};

constexpr const char* kSetup = "b: [1 2 3]";

// 87,382 times "lorem ipsum " is 1 MB; each side changes a fresh copy.
constexpr bench_support::QelPythonProgram kTextPrograms[] = {
    {"rejoin-1000", "parts: [] repeat n 1000 [append parts form n]", "rejoin parts",
     "parts = [str(n) for n in range(1, 1001)]", "''.join(parts)", true},
    {"replace-all-1MB", "text: copy {} loop 87382 [append text {lorem ipsum }]",
     "replace/all copy text {ipsum} {dolor}", "text = 'lorem ipsum ' * 87382", "text.replace('ipsum', 'dolor')", true},
};

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

const bool text_registered = bench_support::register_qel_python_programs(kTextPrograms);

}  // namespace
}  // namespace qel

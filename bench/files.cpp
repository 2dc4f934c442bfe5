// The file layer against Python 3 embedded in the same run: read of 100 MB of UTF-8 text with
// CR LF line ends (text and lines) and as bytes, and the listing of a 10,000-entry directory.
// Each side makes its whole value anew on every iteration.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/bench-runtime.h"
#include "bench/script-peers.h"
#include "datatypes/series/url.h"
#include "loader/file-read.h"
#include "runtime/collector.h"
#include "runtime/gc-root.h"

namespace qel {
namespace {

constexpr size_t kTextBytes = size_t{100} << 20;
constexpr int kLines = 1000000;
constexpr int kEntries = 10000;

// The files, made once in a fresh folder that is removed at exit.
struct Fixture {
  std::string folder;
  std::string text;   // 100 MB of UTF-8 with CR LF
  std::string lines;  // 1,000,000 lines
  std::string listed; // a directory of 10,000 files, named with "/" at its end
  Fixture() {
    char name[] = "/tmp/qel-bench-files-XXXXXX";
    folder = ::mkdtemp(name);
    text = folder + "/text.txt";
    lines = folder + "/lines.txt";
    listed = folder + "/listed/";
    std::ofstream text_file(text, std::ios::binary);
    for (size_t written = 0, n = 0; written < kTextBytes; ++n) {
      std::string line = "Grüße, wörld: line " + std::to_string(n) + " ends with CR LF\r\n";
      text_file << line;
      written += line.size();
    }
    std::ofstream lines_file(lines, std::ios::binary);
    for (int n = 0; n < kLines; ++n) lines_file << "line number " << n << "\r\n";
    std::filesystem::create_directory(listed);
    for (int n = 0; n < kEntries; ++n) std::ofstream(listed + "entry-" + std::to_string(n * 7919 % kEntries));
  }
  ~Fixture() { std::filesystem::remove_all(folder); }
};

const Fixture& fixture() {
  static Fixture made;
  return made;
}

void read_qel(benchmark::State& state, const std::string& path, bool binary, bool lines) {
  bench_support::start_runtime_once();
  GcRoot<Cell> file(file_from_os_name(path));
  for (auto _ : state) {
    state.PauseTiming();
    collect_now();  // the last run's value
    state.ResumeTiming();
    GcRoot<Cell> got(file_read_dispatch(*file, {nullptr, nullptr, binary, lines, false, nullptr}));
    benchmark::DoNotOptimize(got->w2);
  }
}

void read_python(benchmark::State& state, const std::string& path, const char* program) {
  std::string setup = "import os\npath = '" + path + "'\n";
  bench_support::run_python_program(state, setup.c_str(), program);
}

void BM_read_text_qel(benchmark::State& state) { read_qel(state, fixture().text, false, false); }
void BM_read_text_python(benchmark::State& state) {
  read_python(state, fixture().text, "data = open(path, encoding='utf-8', newline=None).read()");
}
void BM_read_binary_qel(benchmark::State& state) { read_qel(state, fixture().text, true, false); }
void BM_read_binary_python(benchmark::State& state) { read_python(state, fixture().text, "data = open(path, 'rb').read()"); }
void BM_read_lines_qel(benchmark::State& state) { read_qel(state, fixture().lines, false, true); }
void BM_read_lines_python(benchmark::State& state) {
  read_python(state, fixture().lines, "data = open(path, encoding='utf-8').read().splitlines()");
}
void BM_read_dir_qel(benchmark::State& state) { read_qel(state, fixture().listed, false, false); }
void BM_read_dir_python(benchmark::State& state) { read_python(state, fixture().listed, "data = sorted(os.listdir(path))"); }

BENCHMARK(BM_read_text_qel)->Name("read-text/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_text_python)->Name("read-text/python")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_binary_qel)->Name("read-binary/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_binary_python)->Name("read-binary/python")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_lines_qel)->Name("read-lines/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_lines_python)->Name("read-lines/python")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_dir_qel)->Name("read-dir/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(BM_read_dir_python)->Name("read-dir/python")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qel

// HTTP benchmarks against the local test server this process starts (127.0.0.1, never another
// host), each side in the same run: 1,000 sequential small GETs with `read`, and one 100 MB body
// with `read/binary`, against Python's urllib.request.urlopen(url).read() of the same URLs.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/qel-programs.h"
#include "bench/script-peers.h"
#include "tools/case-driver/http-fixture.h"

namespace qel {
namespace {

constexpr int kSmallGets = 1000;
constexpr long kLargeBody = 100L << 20;

// The server, started at the first use and killed at exit.
const cases::HttpFixture& server() {
  static cases::HttpFixture fixture;
  cases::bypass_proxy_for_fixture();
  return fixture;
}

std::string small_url() { return server().url("/text"); }
std::string large_url() { return server().url("/bytes/" + std::to_string(kLargeBody)); }

void small_gets_qel(benchmark::State& state) {
  bench_support::run_qel_program(state, "u: " + small_url(), "loop " + std::to_string(kSmallGets) + " [read u]");
}

void small_gets_python(benchmark::State& state) {
  std::string setup = "import urllib.request\nu = '" + small_url() + "'\n";
  std::string program = "for _ in range(" + std::to_string(kSmallGets) + "): urllib.request.urlopen(u).read()\n";
  bench_support::run_python_program(state, setup.c_str(), program.c_str());
}

void large_body_qel(benchmark::State& state) {
  bench_support::run_qel_program(state, "u: " + large_url(), "read/binary u");
  state.SetBytesProcessed(state.iterations() * kLargeBody);
}

void large_body_python(benchmark::State& state) {
  std::string setup = "import urllib.request\nu = '" + large_url() + "'\n";
  bench_support::run_python_program(state, setup.c_str(), "urllib.request.urlopen(u).read()\n");
  state.SetBytesProcessed(state.iterations() * kLargeBody);
}

BENCHMARK(small_gets_qel)->Name("http-1000-small-gets/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(small_gets_python)->Name("http-1000-small-gets/python3")->Unit(benchmark::kMillisecond);
BENCHMARK(large_body_qel)->Name("http-100mb-body/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(large_body_python)->Name("http-100mb-body/python3")->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace qel

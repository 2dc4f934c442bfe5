// The two sorts against the standard library's on 10^6 cell-sized records, same comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "datatypes/series/sort.h"

namespace {

// A cell-sized record: an integer key and a payload.
struct Record {
  int64_t key;
  int64_t payload;
};
static_assert(sizeof(Record) == 16);

// The one comparison both sides use: -1, 0 or 1 by key.
inline int compare_records(const Record& a, const Record& b) { return (a.key > b.key) - (a.key < b.key); }

constexpr size_t kCount = 1000000;

// The inputs: random keys, ordered, reversed, 10 distinct keys, an organ pipe.
std::vector<Record> make_input(const std::string& shape) {
  std::mt19937_64 random(42);
  std::vector<Record> records(kCount);
  for (size_t i = 0; i < kCount; ++i) {
    int64_t n = static_cast<int64_t>(i);
    int64_t key = shape == "random"    ? static_cast<int64_t>(random() >> 1)
                  : shape == "sorted"  ? n
                  : shape == "reverse" ? static_cast<int64_t>(kCount) - n
                  : shape == "ten-keys" ? static_cast<int64_t>(random() % 10)
                                        : std::min<int64_t>(n, static_cast<int64_t>(kCount) - n);
    records[i] = {key, n};
  }
  return records;
}

// Times `sort` on fresh copies of the input; the copy is not timed.
template <class Sort>
void run(benchmark::State& state, const std::vector<Record>& input, Sort sort) {
  std::vector<Record> records;
  for (auto _ : state) {
    state.PauseTiming();
    records = input;
    state.ResumeTiming();
    sort(records);
    benchmark::DoNotOptimize(records.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kCount));
}

// Registers, per shape, each sort with its standard peer.
int register_cases() {
  for (std::string shape : {"random", "sorted", "reverse", "ten-keys", "organ-pipe"}) {
    auto input = std::make_shared<std::vector<Record>>(make_input(shape));
    auto by_bytes = [](const std::byte* x, const std::byte* y) {
      return compare_records(*reinterpret_cast<const Record*>(x), *reinterpret_cast<const Record*>(y));
    };
    auto less = [](const Record& a, const Record& b) { return compare_records(a, b) < 0; };
    benchmark::RegisterBenchmark(("quick/" + shape + "/qel").c_str(), [=](benchmark::State& state) {
      run(state, *input, [&](std::vector<Record>& r) { qel::quick_sort(r.data(), r.size(), sizeof(Record), by_bytes); });
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("quick/" + shape + "/std-sort").c_str(), [=](benchmark::State& state) {
      run(state, *input, [&](std::vector<Record>& r) { std::sort(r.begin(), r.end(), less); });
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("stable/" + shape + "/qel").c_str(), [=](benchmark::State& state) {
      run(state, *input, [&](std::vector<Record>& r) { qel::merge_sort(r.data(), r.size(), sizeof(Record), by_bytes); });
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("stable/" + shape + "/std-stable-sort").c_str(), [=](benchmark::State& state) {
      run(state, *input, [&](std::vector<Record>& r) { std::stable_sort(r.begin(), r.end(), less); });
    })->Unit(benchmark::kMillisecond);
  }
  return 0;
}

const int registered = register_cases();

}  // namespace

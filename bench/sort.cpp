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

// Registers one case: `sort` on copies of `input`.
template <class Sort>
void add_case(const std::string& name, std::shared_ptr<const std::vector<Record>> input, Sort sort) {
  benchmark::RegisterBenchmark(name.c_str(), [=](benchmark::State& state) { run(state, *input, sort); })
      ->Unit(benchmark::kMillisecond);
}

// The comparison as the sorts call it, through the records' addresses (inlined by type).
struct CompareAddresses {
  int operator()(const std::byte* x, const std::byte* y) const {
    return compare_records(*reinterpret_cast<const Record*>(x), *reinterpret_cast<const Record*>(y));
  }
};

// The comparison as the standard sorts call it.
struct Less {
  bool operator()(const Record& a, const Record& b) const { return compare_records(a, b) < 0; }
};

// Registers, per shape, each sort with its standard peer.
int register_cases() {
  for (std::string shape : {"random", "sorted", "reverse", "ten-keys", "organ-pipe"}) {
    auto input = std::make_shared<const std::vector<Record>>(make_input(shape));
    add_case("quick/" + shape + "/qel", input, [](std::vector<Record>& r) {
      qel::quick_sort(r.data(), r.size(), sizeof(Record), CompareAddresses{});
    });
    add_case("quick/" + shape + "/std-sort", input, [](std::vector<Record>& r) { std::sort(r.begin(), r.end(), Less{}); });
    add_case("stable/" + shape + "/qel", input, [](std::vector<Record>& r) {
      qel::merge_sort(r.data(), r.size(), sizeof(Record), CompareAddresses{});
    });
    add_case("stable/" + shape + "/std-stable-sort", input,
             [](std::vector<Record>& r) { std::stable_sort(r.begin(), r.end(), Less{}); });
  }
  return 0;
}

const int registered = register_cases();

}  // namespace

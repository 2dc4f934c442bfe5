// Block actions against the standard library on the same cells: sort of 10^6 integer cells by
// the default order (quick and stable) against std::sort and std::stable_sort with the same
// compare action, find of the last of 10^6 cells against a plain loop calling the compare action,
// and 10^7 appends against std::vector::push_back.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "datatypes/series/block-core.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/collector.h"
#include "runtime/datatype-registry.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "bench/bench-runtime.h"
#include "runtime/startup.h"
#include "runtime/value-stack.h"

namespace {

using namespace qel;

constexpr Cell integer(int32_t value) { return make_cell(Type::integer, 0, static_cast<uint32_t>(value)); }

void start_once() { bench_support::start_runtime_once(); }

// --- sort ---------------------------------------------------------------------------------------

constexpr size_t kSortCount = 1000000;

// Integer cells: random, ordered, reversed, 10 distinct keys, an organ pipe.
std::vector<Cell> make_input(const std::string& shape) {
  std::mt19937 random(42);
  std::vector<Cell> cells(kSortCount);
  for (size_t i = 0; i < kSortCount; ++i) {
    int32_t n = static_cast<int32_t>(i), count = static_cast<int32_t>(kSortCount);
    int32_t key = shape == "random"     ? static_cast<int32_t>(random() >> 1)
                  : shape == "sorted"   ? n
                  : shape == "reverse"  ? count - n
                  : shape == "ten-keys" ? static_cast<int32_t>(random() % 10)
                                        : std::min(n, count - n);
    cells[i] = integer(key);
  }
  return cells;
}

// One block, refilled from the input before each timed sort.
void sort_qel(benchmark::State& state, const std::vector<Cell>& input, bool stable) {
  start_once();
  GcRoot<Cell> block(make_cell(Type::block, 0, new_cell_series(static_cast<int64_t>(input.size()))));
  series_buffer(block->w2)->tail = static_cast<uint32_t>(input.size() * sizeof(Cell));
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(block_cell_at(*block, 0), input.data(), input.size() * sizeof(Cell));
    state.ResumeTiming();
    if (stable) call_action(Act::Sort, std::array{*block}, {{6}});  // /stable
    else call_action(Act::Sort, std::array{*block});
    stack_drop(1);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(input.size()));
}

// The same cells in a vector, ordered by the same compare action.
void sort_std(benchmark::State& state, const std::vector<Cell>& input, bool stable) {
  start_once();
  auto less = [](const Cell& a, const Cell& b) { return dispatch_compare(a, b, kCompareSort) < 0; };
  std::vector<Cell> cells;
  for (auto _ : state) {
    state.PauseTiming();
    cells = input;
    state.ResumeTiming();
    if (stable) std::stable_sort(cells.begin(), cells.end(), less);
    else std::sort(cells.begin(), cells.end(), less);
    benchmark::DoNotOptimize(cells.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(input.size()));
}

// --- find ---------------------------------------------------------------------------------------

constexpr int32_t kFindCount = 1000000;

void find_qel(benchmark::State& state) {
  start_once();
  GcRoot<Cell> block(make_cell(Type::block, 0, new_cell_series(kFindCount)));
  for (int32_t i = 0; i < kFindCount; ++i) block_append_copy(*block, integer(i));
  for (auto _ : state) {
    benchmark::DoNotOptimize(call_action(Act::Find, std::array{*block, integer(kFindCount - 1)}).w1);
    stack_drop(1);
  }
}

void find_loop(benchmark::State& state) {
  start_once();
  std::vector<Cell> cells;
  for (int32_t i = 0; i < kFindCount; ++i) cells.push_back(integer(i));
  const Cell wanted = integer(kFindCount - 1);
  auto compare = lookup_action_for_value<Act::Compare>(wanted);
  for (auto _ : state) {
    size_t found = 0;
    for (size_t i = 0; i < cells.size(); ++i)
      if (compare(cells[i], wanted, kCompareFind) == 0) {
        found = i;
        break;
      }
    benchmark::DoNotOptimize(found);
  }
}

// --- append -------------------------------------------------------------------------------------

constexpr int32_t kAppendCount = 10000000;

// The append action of block! on an empty block, 10^7 times; the block is dropped and collected
// between runs.
void append_qel(benchmark::State& state) {
  start_once();
  auto append = lookup_action_for_value<Act::Append>(make_cell(Type::block));
  GcRoot<Cell> block;
  for (auto _ : state) {
    state.PauseTiming();
    *block = make_cell(Type::unset);
    collect_now();  // the last run's block and its grown-away buffers
    *block = make_cell(Type::block, 0, new_cell_series(1));
    state.ResumeTiming();
    for (int32_t i = 0; i < kAppendCount; ++i) {
      Cell value = integer(i);
      append(*block, value, -1, false, 1, true);
    }
  }
  benchmark::DoNotOptimize(block->w2);
}

void append_vector(benchmark::State& state) {
  for (auto _ : state) {
    std::vector<Cell> cells;
    for (int32_t i = 0; i < kAppendCount; ++i) cells.push_back(integer(i));
    benchmark::DoNotOptimize(cells.data());
  }
}

// Registers, per shape, each sort with its standard peer; then find and append.
int register_cases() {
  for (std::string shape : {"random", "sorted", "reverse", "ten-keys", "organ-pipe"}) {
    auto input = std::make_shared<const std::vector<Cell>>(make_input(shape));
    for (bool stable : {false, true}) {
      std::string name = std::string(stable ? "sort-stable/" : "sort/") + shape;
      benchmark::RegisterBenchmark((name + "/qel").c_str(), [=](benchmark::State& s) { sort_qel(s, *input, stable); })
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((name + (stable ? "/std-stable-sort" : "/std-sort")).c_str(),
                                   [=](benchmark::State& s) { sort_std(s, *input, stable); })
          ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("find-last-of-1e6/qel", find_qel)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("find-last-of-1e6/loop", find_loop)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("append-1e7/qel", append_qel)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("append-1e7/vector-push-back", append_vector)->Unit(benchmark::kMillisecond);
  return 0;
}

const int registered = register_cases();

}  // namespace

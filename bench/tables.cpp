// Hash tables: integer keys put and got in a kind-3 table against absl::flat_hash_map and
// std::unordered_map holding the same 16-byte values.
#include <benchmark/benchmark.h>

#include <absl/container/flat_hash_map.h>

#include <random>
#include <unordered_map>
#include <vector>

#include "runtime/collector.h"
#include "runtime/hash-table.h"
#include "runtime/startup.h"

namespace qel {
namespace {

constexpr size_t kKeys = 100000;

const std::vector<uint32_t>& keys() {
  static const std::vector<uint32_t> values = [] {
    std::mt19937 random(11);
    std::vector<uint32_t> drawn(kKeys);
    for (uint32_t& key : drawn) key = random();
    return drawn;
  }();
  return values;
}

// Puts every key into a new table, then gets every key; the table's garbage is collected
// between rounds, outside the timing.
void integers_qel(benchmark::State& state) {
  restart_memory();
  for (auto _ : state) {
    NodeId table = hashtable_new(4, 0, TableKind::integers, 1);
    for (uint32_t key : keys()) hashtable_put(table, key)->w2 = key;
    uint32_t sum = 0;
    for (uint32_t key : keys()) sum += hashtable_get(table, key)->w2;
    benchmark::DoNotOptimize(sum);
    state.PauseTiming();
    collect_now();
    state.ResumeTiming();
  }
}

template <class Map>
void integers_peer(benchmark::State& state) {
  for (auto _ : state) {
    Map map;
    for (uint32_t key : keys()) map[key].w2 = key;
    uint32_t sum = 0;
    for (uint32_t key : keys()) sum += map.find(key)->second.w2;
    benchmark::DoNotOptimize(sum);
  }
}

const bool registered = [] {
  benchmark::RegisterBenchmark("integer-keys-put-get-100000/qel", integers_qel)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("integer-keys-put-get-100000/absl", integers_peer<absl::flat_hash_map<uint32_t, Cell>>)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("integer-keys-put-get-100000/unordered_map",
                               integers_peer<std::unordered_map<uint32_t, Cell>>)
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace qel

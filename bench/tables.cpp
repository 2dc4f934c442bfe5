// Hash tables: integer keys put and got in a kind-3 table against absl::flat_hash_map and
// std::unordered_map holding the same 16-byte values; finding string keys in a hash! of a
// million strings against absl::flat_hash_map<std::string, int>, hashing included.
#include <benchmark/benchmark.h>

#include <absl/container/flat_hash_map.h>

#include <algorithm>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "datatypes/series/string-compare.h"
#include "runtime/action-lookup.h"
#include "runtime/collector.h"
#include "runtime/datatype-registry.h"
#include "runtime/hash-index.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
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

// The peer's map is made in the timing and freed outside it, as the table's garbage is.
template <class Map>
void integers_peer(benchmark::State& state) {
  for (auto _ : state) {
    auto* map = new Map();
    for (uint32_t key : keys()) (*map)[key].w2 = key;
    uint32_t sum = 0;
    for (uint32_t key : keys()) sum += map->find(key)->second.w2;
    benchmark::DoNotOptimize(sum);
    state.PauseTiming();
    delete map;
    state.ResumeTiming();
  }
}

constexpr size_t kStrings = 1000000;

std::string key_text(size_t i) { return "key-" + std::to_string(i * 2654435761u % 1000003); }

// string! compare for the run: the system's text comparison, on string! operands only.
int32_t text_compare(const Cell& a, const Cell& b, int32_t code) {
  if (cell_type(b) != Type::string) return kNotComparable;
  return string_compare_core(a, b, code, false);
}

Cell string_of(const std::string& text) {
  NodeId node = new_string_series(static_cast<int64_t>(text.size()), 1);
  series_buffer_append_bytes(node, text.data(), static_cast<int64_t>(text.size()));
  return make_cell(Type::string, 0, node);
}

// Finds 1,000 keys (all of them when the table holds fewer) in a hash! of `strings` strings.
void find_strings_qel(benchmark::State& state, size_t strings) {
  const size_t wanted = std::min<size_t>(strings, 1000);
  restart_memory();
  datatype_tables_init();
  register_datatype(Type::string, Type::none_id, "string!", ActionRow().set<Act::Compare>(text_compare));
  NodeId block = new_cell_series(static_cast<int64_t>(strings));
  root_slot_append(make_cell(Type::block, 0, block));
  for (size_t i = 0; i < strings; ++i) *series_append_fresh_slot(block) = string_of(key_text(i));
  NodeId table = hashtable_new(static_cast<int64_t>(strings), block, TableKind::hash, 1);
  root_slot_append(make_cell(Type::hash, 0, block, table));
  std::vector<Cell> keys;
  NodeId held = new_cell_series(static_cast<int64_t>(wanted));
  root_slot_append(make_cell(Type::block, 0, held));
  for (size_t i = 0; i < wanted; ++i) *series_append_fresh_slot(held) = keys.emplace_back(string_of(key_text(i * 997 % strings)));
  for (auto _ : state)
    for (const Cell& key : keys) benchmark::DoNotOptimize(hashtable_find_cell(table, key, 0, 1, kCompareEqual, false, false));
  datatype_tables_init();
}

void find_strings_absl(benchmark::State& state, size_t strings) {
  absl::flat_hash_map<std::string, int> map;
  for (size_t i = 0; i < strings; ++i) map.emplace(key_text(i), static_cast<int>(i));
  std::vector<std::string> keys;
  for (size_t i = 0; i < std::min<size_t>(strings, 1000); ++i) keys.push_back(key_text(i * 997 % strings));
  for (auto _ : state)
    for (const std::string& key : keys) benchmark::DoNotOptimize(map.find(key)->second);
}

const bool registered = [] {
  for (size_t strings : {kStrings, size_t{100}}) {
    const std::string name = "hash-find-string-of-" + std::to_string(strings);
    benchmark::RegisterBenchmark((name + "/qel").c_str(), find_strings_qel, strings);
    benchmark::RegisterBenchmark((name + "/absl").c_str(), find_strings_absl, strings);
  }
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

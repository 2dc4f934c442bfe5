// map! and hash!: a million integer keys put and got through map!'s action functions as
// dispatch finds them (put, select, remove/key) against std::unordered_map doing the same; the same with short string keys; and
// head inserts into a hash! just below and just above the cell count where the index stops
// being synced and is rebuilt, against front inserts into a std::vector.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

#include "bench-runtime.h"
#include "datatypes/series/map.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/collector.h"
#include "runtime/gc-root.h"
#include "runtime/root-block.h"
#include "runtime/series.h"

namespace qel {
namespace {

constexpr size_t kKeys = 1000000;

Cell integer_cell(uint32_t value) { return make_cell(Type::integer, 0, value); }

// The keys put (drawn without repeats) and keys never put, in a random order.
struct Keys {
  std::vector<uint32_t> present, absent;
};
const Keys& integer_keys() {
  static const Keys keys = [] {
    std::mt19937 random(7);
    Keys drawn;
    for (uint32_t i = 0; i < 2 * kKeys; ++i) (i % 2 ? drawn.absent : drawn.present).push_back(i * 2654435761u);
    std::shuffle(drawn.present.begin(), drawn.present.end(), random);
    return drawn;
  }();
  return keys;
}

// The operations measured, each over every key.
enum class Step { put_new, get_hit, get_miss, overwrite, remove_put };

// The map's own action functions, taken from the action table as dispatch finds them.
void put(const Cell& map, const Cell& key, const Cell& value) {
  Cell m = map, k = key, v = value;
  lookup_action_for_value<Act::Put>(m)(m, k, v, false);
}
Cell select(const Cell& map, const Cell& key) {
  Cell m = map, k = key;
  return *lookup_action_for_value<Act::Select>(m)(m, k, nullptr, false, false, false, false, nullptr, nullptr, false,
                                                  false);
}
void remove_key(const Cell& map, const Cell& key) {
  Cell m = map, k = key;
  lookup_action_for_value<Act::Remove>(m)(m, nullptr, &k);
}

// A map of every present key (value: the key), rooted.
Cell filled_map(const std::vector<Cell>& keys) {
  Cell map;
  map_make_at(map, nullptr, 0);
  root_slot_append(map);
  for (const Cell& key : keys) put(map, key, key);
  return map;
}

// The step over every key of a map made with the keys (put_new: of an empty one, made in the
// timing as the peer's is).
void run_qel(benchmark::State& state, Step step, const std::vector<Cell>& present, const std::vector<Cell>& absent) {
  bench_support::start_runtime_once();
  GcRoot<Cell> kept(step == Step::put_new ? Cell{} : filled_map(present));
  const Cell& map = kept.get();
  for (auto _ : state) {
    uint32_t seen = 0;
    switch (step) {
      case Step::put_new:
        map_make_at(kept.get(), nullptr, 0);
        for (const Cell& key : present) put(map, key, key);
        break;
      case Step::get_hit: for (const Cell& key : present) seen += select(map, key).w2; break;
      case Step::get_miss: for (const Cell& key : absent) seen += cell_type(select(map, key)) == Type::none; break;
      case Step::overwrite: for (const Cell& key : present) put(map, key, absent.front()); break;
      case Step::remove_put:
        for (const Cell& key : present) {
          remove_key(map, key);
          put(map, key, key);
        }
        break;
    }
    benchmark::DoNotOptimize(seen);
    if (step == Step::put_new) {  // the last round's map is garbage, collected outside the timing
      state.PauseTiming();
      kept.get() = Cell{};
      collect_now();
      state.ResumeTiming();
    }
  }
}

template <class Key>
void run_peer(benchmark::State& state, Step step, const std::vector<Key>& present, const std::vector<Key>& absent) {
  std::unordered_map<Key, Cell> map;
  if (step != Step::put_new)
    for (const Key& key : present) map[key] = Cell{};
  for (auto _ : state) {
    uint32_t seen = 0;
    switch (step) {
      case Step::put_new:
        map = {};
        for (const Key& key : present) map[key] = Cell{};
        break;
      case Step::get_hit: for (const Key& key : present) seen += map.find(key)->second.w2; break;
      case Step::get_miss: for (const Key& key : absent) seen += map.find(key) == map.end(); break;
      case Step::overwrite: for (const Key& key : present) map[key] = Cell{}; break;
      case Step::remove_put:
        for (const Key& key : present) {
          map.erase(key);
          map[key] = Cell{};
        }
        break;
    }
    benchmark::DoNotOptimize(seen);
  }
}

// --- String keys ----------------------------------------------------------------------------------

std::string key_text(uint32_t key) { return "k" + std::to_string(key % 100000000); }

Cell string_of(const std::string& text) {
  NodeId node = new_string_series(static_cast<int64_t>(text.size()), 1);
  series_buffer_append_bytes(node, text.data(), static_cast<int64_t>(text.size()));
  return make_cell(Type::string, 0, node);
}

// The keys as cells (strings held by a rooted block) and as the peer's strings.
struct StringKeys {
  std::vector<Cell> present, absent;
  std::vector<std::string> present_text, absent_text;
};
const StringKeys& string_keys() {
  static const StringKeys keys = [] {
    bench_support::start_runtime_once();
    StringKeys made;
    NodeId held = new_cell_series(static_cast<int64_t>(2 * kKeys));
    root_slot_append(make_cell(Type::block, 0, held));
    for (uint32_t key : integer_keys().present) made.present_text.push_back(key_text(key));
    for (uint32_t key : integer_keys().absent) made.absent_text.push_back(key_text(key) + "x");
    for (const std::string& text : made.present_text)
      *series_append_fresh_slot(held) = made.present.emplace_back(string_of(text));
    for (const std::string& text : made.absent_text)
      *series_append_fresh_slot(held) = made.absent.emplace_back(string_of(text));
    return made;
  }();
  return keys;
}

const std::vector<Cell>& integer_cells(bool present) {
  static const std::array<std::vector<Cell>, 2> cells = [] {
    std::array<std::vector<Cell>, 2> made;
    for (uint32_t key : integer_keys().absent) made[0].push_back(integer_cell(key));
    for (uint32_t key : integer_keys().present) made[1].push_back(integer_cell(key));
    return made;
  }();
  return cells[present];
}

// --- hash! head inserts ---------------------------------------------------------------------------

// Inserts a value at the head of a hash! of `cells` cells (its index synced up to 30,000 cells
// moved, rebuilt above), and takes it out again outside the timing.
void hash_head_inserts_qel(benchmark::State& state, int64_t cells) {
  bench_support::start_runtime_once();
  const Cell block = make_cell(Type::block, 0, new_cell_series(cells + 1));
  for (int64_t i = 0; i < cells; ++i) *series_append_fresh_slot(block.w2) = integer_cell(static_cast<uint32_t>(i));
  Cell hash = call_action(Act::Make, std::array{make_cell(Type::datatype, static_cast<uint32_t>(Type::hash)), block});
  stack_drop(1);
  root_slot_append(hash);
  for (auto _ : state) {
    call_action(Act::Insert, std::array{hash, integer_cell(7)});
    stack_drop(1);
    state.PauseTiming();
    call_action(Act::Remove, std::array{hash});
    stack_drop(1);
    state.ResumeTiming();
  }
}

void hash_head_inserts_vector(benchmark::State& state, int64_t cells) {
  std::vector<Cell> values(static_cast<size_t>(cells));
  for (auto _ : state) {
    values.insert(values.begin(), integer_cell(7));
    state.PauseTiming();
    values.erase(values.begin());
    state.ResumeTiming();
  }
}

const bool registered = [] {
  const std::pair<Step, const char*> steps[] = {{Step::put_new, "new"},     {Step::get_hit, "hit"},
                                                 {Step::get_miss, "miss"},   {Step::overwrite, "overwrite"},
                                                 {Step::remove_put, "remove-put"}};
  for (auto [step, name] : steps) {
    const std::string integers = std::string("map-integer-keys-") + name;
    benchmark::RegisterBenchmark((integers + "/qel").c_str(), [step](benchmark::State& state) {
      run_qel(state, step, integer_cells(true), integer_cells(false));
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((integers + "/unordered_map").c_str(), [step](benchmark::State& state) {
      run_peer(state, step, integer_keys().present, integer_keys().absent);
    })->Unit(benchmark::kMillisecond);
    const std::string strings = std::string("map-string-keys-") + name;
    benchmark::RegisterBenchmark((strings + "/qel").c_str(), [step](benchmark::State& state) {
      run_qel(state, step, string_keys().present, string_keys().absent);
    })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((strings + "/unordered_map").c_str(), [step](benchmark::State& state) {
      run_peer(state, step, string_keys().present_text, string_keys().absent_text);
    })->Unit(benchmark::kMillisecond);
  }
  for (int64_t cells : {29999, 30001}) {
    const std::string name = "hash-head-insert-at-" + std::to_string(cells);
    benchmark::RegisterBenchmark((name + "/qel").c_str(), hash_head_inserts_qel, cells);
    benchmark::RegisterBenchmark((name + "/vector").c_str(), hash_head_inserts_vector, cells);
  }
  return true;
}();

}  // namespace
}  // namespace qel

// Symbols and words: interning short names (found and new) against std::unordered_map, and
// reading and setting resolved words against indexing a std::vector<Cell>.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

#include "runtime/contexts.h"
#include "runtime/startup.h"
#include "runtime/symbols.h"

namespace qel {
namespace {

constexpr size_t kNames = 10000;

const std::vector<std::string>& names() {
  static const std::vector<std::string> list = [] {
    std::vector<std::string> made;
    for (size_t i = 0; i < kNames; ++i) made.push_back((i % 2 ? "word-" : "Field-") + std::to_string(i * 7919 % 100003));
    return made;
  }();
  return list;
}

void intern_found_qel(benchmark::State& state) {
  restart_memory();
  for (const std::string& name : names()) symbol_intern_bytes(name);
  for (auto _ : state)
    for (const std::string& name : names()) benchmark::DoNotOptimize(symbol_intern_bytes(name));
}

void intern_found_peer(benchmark::State& state) {
  std::unordered_map<std::string, int> map;
  for (const std::string& name : names()) map.emplace(name, static_cast<int>(map.size()) + 1);
  for (auto _ : state)
    for (const std::string& name : names()) benchmark::DoNotOptimize(map.find(name)->second);
}

// New names into a fresh table sized as at start-up (4,000 expected), made outside the timing.
void intern_new_qel(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    restart_memory();
    state.ResumeTiming();
    for (const std::string& name : names()) benchmark::DoNotOptimize(symbol_intern_bytes(name));
  }
}

void intern_new_peer(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto* map = new std::unordered_map<std::string, int>();
    map->reserve(kSymbolBlockCells);
    state.ResumeTiming();
    for (const std::string& name : names()) benchmark::DoNotOptimize(map->emplace(name, static_cast<int>(map->size())));
    state.PauseTiming();
    delete map;
    state.ResumeTiming();
  }
}

constexpr size_t kWords = 1000;

// kWords global words with integer values, each resolved.
std::vector<Cell> global_words() {
  restart_memory();
  std::vector<Cell> words;
  for (size_t i = 0; i < kWords; ++i) {
    Cell word = word_from_c_string(("var-" + std::to_string(i)).c_str());
    word_set(word, make_cell(Type::integer, 0, static_cast<uint32_t>(i)));
    words.push_back(word);
  }
  return words;
}

void word_read_qel(benchmark::State& state) {
  std::vector<Cell> words = global_words();
  for (auto _ : state) {
    uint32_t sum = 0;
    for (const Cell& word : words) sum += word_value_cell(word)->w2;
    benchmark::DoNotOptimize(sum);
  }
}

void word_write_qel(benchmark::State& state) {
  std::vector<Cell> words = global_words();
  Cell value = make_cell(Type::integer, 0, 7);
  for (auto _ : state) {
    for (Cell& word : words) word_set(word, value);
    benchmark::ClobberMemory();
  }
}

// The peer: a vector of cells indexed by the words' slots.
struct Slots {
  std::vector<Cell> values;
  std::vector<uint32_t> indexes;
};
Slots vector_slots() {
  Slots slots;
  for (size_t i = 0; i < kWords; ++i) {
    slots.values.push_back(make_cell(Type::integer, 0, static_cast<uint32_t>(i)));
    slots.indexes.push_back(static_cast<uint32_t>(i));
  }
  return slots;
}

void word_read_vector(benchmark::State& state) {
  Slots slots = vector_slots();
  for (auto _ : state) {
    uint32_t sum = 0;
    for (uint32_t index : slots.indexes) sum += slots.values[index].w2;
    benchmark::DoNotOptimize(sum);
  }
}

void word_write_vector(benchmark::State& state) {
  Slots slots = vector_slots();
  Cell value = make_cell(Type::integer, 0, 7);
  for (auto _ : state) {
    for (uint32_t index : slots.indexes) slots.values[index] = value;
    benchmark::ClobberMemory();
  }
}

const bool registered = [] {
  benchmark::RegisterBenchmark("intern-short-found/qel", intern_found_qel);
  benchmark::RegisterBenchmark("intern-short-found/unordered_map", intern_found_peer);
  benchmark::RegisterBenchmark("intern-short-new/qel", intern_new_qel);
  benchmark::RegisterBenchmark("intern-short-new/unordered_map", intern_new_peer);
  benchmark::RegisterBenchmark("word-read-resolved/qel", word_read_qel);
  benchmark::RegisterBenchmark("word-read-resolved/vector", word_read_vector);
  benchmark::RegisterBenchmark("word-write-resolved/qel", word_write_qel);
  benchmark::RegisterBenchmark("word-write-resolved/vector", word_write_vector);
  return true;
}();

}  // namespace
}  // namespace qel

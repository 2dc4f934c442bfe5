// Text layer benchmarks, each against a peer in the same run: loading UTF-8 into text units
// (a plain automaton loop, and Python's bytes.decode alongside), encoding them back, finding
// text (glibc's memmem; every match of a short needle with case folded against the same search
// keeping case), sorting a string (std::sort by the same fold key) and upper-casing (a 256-entry
// table loop).
#include <Python.h>
#include <benchmark/benchmark.h>
#include <string.h>

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datatypes/series/case-map.h"
#include "datatypes/series/change-case.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/text-search.h"
#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-encode.h"
#include "datatypes/series/utf8-load.h"
#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/datatype-registry.h"
#include "runtime/gc-root.h"
#include "bench/bench-runtime.h"
#include "runtime/startup.h"
#include "runtime/utf8.h"

namespace qel {
namespace {

constexpr size_t kTextBytes = size_t{100} << 20;

enum Kind { ascii, latin1_heavy, cjk, emoji };

// Code points that a text of each kind is drawn from.
std::vector<uint32_t> alphabet(Kind kind) {
  switch (kind) {
    case ascii: return {'t', 'h', 'e', ' ', 'q', 'u', 'i', 'c', 'k', ',', 'b', 'r', 'o', 'w', 'n', '\n'};
    case latin1_heavy: return {'d', 0xE9, 'j', 0xE0, ' ', 'v', 0xFC, 0xDF, 'e', 0xF1, 'o', 0xE7, ' ', 'a', 0xF6, '\n'};
    case cjk: return {0x4E00, 0x4E8C, 0x65E5, 0x672C, 0x8A9E, 0x6587, 0x5B57, 0x3002, 0x3042, 0x30AB, 0xAC00, 0xD55C};
    case emoji: return {0x1F600, 0x1F602, 0x1F44D, 0x1F680, 0x1F389, 0x1F34E, 0x1F431, 0x1F30D};
  }
  return {};
}

// About kTextBytes of UTF-8 of a kind, the same on every run.
const std::string& utf8_text(Kind kind) {
  static std::map<Kind, std::string> texts;
  std::string& text = texts[kind];
  if (!text.empty()) return text;
  std::vector<uint32_t> letters = alphabet(kind);
  uint32_t state = 12345;
  uint8_t bytes[4];
  while (text.size() < kTextBytes) {
    state = state * 1103515245 + 12345;
    uint32_t code_point = letters[(state >> 16) % letters.size()];
    text.append(reinterpret_cast<const char*>(bytes), utf8_encode(code_point, bytes));
  }
  return text;
}

std::span<const uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The text layer: scan, then load into units of the narrowest unit.
void load_qel(benchmark::State& state, Kind kind) {
  std::span<const uint8_t> bytes = bytes_of(utf8_text(kind));
  for (auto _ : state) {
    Utf8Scan scan = utf8_scan(bytes, false);
    std::unique_ptr<uint8_t[]> units(new uint8_t[scan.code_points * scan.unit]);  // no fill, as a series buffer
    utf8_load_units(bytes, scan, false, units.get(), scan.unit);
    benchmark::DoNotOptimize(units.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// The reference: one bounded pass of the automaton into 32-bit code points.
void load_reference(benchmark::State& state, Kind kind) {
  std::span<const uint8_t> bytes = bytes_of(utf8_text(kind));
  for (auto _ : state) {
    std::u32string out;
    out.reserve(bytes.size());
    const uint8_t* p = bytes.data();
    const uint8_t* end = p + bytes.size();
    while (p < end) {
      uint32_t byte = *p++;
      uint32_t type = kUtf8Dfa[byte];
      uint32_t code_point = (0xFFu >> type) & byte;
      uint32_t dfa = kUtf8Dfa[256 + type];
      while (dfa > kUtf8Reject && p < end) {
        byte = *p++;
        code_point = (byte & 0x3F) | code_point << 6;
        dfa = kUtf8Dfa[256 + dfa + kUtf8Dfa[byte]];
      }
      if (dfa != kUtf8Accept) break;
      out.push_back(static_cast<char32_t>(code_point));
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

// Python's bytes.decode of the same bytes (the decoder it runs, without the call's lookup).
void load_python(benchmark::State& state, Kind kind) {
  static bool started = false;
  if (!started) Py_Initialize();
  started = true;
  const std::string& text = utf8_text(kind);
  for (auto _ : state) {
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
    benchmark::DoNotOptimize(decoded);
    Py_XDECREF(decoded);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The loaded units of a kind, for the encoding and case cases.
struct Loaded {
  std::vector<uint8_t> units;
  size_t length;
  unsigned unit;
};

Loaded loaded(Kind kind) {
  std::span<const uint8_t> bytes = bytes_of(utf8_text(kind));
  Utf8Scan scan = utf8_scan(bytes, false);
  Loaded text{std::vector<uint8_t>(scan.code_points * scan.unit), scan.code_points, scan.unit};
  utf8_load_units(bytes, scan, false, text.units.data(), scan.unit);
  return text;
}

void encode_qel(benchmark::State& state, Kind kind) {
  Loaded text = loaded(kind);
  for (auto _ : state) {
    std::string out = utf8_from_units({text.units.data(), text.length, text.unit}, false);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8_text(kind).size()));
}

// The mirror of the reference load: each unit through the shared encoder into a sized string.
void encode_reference(benchmark::State& state, Kind kind) {
  Loaded text = loaded(kind);
  for (auto _ : state) {
    std::string out(text.length * 4, '\0');
    auto* p = reinterpret_cast<uint8_t*>(out.data());
    for (size_t i = 0; i < text.length; ++i) p += utf8_encode(code_point_read(&text.units[i * text.unit], text.unit), p);
    out.resize(static_cast<size_t>(p - reinterpret_cast<uint8_t*>(out.data())));
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * utf8_text(kind).size()));
}

void uppercase_qel(benchmark::State& state) {
  Loaded text = loaded(ascii);
  for (auto _ : state) {
    benchmark::DoNotOptimize(case_map_units_in_place(text.units.data(), text.length, 1, Case::upper));
    case_map_units_in_place(text.units.data(), text.length, 1, Case::lower);
  }
  state.SetBytesProcessed(static_cast<int64_t>(2 * state.iterations() * text.length));
}

// A 256-entry table per direction, applied byte by byte.
void uppercase_reference(benchmark::State& state) {
  Loaded text = loaded(ascii);
  std::array<uint8_t, 256> upper{}, lower{};
  for (unsigned c = 0; c < 256; ++c) {
    upper[c] = static_cast<uint8_t>(c >= 'a' && c <= 'z' ? c - 32 : c);
    lower[c] = static_cast<uint8_t>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  }
  for (auto _ : state) {
    for (uint8_t& c : text.units) c = upper[c];
    benchmark::DoNotOptimize(text.units.data());
    for (uint8_t& c : text.units) c = lower[c];
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(2 * state.iterations() * text.length));
}

// --- The runtime, for the cases that go through string values ------------------------------------

void start_once() { bench_support::start_runtime_once(); }

// A string value holding the bytes as 1-byte units.
Cell string_of(const std::string& bytes) {
  NodeId node = new_text_series(static_cast<int64_t>(bytes.size()), 1);
  SeriesBuffer* buffer = series_buffer(node);
  std::memcpy(buffer->data(), bytes.data(), bytes.size());
  buffer->tail = static_cast<uint32_t>(bytes.size());
  return string_value(node);
}

// --- find ---------------------------------------------------------------------------------------

// 100 MB of ASCII text with the needle at its very end; or, adversarial, 100 MB of "a" and a
// needle of 63 "a" and a "b" (absent).
struct FindCase {
  std::string text;
  std::string needle;
};

FindCase find_case(size_t needle_length) {
  if (needle_length == 0) return {std::string(kTextBytes, 'a'), std::string(63, 'a') + "b"};
  std::string text = utf8_text(ascii);
  std::string needle;
  for (size_t i = 0; i < needle_length; ++i) needle += static_cast<char>('A' + i % 26);  // no such letters in the text
  text.replace(text.size() - needle.size(), needle.size(), needle);
  return {text, needle};
}

void find_qel(benchmark::State& state, size_t needle_length, bool fold) {
  FindCase c = find_case(needle_length);
  std::string needle = c.needle;
  if (fold) std::transform(needle.begin(), needle.end(), needle.begin(), [](char ch) { return ch >= 'A' && ch <= 'Z' ? ch + 32 : ch; });
  UnitText text{reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size(), 1};
  UnitText wanted{reinterpret_cast<const uint8_t*>(needle.data()), needle.size(), 1};
  for (auto _ : state) benchmark::DoNotOptimize(text_find_forward(text, wanted, fold));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.text.size()));
}

void find_memmem(benchmark::State& state, size_t needle_length) {
  FindCase c = find_case(needle_length);
  for (auto _ : state) benchmark::DoNotOptimize(memmem(c.text.data(), c.text.size(), c.needle.data(), c.needle.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * c.text.size()));
}

// Every match of a short needle in a text of many, one search from the end of the last, as a
// replace of all matches does: a search's cost must follow the bytes up to its match, with case
// folded as without.
void find_each_qel(benchmark::State& state, bool fold) {
  std::string text;
  while (text.size() < (size_t{1} << 20)) text += "abc Dog xyz ";
  const std::string needle = fold ? "dog" : "Dog";
  UnitText wanted{reinterpret_cast<const uint8_t*>(needle.data()), needle.size(), 1};
  for (auto _ : state) {
    size_t from = 0, found = 0;
    for (int64_t at; (at = text_find_forward({reinterpret_cast<const uint8_t*>(text.data()) + from, text.size() - from, 1},
                                             wanted, fold)) >= 0;
         ++found)
      from += static_cast<size_t>(at) + needle.size();
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// --- sort -----------------------------------------------------------------------------------------

constexpr size_t kSortUnits = 10000000;

// 10^7 letters, digits and signs of both cases.
const std::string& sort_input() {
  static std::string text;
  if (!text.empty()) return text;
  uint32_t state = 777;
  text.resize(kSortUnits);
  for (char& c : text) {
    state = state * 1103515245 + 12345;
    c = static_cast<char>(0x21 + (state >> 16) % 0x5E);
  }
  return text;
}

void sort_qel(benchmark::State& state) {
  start_once();
  GcRoot<Cell> text(string_of(sort_input()));
  for (auto _ : state) {
    state.PauseTiming();
    std::memcpy(series_buffer(text->w2)->head_address(), sort_input().data(), kSortUnits);
    state.ResumeTiming();
    call_action(Act::Sort, std::array{*text});
    stack_drop(1);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSortUnits));
}

// std::sort of the same bytes by the same key: each byte's upper case.
void sort_std(benchmark::State& state) {
  std::array<uint32_t, 256> keys{};
  for (uint32_t b = 0; b < 256; ++b) keys[b] = unicode_case_map(b, Case::upper);
  std::string bytes;
  for (auto _ : state) {
    state.PauseTiming();
    bytes = sort_input();
    state.ResumeTiming();
    std::sort(bytes.begin(), bytes.end(), [&](char a, char b) { return keys[static_cast<uint8_t>(a)] < keys[static_cast<uint8_t>(b)]; });
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kSortUnits));
}

// uppercase then lowercase of a 100 MB ASCII string value, against the table loop above.
void uppercase_value_qel(benchmark::State& state) {
  start_once();
  Loaded source = loaded(ascii);
  GcRoot<Cell> text(string_of(std::string(source.units.begin(), source.units.end())));
  for (auto _ : state) {
    change_case_value(*text, nullptr, Case::upper);
    change_case_value(*text, nullptr, Case::lower);
  }
  state.SetBytesProcessed(static_cast<int64_t>(2 * state.iterations() * source.length));
}

const char* const kKindNames[] = {"ascii", "latin1-heavy", "cjk", "emoji"};

// Registers every case with its peers.
int register_cases() {
  for (Kind kind : {ascii, latin1_heavy, cjk, emoji}) {
    std::string name = kKindNames[kind];
    benchmark::RegisterBenchmark(("string-load-utf8/" + name + "/qel").c_str(), load_qel, kind)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-load-utf8/" + name + "/dfa-reference").c_str(), load_reference, kind)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-load-utf8/" + name + "/python-decode").c_str(), load_python, kind)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-to-utf8/" + name + "/qel").c_str(), encode_qel, kind)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-to-utf8/" + name + "/mirror-reference").c_str(), encode_reference, kind)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("uppercase-ascii/qel", uppercase_qel)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("uppercase-ascii/table-reference", uppercase_reference)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("uppercase-value/qel", uppercase_value_qel)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("uppercase-value/table-reference", uppercase_reference)->Unit(benchmark::kMillisecond);
  for (size_t length : {1, 16, 64, 0}) {
    std::string name = length == 0 ? "adversarial" : std::to_string(length);
    for (bool fold : {false, true}) {
      std::string which = "find-" + std::string(fold ? "nocase-" : "case-") + name;
      benchmark::RegisterBenchmark((which + "/qel").c_str(), find_qel, length, fold)->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark((which + "/memmem").c_str(), find_memmem, length)->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RegisterBenchmark("find-each-nocase/qel", find_each_qel, true)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("find-each-nocase/case", find_each_qel, false)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sort-string/qel", sort_qel)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sort-string/std-sort", sort_std)->Unit(benchmark::kMillisecond);
  return 0;
}

const int registered = register_cases();

}  // namespace
}  // namespace qel

// Text layer benchmarks: loading UTF-8 into text units, encoding them back, and upper-casing,
// each against a plain reference loop in the same run.
#include <benchmark/benchmark.h>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "datatypes/series/case-map.h"
#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-encode.h"
#include "datatypes/series/utf8-load.h"
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

const char* const kKindNames[] = {"ascii", "latin1-heavy", "cjk", "emoji"};

// Registers every case with its peers.
int register_cases() {
  for (Kind kind : {ascii, latin1_heavy, cjk, emoji}) {
    std::string name = kKindNames[kind];
    benchmark::RegisterBenchmark(("string-load-utf8/" + name + "/qel").c_str(), load_qel, kind)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-load-utf8/" + name + "/dfa-reference").c_str(), load_reference, kind)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-to-utf8/" + name + "/qel").c_str(), encode_qel, kind)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("string-to-utf8/" + name + "/mirror-reference").c_str(), encode_reference, kind)
        ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("uppercase-ascii/qel", uppercase_qel)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("uppercase-ascii/table-reference", uppercase_reference)->Unit(benchmark::kMillisecond);
  return 0;
}

const int registered = register_cases();

}  // namespace
}  // namespace qel

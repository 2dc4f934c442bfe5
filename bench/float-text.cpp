// Float text conversion against the bare standard conversions it wraps: shortest digits (mold),
// the 16-digit general form, float! form (the general form with its pretty adjustments) and
// reading, over 10^6 random finite doubles and literals.
#include <benchmark/benchmark.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/float-text.h"

namespace {

constexpr size_t kCount = 1000000;

// 10^6 finite doubles of random bit patterns: every exponent, both signs.
const std::vector<double>& random_doubles() {
  static const std::vector<double> values = [] {
    std::mt19937_64 bits(1);
    std::vector<double> out;
    while (out.size() < kCount) {
      double value = std::bit_cast<double>(bits());
      if (std::isfinite(value)) out.push_back(value);
    }
    return out;
  }();
  return values;
}

// Texts laid end to end, with their bounds.
struct Texts {
  std::string chars;
  std::vector<size_t> starts;  // kCount + 1 bounds
  std::string_view at(size_t i) const { return {chars.data() + starts[i], starts[i + 1] - starts[i]}; }
};

// 10^6 literals as scripts hold them: short decimals ("3.14", "0.5", "250"), small exponents
// ("1e-7", "2.5e10").
const Texts& short_literals() {
  static const Texts texts = [] {
    std::mt19937_64 bits(2);
    Texts out;
    auto pick = [&](int n) { return static_cast<int>(bits() % static_cast<uint64_t>(n)); };
    for (size_t i = 0; i < kCount; ++i) {
      out.starts.push_back(out.chars.size());
      std::string text = std::to_string(pick(1000));
      if (pick(2) == 0) text += "." + std::to_string(pick(100));
      if (pick(3) == 0) text += "e" + std::to_string(pick(21) - 10);
      out.chars += text;
    }
    out.starts.push_back(out.chars.size());
    return out;
  }();
  return texts;
}

// 10^6 texts of 17 significant digits with exponents ("-1.2345678901234567e-123").
const Texts& long_literals() {
  static const Texts texts = [] {
    Texts out;
    char buffer[40];
    for (double value : random_doubles()) {
      out.starts.push_back(out.chars.size());
      auto end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 16).ptr;
      out.chars.append(buffer, end);
    }
    out.starts.push_back(out.chars.size());
    return out;
  }();
  return texts;
}

// Runs convert over the random doubles, one a step.
template <typename Convert>
void over_doubles(benchmark::State& state, Convert convert) {
  const auto& values = random_doubles();
  size_t i = 0;
  for (auto _ : state) {
    convert(values[i]);
    if (++i == kCount) i = 0;
  }
}

// Runs read over the texts, one a step.
template <typename Read>
void over_texts(benchmark::State& state, const Texts& texts, Read read) {
  size_t i = 0;
  for (auto _ : state) {
    read(texts.at(i));
    if (++i == kCount) i = 0;
  }
}

void shortest_qel(benchmark::State& state) {
  qel::FloatTextBuffer buffer;
  over_doubles(state, [&](double value) { benchmark::DoNotOptimize(qel::float_format_digits(value, 0, true, buffer)); });
}

void shortest_to_chars(benchmark::State& state) {
  char buffer[48];
  over_doubles(state, [&](double value) {
    benchmark::DoNotOptimize(std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
    benchmark::ClobberMemory();
  });
}

void general_qel(benchmark::State& state) {
  qel::FloatTextBuffer buffer;
  over_doubles(state, [&](double value) { benchmark::DoNotOptimize(qel::float_format_general(value, 16, buffer)); });
}

void general_to_chars(benchmark::State& state) {
  char buffer[48];
  over_doubles(state, [&](double value) {
    benchmark::DoNotOptimize(std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 16).ptr);
    benchmark::ClobberMemory();
  });
}

void form_qel(benchmark::State& state) {
  qel::FloatTextBuffer buffer;
  over_doubles(state, [&](double value) {
    benchmark::DoNotOptimize(qel::float_to_text(value, qel::FloatTextMode::float_form, buffer));
  });
}

void read_qel(benchmark::State& state, const Texts& (*texts)()) {
  size_t unconsumed;
  over_texts(state, texts(), [&](std::string_view text) {
    benchmark::DoNotOptimize(qel::decimal_text_to_double(text, 0, unconsumed));
  });
}

void read_from_chars(benchmark::State& state, const Texts& (*texts)()) {
  double value;
  over_texts(state, texts(), [&](std::string_view text) {
    benchmark::DoNotOptimize(std::from_chars(text.data(), text.data() + text.size(), value).ptr);
    benchmark::DoNotOptimize(value);
  });
}

BENCHMARK(shortest_qel)->Name("shortest digits, random doubles/qel");
BENCHMARK(shortest_to_chars)->Name("shortest digits, random doubles/to_chars");
BENCHMARK(general_qel)->Name("general 16 digits, random doubles/qel");
BENCHMARK(general_to_chars)->Name("general 16 digits, random doubles/to_chars");
BENCHMARK(form_qel)->Name("float form, random doubles/qel");
BENCHMARK(general_to_chars)->Name("float form, random doubles/to_chars general 16");
BENCHMARK_CAPTURE(read_qel, short, short_literals)->Name("read short literals/qel");
BENCHMARK_CAPTURE(read_from_chars, short, short_literals)->Name("read short literals/from_chars");
BENCHMARK_CAPTURE(read_qel, long, long_literals)->Name("read 17-digit texts/qel");
BENCHMARK_CAPTURE(read_from_chars, long, long_literals)->Name("read 17-digit texts/from_chars");

}  // namespace

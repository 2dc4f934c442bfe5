// The number scanners of make and to, and the float check they share with the lexer.
#include "loader/number-scanners.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "loader/float-check.h"

namespace qel {
namespace {

// The text as units of `unit` bytes (code points given directly).
struct Units {
  std::vector<uint8_t> bytes;
  size_t length = 0;
  unsigned unit = 1;
  UnitText text() const { return {bytes.data(), length, unit}; }
};

// The units a text can be held in: those that hold its widest code point.
std::vector<unsigned> units_holding(const std::u32string& text) {
  std::vector<unsigned> units;
  for (unsigned unit : {1u, 2u, 4u})
    if (std::all_of(text.begin(), text.end(), [&](char32_t c) { return unit_for_code_point(c) <= unit; }))
      units.push_back(unit);
  return units;
}

Units units_of(const std::u32string& code_points, unsigned unit) {
  Units units{std::vector<uint8_t>(code_points.size() * unit + 4), code_points.size(), unit};
  for (size_t i = 0; i < code_points.size(); ++i) code_point_write(units.bytes.data() + i * unit, unit, code_points[i]);
  return units;
}

TEST(NumberScanners, Integers) {
  struct Row {
    std::u32string text;
    int32_t value;
    int32_t error;
  };
  const Row rows[] = {
      {U"0", 0, 0},
      {U"+12'345", 12345, 0},
      {U"1'000", 1000, 0},
      {U"-0", 0, 0},
      {U"-2147483648", INT32_MIN, 0},
      {U"2147483647", INT32_MAX, 0},
      {U"2147483648", 0, kScanOutOfRange},
      {U"-2147483649", 0, kScanOutOfRange},
      {U"99999999999999999999", 0, kScanOutOfRange},
      {U"12a", 12, kScanMalformed},
      {U"", 0, kScanMalformed},
      {U"+", 0, kScanMalformed},
      {U"-", 0, kScanMalformed},
      {U"'", 0, kScanMalformed},
      {U"1 ", 1, kScanMalformed},
      {U"1\u0661", 1, kScanMalformed},
  };
  for (const Row& row : rows) {
    for (unsigned unit : units_holding(row.text)) {
      Units units = units_of(row.text, unit);
      int32_t error = 0;
      EXPECT_EQ(scan_integer(units.text(), error), row.value) << unit;
      EXPECT_EQ(error, row.error) << unit;
    }
  }
}

TEST(NumberScanners, Floats) {
  struct Row {
    std::u32string text;
    double value;  // NaN: malformed
  };
  const double nan = std::nan("");
  const Row rows[] = {
      {U"1.5", 1.5},
      {U"1,5", 1.5},
      {U"-0.25e2", -25.0},
      {U"1'000.5", 1000.5},
      {U".5", 0.5},
      {U"5.", 5.0},
      {U"3.14159265358979323846264338327", 3.141592653589793},
      {U"3.141592653589793238462643383279", 3.141592653589793},
      {U"1e400", nan},
      {U"1e", nan},
      {U".", nan},
      {U"--1", nan},
      {U"1''0", nan},
      {U"1.#INF", nan},
      {U"", nan},
      {U"1\u0130", nan},
      {U"\uFF11", nan},
      {std::u32string(313, U'1'), nan},
  };
  for (const Row& row : rows) {
    for (unsigned unit : units_holding(row.text)) {
      Units units = units_of(row.text, unit);
      int32_t error = 0;
      double value = scan_float(units.text(), error);
      if (std::isnan(row.value)) {
        EXPECT_TRUE(std::isnan(value)) << unit;
        EXPECT_EQ(error, kScanMalformed) << unit;
      } else {
        EXPECT_EQ(value, row.value) << unit;
        EXPECT_EQ(error, 0) << unit;
      }
    }
  }
}

TEST(FloatCheck, ShapesOfFloatText) {
  struct Row {
    std::string text;
    bool accepted;
  };
  const Row rows[] = {
      {"1", true},     {"+1.5", true},   {"1'0.2'5", true}, {"1e5", true},   {"1.5E-3", true}, {".5e+2", true},
      {"1.", true},    {"1'", true},     {"", false},       {"e5", false},   {"1e", false},    {"1e+", false},
      {"1.2.3", false}, {"1'.5", false}, {"1.5'", true},    {"1x", false},   {"1e5.", false},  {"'1", false},
      {"+-5.0", false}, {"--1", false},  {"-", false},
  };
  for (const Row& row : rows) {
    auto text = std::span(reinterpret_cast<const uint8_t*>(row.text.data()), row.text.size());
    EXPECT_EQ(float_check(text), row.accepted) << row.text;
  }
}

// The quick answer for plain decimals and the automaton's answer agree with the full reading.
TEST(FloatCheck, ValidityAgreesWithTheValue) {
  constexpr std::string_view kAlphabet = "0123456789..+-eE'x";
  std::mt19937 random(20240229);
  for (int round = 0; round < 20000; ++round) {
    std::string text(random() % 12, '0');
    for (char& c : text) c = kAlphabet[random() % kAlphabet.size()];
    if (round % 1000 == 0) text = std::string(301 + round / 1000 % 30, '9') + ".5";  // past a double
    auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(float_text_valid(bytes, 0), checked_float_value(bytes, 0).has_value()) << text;
  }
}

}  // namespace
}  // namespace qel

// Float text conversion: digit rows, layouts, the reader's rows, round trips and a differential
// fuzz against an independent oracle (the C library in the C locale, which prints exact decimal
// expansions and reads correctly rounded). QEL_FUZZ_SCALE=N runs the fuzz N times longer.
#include <gtest/gtest.h>

#include <locale.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "datatypes/scalars/float-text.h"

namespace qel {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

uint64_t bits_of(double value) { return std::bit_cast<uint64_t>(value); }

// The reader's answer and unconsumed count for ASCII text.
std::pair<double, size_t> read(std::string_view text, int32_t adjustment = 0) {
  size_t unconsumed = 12345;
  double value = decimal_text_to_double(text, adjustment, unconsumed);
  return {value, unconsumed};
}

// The reader's answer for ASCII text widened to 2-byte units.
double read_wide(std::string_view text) {
  std::vector<uint16_t> units(text.begin(), text.end());
  size_t unconsumed = 0;
  double value = decimal_text_to_double(std::span<const uint16_t>(units), 0, unconsumed);
  EXPECT_EQ(unconsumed, 0u) << text;
  return value;
}

// ---------------------------------------------------------------------------------------------
// Rows

TEST(DoubleToDigits, FixedAndShortestDigitsWithTheirPointAndSign) {
  struct Row {
    double value;
    int ndigits;
    const char* digits;
    int point;
    bool negative;
  };
  const Row rows[] = {
      {0.125, 2, "12", 0, false},  // exact tie, to even
      {0.375, 2, "38", 0, false},  // exact tie, to even
      {9.5, 1, "1", 2, false},     // tie to even carries through 9
      {2.5, 1, "2", 1, false},
      {3.5, 1, "4", 1, false},
      {999.96, 4, "1", 4, false},
      {1125899906842624.5, 16, "1125899906842624", 16, false},
      {0.1, 30, "100000000000000005551115123126", 0, false},
      {0.1, 99, "100000000000000005551115123126", 0, false},  // clamps to 30
      {100.0, 5, "1", 3, false},
      {0.30000000000000004, 0, "30000000000000004", 0, false},
      {0.30000000000000004, -5, "30000000000000004", 0, false},
      {5e-324, 0, "5", -323, false},
      {1e23, 0, "1", 24, false},
      {1.7976931348623157e308, 0, "17976931348623157", 309, false},
      {-2.5, 0, "25", 1, true},
      {-1e-7, 3, "1", -6, true},
  };
  for (const Row& row : rows) {
    FloatTextBuffer buffer;
    DoubleDigits d = double_to_digits(row.value, row.ndigits, true, buffer);
    EXPECT_EQ(d.text, row.digits) << row.value << " at " << row.ndigits;
    EXPECT_EQ(d.point, row.point) << row.value << " at " << row.ndigits;
    EXPECT_EQ(d.negative, row.negative) << row.value;
  }
}

TEST(DoubleToDigits, InfinityNaNAndZeroAnswerTheirSpecialTexts) {
  struct Row {
    double value;
    bool keep_point;
    const char* text;
    int point;
    bool negative;
  };
  const Row rows[] = {
      {kInf, true, "1.#INF", kPointNotFinite, false},
      {-kInf, false, "-1.#INF", kPointNotFinite, true},
      {kNaN, true, "1.#NaN", kPointNotFinite, false},
      {-kNaN, true, "1.#NaN", kPointNotFinite, false},  // NaN has no sign
      {std::bit_cast<double>(uint64_t{0x7FF0000000000001}), true, "1.#NaN", kPointNotFinite, false},
      {0.0, true, "0.0", kPointZero, false},
      {0.0, false, "0", kPointZero, false},
      {-0.0, true, "-0.0", kPointZero, true},
      {-0.0, false, "-0", kPointZero, true},
  };
  for (const Row& row : rows) {
    for (int ndigits : {0, 7}) {
      FloatTextBuffer buffer;
      DoubleDigits d = double_to_digits(row.value, ndigits, row.keep_point, buffer);
      EXPECT_EQ(d.text, row.text);
      EXPECT_EQ(d.point, row.point) << row.text;
      EXPECT_EQ(d.negative, row.negative) << row.text;
      EXPECT_EQ(float_format_digits(row.value, ndigits, row.keep_point, buffer), row.text);
    }
  }
}

TEST(FloatFormatDigits, LayoutAtBothBoundariesWithAndWithoutTheKeptPoint) {
  struct Row {
    double value;
    int ndigits;
    const char* kept;     // keep-point flag on
    const char* dropped;  // flag off
  };
  const Row rows[] = {
      {0.1, 0, "0.1", "0.1"},
      {123.0, 0, "123.0", "123"},
      {123.25, 0, "123.25", "123.25"},
      {1e15, 0, "1000000000000000.0", "1000000000000000"},
      {1e16, 0, "10000000000000000.0", "10000000000000000"},  // point 17: plain
      {1e17, 0, "1.0e17", "1e17"},                            // point 18: scientific
      {12345678901234567.0, 0, "12345678901234568.0", "12345678901234568"},
      {123456789012345678.0, 0, "1.2345678901234568e17", "1.2345678901234568e17"},
      {1e-7, 0, "0.0000001", "0.0000001"},  // point -6: plain
      {2.5e-7, 0, "0.00000025", "0.00000025"},
      {1e-8, 0, "1.0e-8", "1e-8"},  // point -7: scientific
      {1.5e-8, 0, "1.5e-8", "1.5e-8"},
      {0.30000000000000004, 0, "0.30000000000000004", "0.30000000000000004"},
      {-1.5, 0, "-1.5", "-1.5"},
      {-0.001, 0, "-0.001", "-0.001"},
      {-1e300, 0, "-1.0e300", "-1e300"},
      {5e-324, 0, "5.0e-324", "5e-324"},
      {-2.2250738585072014e-308, 0, "-2.2250738585072014e-308", "-2.2250738585072014e-308"},
      {1.7976931348623157e308, 0, "1.7976931348623157e308", "1.7976931348623157e308"},
      {59.9999999, 6, "60.0", "60"},
      {12.5, 6, "12.5", "12.5"},
      {-0.1, 30, "-0.100000000000000005551115123126", "-0.100000000000000005551115123126"},
      {-1.2345678901234567e-300, 30, "-1.2345678901234567567015816337e-300",
       "-1.2345678901234567567015816337e-300"},
  };
  for (const Row& row : rows) {
    FloatTextBuffer buffer;
    EXPECT_EQ(float_format_digits(row.value, row.ndigits, true, buffer), row.kept);
    EXPECT_EQ(float_format_digits(row.value, row.ndigits, false, buffer), row.dropped);
  }
}

TEST(FloatFormatGeneral, PrintfGeneralFormWithACleanExponent) {
  struct Row {
    double value;
    int precision;
    const char* text;
  };
  const Row rows[] = {
      {0.1 + 0.2, 16, "0.3"},
      {0.1 + 0.7, 16, "0.7999999999999999"},
      {0.1 + 0.7, 14, "0.8"},
      {1e20, 16, "1e20"},
      {1e-5, 16, "1e-5"},
      {1e-4, 16, "0.0001"},
      {1.5e300, 16, "1.5e300"},
      {-1.234e-100, 16, "-1.234e-100"},
      {100.0, 16, "100"},
      {1e15, 15, "1e15"},
      {1e15, 16, "1000000000000000"},
      {12345678901234567.0, 16, "1.234567890123457e16"},
      {1125899906842624.5, 16, "1125899906842624"},  // exact tie, to even
      {1125899906842625.5, 16, "1125899906842626"},
      {0.125, 2, "0.12"},
      {2.5, 1, "2"},
      {2.5, 0, "2"},  // precision 0 counts as 1
      {123456.789, 5, "1.2346e5"},
      {0.3f, 7, "0.3"},
      {-0.0, 16, "-0"},
      {0.1, 30, "0.100000000000000005551115123126"},
      {-1e-300 / 3, 40, "-3.3333333333333334168636394507e-301"},  // clamps to 30
      {kInf, 16, "1.#INF"},
      {-kInf, 16, "-1.#INF"},
      {kNaN, 7, "1.#NaN"},
  };
  for (const Row& row : rows) {
    FloatTextBuffer buffer;
    EXPECT_EQ(float_format_general(row.value, row.precision, buffer), row.text) << row.precision;
  }
}

TEST(DecimalTextToDouble, RowsOfValueAndUnconsumedCount) {
  struct Row {
    const char* text;
    int32_t adjustment;
    double value;
    size_t unconsumed;
  };
  const Row rows[] = {
      {"12e", 0, 12.0, 1},
      {"12x", 0, 12.0, 1},
      {"12e+", 0, 12.0, 2},
      {"12e-x", 0, 12.0, 3},
      {"12E3", 0, 12000.0, 0},
      {"+5", 0, 5.0, 0},
      {"2.5e-1", 0, 0.25, 0},
      {"1e-1", 0, 0.1, 0},
      {"0.1", 0, 0.1, 0},
      {".5", 0, 0.5, 0},
      {"5.", 0, 5.0, 0},
      {"000123.4500", 0, 123.45, 0},
      {"9007199254740993", 0, 9007199254740992.0, 0},  // tie, to even
      {"1.5", -2, 0.015, 0},
      {"33.333", -2, 0.33333, 0},
      {"1e3", 5, 1e8, 0},
      {"1e400", 0, kInf, 0},
      {"-1e400", 0, -kInf, 0},
      {"1e-400", 0, 0.0, 0},
      {"1.7976931348623157e308", 0, 1.7976931348623157e308, 0},
      {"1.7976931348623159e308", 0, kInf, 0},
      {"2.4703282292062328e-324", 0, 5e-324, 0},
      {"2.4703282292062327e-324", 0, 0.0, 0},
      {"2.2250738585072011e-308", 0, std::bit_cast<double>(uint64_t{0x000FFFFFFFFFFFFF}), 0},
      {"1e0000000000000000000000000000005", 0, 1e5, 0},  // a 30-digit exponent
      {"1e-00000000000000000000000000000000000000001", 0, 0.1, 0},
      {"1e99999999999999999999999999999", 0, kInf, 0},
      {"1e-99999999999999999999999999999", 0, 0.0, 0},
      {"0e999999", 0, 0.0, 0},
      {"1.#INF", 0, kInf, 0},
      {"-1.#inf", 0, -kInf, 0},
      {"+1.#Inf", 0, kInf, 0},
      {"1.#INFx", 0, kInf, 1},
      {"1.#i", 0, kInf, 0},
      {"12.#INF", 0, 12.0, 4},  // two digits before the point: no special
      {"1.#x", 0, 1.0, 2},
      {"", 0, 0.0, 0},
      {"abc", 0, 0.0, 3},
      {"-", 0, 0.0, 1},
      {".", 0, 0.0, 1},
      {"e5", 0, 0.0, 2},
      {" 1", 0, 0.0, 2},
      {"inf", 0, 0.0, 3},
      {"nan", 0, 0.0, 3},
      {"0x10", 0, 0.0, 3},
      // More than 15 digits: shapes the standard reader sees as written or rebuilt.
      {".12345678901234567", 0, 0.12345678901234567, 0},
      {"12345678901234567.", 0, 12345678901234567.0, 0},
      {"12345678901234567.e-17", 0, 0.12345678901234567, 0},
      {"1234567890123456.7E+0003", 0, 1234567890123456.7e3, 0},
      {"-0000000000000000000.1234567890123456789e-0019", 0, -0.1234567890123456789e-19, 0},
      {"1.2345678901234567e00001", 0, 12.345678901234567, 0},
      {"1.2345678901234567e+9x", 0, 1.2345678901234567e9, 1},
      {"12345678901234567e-2", -2, 1234567890123.4567, 0},
      {"1.7976931348623157e308", 1, kInf, 0},
      {"4.9406564584124654e-324", -1, 0.0, 0},
  };
  for (const Row& row : rows) {
    auto [value, unconsumed] = read(row.text, row.adjustment);
    EXPECT_EQ(bits_of(value), bits_of(row.value)) << row.text << " read " << value;
    EXPECT_EQ(unconsumed, row.unconsumed) << row.text;
  }
}

TEST(DecimalTextToDouble, SignedZeroAndNaN) {
  for (const char* text : {"-0", "-0.000", "-0e5", "-1e-400", "-2.4703282292062327e-324"}) {
    auto [value, unconsumed] = read(text);
    EXPECT_EQ(bits_of(value), bits_of(-0.0)) << text;
    EXPECT_EQ(unconsumed, 0u) << text;
  }
  for (const char* text : {"1.#NaN", "-1.#nan", "7.#N"}) {
    auto [value, unconsumed] = read(text);
    EXPECT_EQ(bits_of(value), uint64_t{0x7FF8000000000000}) << text;
    EXPECT_EQ(unconsumed, 0u) << text;
  }
}

TEST(DecimalTextToDouble, WideUnitsOnlyTakeAsciiDigits) {
  const uint16_t two[] = {'-', '1', '.', '5', 'e', '2', 0x0131};  // U+0131 is no "1"
  const uint32_t four[] = {'2', '5', 0x10030, '1'};
  const uint32_t special[] = {'1', '.', '#', 'I', 'N', 'F'};
  const uint16_t percent[] = {'1', '2', '.', '5'};
  size_t unconsumed = 0;
  EXPECT_EQ(decimal_text_to_double(std::span(two), 0, unconsumed), -150.0);
  EXPECT_EQ(unconsumed, 1u);
  EXPECT_EQ(decimal_text_to_double(std::span(four), 0, unconsumed), 25.0);
  EXPECT_EQ(unconsumed, 2u);
  EXPECT_EQ(decimal_text_to_double(std::span(special), 0, unconsumed), kInf);
  EXPECT_EQ(unconsumed, 0u);
  EXPECT_EQ(decimal_text_to_double(std::span(percent), -2, unconsumed), 0.125);
  EXPECT_EQ(unconsumed, 0u);
}

TEST(DecimalTextToDouble, HundredThousandDigitsReadCorrectly) {
  const std::string zeros(100000, '0');
  // The exact midpoint between 1.0 and the next double: a tie, to even.
  const std::string midpoint = "1.00000000000000011102230246251565404236316680908203125";
  const double above_one = std::nextafter(1.0, 2.0);
  struct Row {
    std::string text;
    double value;
  };
  const Row rows[] = {
      {"1" + zeros + "e-100000", 1.0},
      {"0." + zeros + "1e100001", 1.0},
      {"0." + zeros + "1e1", 0.0},
      {"1" + zeros, kInf},
      {zeros, 0.0},
      {"0." + zeros + "e999", 0.0},
      {midpoint + zeros, 1.0},
      {midpoint + zeros + "1", above_one},  // a far non-zero digit decides the tie
      {"1.000000000000000111022302462515654042363166809082031249" + std::string(100000, '9'), 1.0},
      {std::string(100000, '1') + "e-99990", 1111111111.111111111111111111111},
  };
  for (const Row& row : rows) {
    auto [value, unconsumed] = read(row.text);
    EXPECT_EQ(bits_of(value), bits_of(row.value)) << row.text.substr(0, 60);
    EXPECT_EQ(unconsumed, 0u);
  }
}

// ---------------------------------------------------------------------------------------------
// Round trips and the differential fuzz

// Multiplies the fuzz iteration counts (QEL_FUZZ_SCALE, 1 to 1000, default 1).
int fuzz_scale() {
  const char* scale = getenv("QEL_FUZZ_SCALE");
  int value = scale != nullptr ? atoi(scale) : 1;
  return std::clamp(value, 1, 1000);
}

// Random doubles: any bit pattern, with a share of subnormals; not_finite allows infinity and NaN.
struct DoubleSource {
  std::mt19937_64 bits;
  explicit DoubleSource(uint64_t seed) : bits(seed) {}

  double any(bool not_finite) {
    for (;;) {
      uint64_t pattern = bits();
      if (pattern % 8 == 0) pattern &= ~uint64_t{0x7FF0000000000000};  // subnormal or zero
      double value = std::bit_cast<double>(pattern);
      if (not_finite || std::isfinite(value)) return value;
    }
  }
  double finite_nonzero() {
    for (;;) {
      double value = any(false);
      if (value != 0.0) return value;
    }
  }
  int in(int low, int high) { return std::uniform_int_distribution<int>(low, high)(bits); }
};

TEST(FloatTextFuzz, MoldTextOfRandomBitPatternsReadsBackToTheSameBits) {
  DoubleSource source(20240601);
  for (int i = 0; i < 300000 * fuzz_scale(); ++i) {
    double value = source.any(true);
    FloatTextBuffer buffer;
    std::string_view text = float_format_digits(value, 0, i % 2 == 0, buffer);
    auto [back, unconsumed] = read(text);
    ASSERT_EQ(unconsumed, 0u) << text;
    if (std::isnan(value)) ASSERT_TRUE(std::isnan(back)) << text;
    else ASSERT_EQ(bits_of(back), bits_of(value)) << text;
  }
}

// The C library in the C locale, whatever the process locale is.
class Oracle {
 public:
  Oracle() : c_locale_(newlocale(LC_ALL_MASK, "C", locale_t{})) {}
  ~Oracle() { freelocale(c_locale_); }

  // The correctly rounded double of text, which must be read whole.
  double read(const std::string& text) const {
    char* end = nullptr;
    double value = strtod_l(text.c_str(), &end, c_locale_);
    EXPECT_EQ(*end, 0) << text;
    return value;
  }
  // "%.*e" of value: correctly rounded, and exact when precision reaches the expansion's length.
  std::string scientific(double value, int precision) const { return print("%.*e", precision, value); }
  // "%.*Le" of a long double (the exact midpoints of neighbouring doubles fit its 64-bit
  // significand).
  std::string scientific(long double value, int precision) const { return print("%.*Le", precision, value); }
  // "%.*g" of value.
  std::string general(double value, int precision) const { return print("%.*g", precision, value); }

 private:
  // The text of one precision and value by format, in the C locale.
  template <typename Value>
  std::string print(const char* format, int precision, Value value) const {
    Scoped scoped(c_locale_);
    char text[1100];
    snprintf(text, sizeof text, format, precision, value);
    return text;
  }

  // The C locale for this thread while alive.
  struct Scoped {
    locale_t previous;
    explicit Scoped(locale_t c_locale) : previous(uselocale(c_locale)) {}
    ~Scoped() { uselocale(previous); }
  };
  locale_t c_locale_;
};

// A positive decimal 0.d1d2... x 10^point: no leading or trailing zeros.
struct Decimal {
  std::string digits;
  int point = 0;
  bool operator==(const Decimal&) const = default;
};

// The decimal of the oracle's scientific text ("d.ddde+XX", sign ignored).
Decimal decimal_of(const std::string& scientific) {
  size_t e = scientific.find('e');
  Decimal d;
  for (size_t i = 0; i < e; ++i) {
    if (scientific[i] >= '0' && scientific[i] <= '9') d.digits += scientific[i];
  }
  d.point = atoi(scientific.c_str() + e + 1) + 1;
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// The first count digits of d.
Decimal truncated(const Decimal& d, size_t count) {
  Decimal t{d.digits.substr(0, count), d.point};
  while (t.digits.size() > 1 && t.digits.back() == '0') t.digits.pop_back();
  return t;
}

// The first count digits of d, plus one unit in the last of them.
Decimal incremented(const Decimal& d, size_t count) {
  Decimal up{d.digits.substr(0, count), d.point};
  size_t i = count;
  while (i > 0 && up.digits[i - 1] == '9') up.digits[--i] = '0';
  if (i == 0) {
    up.digits.insert(up.digits.begin(), '1');
    ++up.point;
  } else {
    ++up.digits[i - 1];
  }
  while (up.digits.size() > 1 && up.digits.back() == '0') up.digits.pop_back();
  return up;
}

// Text any reader takes for d.
std::string text_of(const Decimal& d) { return "0." + d.digits + "e" + std::to_string(d.point); }

// Compares the digits after the first count digits of d with one half unit: -1, 0 or 1.
int rest_against_half(const Decimal& d, size_t count) {
  if (d.digits.size() <= count) return -1;
  if (d.digits[count] != '5') return d.digits[count] < '5' ? -1 : 1;
  return d.digits.size() > count + 1 ? 1 : 0;
}

TEST(FloatTextFuzz, ReaderAgreesWithTheOracleOnRandomTexts) {
  Oracle oracle;
  DoubleSource source(777);
  for (int i = 0; i < 20000 * fuzz_scale(); ++i) {
    int length = source.in(0, 1) == 0 ? source.in(1, 20) : source.in(1, 800);
    std::string digits;
    for (int k = 0; k < length; ++k) digits += static_cast<char>('0' + source.in(0, 9));
    int exponent = source.in(-400, 400);
    // Put the point where the magnitude mostly lands in or near the range of doubles.
    int dot = std::clamp(source.in(-340, 320) - exponent, 0, length);
    std::string text = (source.in(0, 3) == 0 ? "-" : "") + digits.substr(0, dot);
    if (dot < length || source.in(0, 1) == 0) text += "." + digits.substr(dot);
    std::string mantissa = text + (source.in(0, 1) == 0 ? "e" : "E");
    text = mantissa + (exponent >= 0 && source.in(0, 1) == 0 ? "+" : "") + std::to_string(exponent);
    uint64_t expected = bits_of(oracle.read(text));
    auto [value, unconsumed] = read(text);
    ASSERT_EQ(unconsumed, 0u) << text;
    ASSERT_EQ(bits_of(value), expected) << text;
    ASSERT_EQ(bits_of(read_wide(text)), expected) << text;
    int adjustment = source.in(-400, 400);
    ASSERT_EQ(bits_of(read(mantissa + std::to_string(exponent - adjustment), adjustment).first), expected) << text;
  }
}

TEST(FloatTextFuzz, ReaderRoundsExactMidpointsToEvenAndNearMidpointsToTheNearer) {
  Oracle oracle;
  DoubleSource source(31337);
  for (int i = 0; i < 5000 * fuzz_scale(); ++i) {
    double low = std::fabs(source.any(false));
    double high = std::nextafter(low, kInf);
    if (std::isinf(high)) continue;
    long double middle = (static_cast<long double>(low) + high) / 2;
    Decimal exact = decimal_of(oracle.scientific(middle, 799));
    double even = (bits_of(low) & 1) == 0 ? low : high;
    // One unit in the 800th digit less and more: far inside the half gaps on either side.
    Decimal below = exact;
    --below.digits.back();
    below.digits.resize(800, '9');
    Decimal above = exact;
    above.digits.resize(799, '0');
    above.digits += '1';
    const std::pair<Decimal, double> cases[] = {{exact, even}, {below, low}, {above, high}};
    for (const auto& [decimal, expected] : cases) {
      std::string text = text_of(decimal);
      auto [value, unconsumed] = read(text);
      ASSERT_EQ(bits_of(value), bits_of(expected)) << text;
      ASSERT_EQ(bits_of(value), bits_of(oracle.read(text))) << text;
      ASSERT_EQ(bits_of(read_wide(text)), bits_of(expected)) << text;
    }
  }
}

TEST(FloatTextFuzz, ShortestDigitsRoundTripAreMinimalAndNearest) {
  Oracle oracle;
  DoubleSource source(4242);
  for (int i = 0; i < 10000 * fuzz_scale(); ++i) {
    double value = std::fabs(source.finite_nonzero());
    FloatTextBuffer buffer;
    DoubleDigits shortest = double_to_digits(value, 0, true, buffer);
    Decimal ours{std::string(shortest.text), shortest.point};
    ASSERT_EQ(oracle.read(text_of(ours)), value) << text_of(ours);
    Decimal exact = decimal_of(oracle.scientific(value, 799));
    auto reads_back = [&](const Decimal& d) { return oracle.read(text_of(d)) == value; };
    for (size_t count = 1; count < ours.digits.size(); ++count) {
      ASSERT_FALSE(reads_back(truncated(exact, count))) << text_of(ours) << " not minimal at " << count;
      ASSERT_FALSE(reads_back(incremented(exact, count))) << text_of(ours) << " not minimal at " << count;
    }
    size_t count = ours.digits.size();
    Decimal down = truncated(exact, count);
    Decimal up = incremented(exact, count);
    bool down_ok = reads_back(down);
    bool up_ok = reads_back(up);
    int rest = rest_against_half(exact, count);
    if (down_ok && up_ok && rest != 0) ASSERT_EQ(ours, rest < 0 ? down : up) << text_of(exact);
    else if (down_ok != up_ok) ASSERT_EQ(ours, down_ok ? down : up) << text_of(exact);
    else ASSERT_TRUE(ours == down || ours == up) << text_of(exact);
  }
}

TEST(FloatTextFuzz, FixedDigitsAndGeneralFormEqualTheOracle) {
  Oracle oracle;
  DoubleSource source(1999);
  for (int i = 0; i < 50000 * fuzz_scale(); ++i) {
    double value;
    int ndigits;
    if (i % 2 == 0) {
      value = source.finite_nonzero();
      ndigits = source.in(1, kMaxFloatDigits);
    } else {
      // An odd multiple of a power of two: asking for one digit less than its exact expansion
      // holds makes an exact tie.
      value = std::ldexp(static_cast<double>(2 * source.in(0, 1 << 20) + 1), -source.in(1, 12));
      ndigits = std::max(1, static_cast<int>(decimal_of(oracle.scientific(value, 40)).digits.size()) - 1);
    }
    FloatTextBuffer buffer;
    DoubleDigits d = double_to_digits(value, ndigits, true, buffer);
    Decimal expected = decimal_of(oracle.scientific(value, ndigits - 1));
    ASSERT_EQ((Decimal{std::string(d.text), d.point}), expected) << value << " at " << ndigits;
    ASSERT_EQ(d.negative, value < 0);

    std::string general = oracle.general(value, ndigits);
    size_t e = general.find('e');
    if (e != std::string::npos) {  // the clean exponent: no "+", no leading zeros
      int exponent = atoi(general.c_str() + e + 1);
      general = general.substr(0, e + 1) + std::to_string(exponent);
    }
    ASSERT_EQ(float_format_general(value, ndigits, buffer), general) << value << " at " << ndigits;
  }
}

}  // namespace
}  // namespace qel

// float-text.h: correctly rounded conversion between doubles and decimal text.
//
// Every number's text in the system goes through here: float! and percent! form and mold, the
// other types that write doubles, string-to-number conversion and the lexer. Nothing here
// depends on the process locale, allocates, or keeps state between calls: results go to a
// buffer the caller owns.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace qel {

// The most significant digits any entry writes; larger requests clamp to it.
inline constexpr int kMaxFloatDigits = 30;

// Decimal-point codes of the two special answers of double_to_digits.
inline constexpr int kPointNotFinite = 9999;  // infinity or NaN
inline constexpr int kPointZero = 9998;

// Caller-owned room for the text of one double. Sized for the longest layout: a sign, "0.",
// six zeros and 30 digits, or a sign, 30 digits, a point and "e-324".
struct FloatTextBuffer {
  char chars[48];
};

// The decimal digits of a double: the value is 0.d1d2... x 10^point.
struct DoubleDigits {
  std::string_view text;  // digits (no sign, point or trailing zeros) in the buffer, or a special text
  int point;              // kPointNotFinite and kPointZero mark the special texts
  bool negative;          // set for every negative value, -0.0 and -infinity included
};

// The digits of value: ndigits >= 1 asks for that many significant digits, correctly rounded
// (exact ties to even); ndigits <= 0 for the shortest digits that read back to the same double,
// the nearest to the exact value among equally short ones. Infinity and NaN answer point
// kPointNotFinite and "1.#INF", "-1.#INF" or "1.#NaN" (NaN has no sign); zero answers
// kPointZero and "0.0" or "-0.0" with keep_point, "0" or "-0" without.
DoubleDigits double_to_digits(double value, int ndigits, bool keep_point, FloatTextBuffer& buffer);

// The text of value in the system's own layout: plain digits for decimal points -6 to 17
// (0.0000001, 10000000000000000.0), else one digit, ".", the rest and "e" with the exponent
// (1.0e17, 1.0e-8). keep_point keeps ".0" after a whole number (123.0; 123 without it).
std::string_view float_format_digits(double value, int ndigits, bool keep_point, FloatTextBuffer& buffer);

// The general form of value with precision significant digits (1 to kMaxFloatDigits), as the
// "%.Ng" of a C-locale printf (trailing zeros dropped, exponent form below 1e-4 or from 10^N
// on), with the exponent written cleanly: no "+", no leading zeros (1e20, 1.5e-7). Infinity
// and NaN answer the special texts of double_to_digits.
std::string_view float_format_general(double value, int precision, FloatTextBuffer& buffer);

// Room for every digit of a whole double: the largest has 309.
struct WholeDigitsBuffer {
  char chars[320];
};

// The exact decimal digits of a whole, finite, non-negative double (1e20 gives
// "100000000000000000000"), for counts that outgrow every integer type.
std::string_view whole_double_digits(double whole, WholeDigitsBuffer& buffer);

// Reads decimal text: an optional sign, digits with an optional "." and fraction, an optional
// exponent ("e" or "E", an optional sign, digits), or one digit, "." and "#INF" / "#NaN" in any
// letter case. Answers the correctly rounded double (exact ties to even), the exponent shifted
// by exponent_adjustment (-2 reads percent text), and stores in unconsumed the number of units
// after what it read. Text without a digit reads nothing and answers 0.0.
double decimal_text_to_double(std::span<const uint8_t> text, int32_t exponent_adjustment, size_t& unconsumed);
double decimal_text_to_double(std::span<const uint16_t> text, int32_t exponent_adjustment, size_t& unconsumed);
double decimal_text_to_double(std::span<const uint32_t> text, int32_t exponent_adjustment, size_t& unconsumed);

// ASCII text held in C++ strings, read as 1-byte units.
inline double decimal_text_to_double(std::string_view text, int32_t exponent_adjustment, size_t& unconsumed) {
  return decimal_text_to_double(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()),
                                exponent_adjustment, unconsumed);
}

}  // namespace qel

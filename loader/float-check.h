// float-check.h: the shape every float text must have (the float check automaton), and the
// exact value of text that has it.
//
// The lexer's float and percent loaders and the number scanner of to/make share it: an
// optional sign, digits that may hold single apostrophes, an optional point and fraction, an
// optional exponent (e or E, an optional sign, digits).
#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace qel {

// Float text longer than this is refused before it is read.
inline constexpr size_t kMostFloatTextBytes = 312;

// Text without an exponent and no longer than this is finite whatever its digits (a double
// reaches past 10^308): digits around one point up to this length are valid float text.
inline constexpr size_t kSafeFloatTextBytes = 300;

// True when the bytes have the shape of float text (ASCII only).
bool float_check(std::span<const uint8_t> text);

// The correctly rounded value of float text, apostrophes dropped, the exponent shifted by
// `exponent_adjustment` (-2 reads a percent). None when the text fails the check, is longer
// than kMostFloatTextBytes, holds no digit, or is too large for a finite double.
std::optional<double> checked_float_value(std::span<const uint8_t> text, int32_t exponent_adjustment);

// True when checked_float_value would give a value; text that cannot overflow a double is not
// converted.
bool float_text_valid(std::span<const uint8_t> text, int32_t exponent_adjustment);

}  // namespace qel

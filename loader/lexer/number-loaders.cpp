// number-loaders.cpp: integer!, float!, percent!, the special floats and hexadecimal integers.
#include <bit>
#include <cstring>
#include <limits>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/percent.h"
#include "loader/float-check.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"

namespace qel {

namespace {

constexpr int32_t id_of(Type type) { return static_cast<int32_t>(type); }
inline constexpr uint64_t kQuietNaN = 0x7FF8000000000000;
inline constexpr int64_t kSmallestMagnitude = int64_t{1} << 31;
inline constexpr int kMostIntegerDigits = 10;

constexpr bool is_digit(uint8_t byte) { return byte >= '0' && byte <= '9'; }

constexpr int hex_value(uint8_t byte) {
  if (is_digit(byte)) return byte - '0';
  if (byte >= 'a' && byte <= 'f') return byte - 'a' + 10;
  if (byte >= 'A' && byte <= 'F') return byte - 'A' + 10;
  return -1;
}

std::span<const uint8_t> span_of(const uint8_t* start, const uint8_t* end) {
  return {start, static_cast<size_t>(end - start)};
}

// The value of float text scaled by 10^adjustment, appended as `type`, or an invalid float!.
LexStatus load_decimal(LexerState& state, const uint8_t* start, const uint8_t* end, int32_t adjustment, Type type,
                       bool load) {
  if (!load) {
    if (float_text_valid(span_of(start, end), adjustment)) return LexStatus::ok;
    return lexer_syntax_error(state, start, end, id_of(Type::float_));
  }
  std::optional<double> value = checked_float_value(span_of(start, end), adjustment);
  if (!value) return lexer_syntax_error(state, start, end, id_of(Type::float_));
  lexer_append_value(state, [&](Cell& cell) { float_make_at(cell, *value, type); });
  return LexStatus::ok;
}

// What the digits of an integer token read as: their magnitude (saturated past 32 bits), how
// many there are, and whether two apostrophes stood together.
struct IntegerDigits {
  int64_t magnitude = 0;
  int count = 0;
  bool doubled_apostrophe = false;
};

IntegerDigits read_integer_digits(const uint8_t* at, const uint8_t* end) {
  IntegerDigits digits;
  for (uint8_t previous = 0; at < end; previous = *at++) {
    if (*at == '\'') {
      digits.doubled_apostrophe |= previous == '\'';
      continue;
    }
    if (digits.magnitude <= kSmallestMagnitude) digits.magnitude = digits.magnitude * 10 + (*at - '0');
    ++digits.count;
  }
  return digits;
}

}  // namespace

LexStatus load_integer(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* at = start;
  bool negative = *at == '-';
  if (negative || *at == '+') ++at;
  IntegerDigits digits = read_integer_digits(at, end);
  if (digits.doubled_apostrophe) return lexer_syntax_error(state, start, end, id_of(Type::integer));
  int64_t limit = negative ? kSmallestMagnitude : kSmallestMagnitude - 1;
  if (digits.count > kMostIntegerDigits || digits.magnitude > limit) {
    state.token_type = id_of(Type::float_);  // too large for 32 bits: a float!
    return load_decimal(state, start, end, 0, Type::float_, load);
  }
  int64_t value = negative ? -digits.magnitude : digits.magnitude;
  if (load) lexer_append_value(state, [&](Cell& cell) { integer_make_at(cell, static_cast<int32_t>(value)); });
  return LexStatus::ok;
}

LexStatus load_float(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  return load_decimal(state, start, end, 0, Type::float_, load);
}

LexStatus load_percent(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  return load_decimal(state, start, end, -2, Type::percent, load);
}

LexStatus load_special_float(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* at = start;
  bool negative = *at == '-';
  if (negative || *at == '+') ++at;
  auto is = [&](std::string_view word) {
    if (static_cast<size_t>(end - at) != 3 + word.size() || std::memcmp(at, "1.#", 3) != 0) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if ((at[3 + i] | 0x20) != word[i]) return false;
    return true;
  };
  double value;
  if (is("inf"))
    value = negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  else if (is("nan"))
    value = std::bit_cast<double>(kQuietNaN);
  else
    return lexer_syntax_error(state, start, end, id_of(Type::float_));
  if (load) lexer_append_value(state, [&](Cell& cell) { float_make_at(cell, value); });
  return LexStatus::ok;
}

LexStatus load_hex_integer(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* digits_end = end - 1;  // the final h
  size_t count = static_cast<size_t>(digits_end - start);
  if (count == 1 && !is_digit(*start)) return lexer_syntax_error(state, start, end, id_of(Type::word));
  uint32_t value = 0;
  bool valid = count >= 2 && count <= 8;
  for (const uint8_t* at = start; valid && at < digits_end; ++at) {
    int digit = hex_value(*at);
    valid = digit >= 0;
    value = value << 4 | static_cast<uint32_t>(digit & 0xF);
  }
  if (!valid) return lexer_syntax_error(state, start, end, id_of(Type::integer));
  if (load) lexer_append_value(state, [&](Cell& cell) { integer_make_at(cell, static_cast<int32_t>(value)); });
  return LexStatus::ok;
}

}  // namespace qel

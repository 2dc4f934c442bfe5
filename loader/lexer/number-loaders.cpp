// number-loaders.cpp: integer!, float!, percent!, the special floats and hexadecimal integers.
#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/percent.h"
#include "datatypes/scalars/tuple.h"
#include "loader/float-check.h"
#include "loader/money-text.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"

namespace qel {

namespace {

constexpr int32_t id_of(Type type) { return static_cast<int32_t>(type); }
inline constexpr uint64_t kQuietNaN = 0x7FF8000000000000;
inline constexpr int64_t kSmallestMagnitude = int64_t{1} << 31;
inline constexpr int kMostIntegerDigits = 10;

constexpr bool is_digit(uint8_t byte) { return byte >= '0' && byte <= '9'; }

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

// An optional sign, then exactly 1.# and NaN or INF in any letter case: a quiet NaN or an
// infinity (negative after a minus).
std::optional<double> special_float_value(const uint8_t* start, const uint8_t* end) {
  const uint8_t* at = start;
  bool negative = at < end && *at == '-';
  if (at < end && (negative || *at == '+')) ++at;
  auto is = [&](std::string_view word) {
    if (static_cast<size_t>(end - at) != 3 + word.size() || std::memcmp(at, "1.#", 3) != 0) return false;
    for (size_t i = 0; i < word.size(); ++i)
      if ((at[3 + i] | 0x20) != word[i]) return false;
    return true;
  };
  if (is("inf")) return negative ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
  if (is("nan")) return std::bit_cast<double>(kQuietNaN);
  return std::nullopt;
}

// Integer text as the integer loader reads it, without its move to float!: an optional sign,
// digits with single apostrophes, within 32 bits.
std::optional<int32_t> whole_integer_value(const uint8_t* start, const uint8_t* end) {
  const uint8_t* at = start;
  bool negative = at < end && *at == '-';
  if (at < end && (negative || *at == '+')) ++at;
  for (const uint8_t* p = at; p < end; ++p)
    if (!is_digit(*p) && *p != '\'') return std::nullopt;
  IntegerDigits digits = read_integer_digits(at, end);
  int64_t limit = negative ? kSmallestMagnitude : kSmallestMagnitude - 1;
  if (digits.count == 0 || digits.doubled_apostrophe || digits.count > kMostIntegerDigits || digits.magnitude > limit)
    return std::nullopt;
  return static_cast<int32_t>(negative ? -digits.magnitude : digits.magnitude);
}

// A number of a point: a special float when it holds a hash, else float text; one rule whether
// the point is loaded or only checked.
std::optional<double> point_number(const uint8_t* start, const uint8_t* end) {
  if (std::memchr(start, '#', static_cast<size_t>(end - start))) return special_float_value(start, end);
  return checked_float_value(span_of(start, end), 0);
}

constexpr bool is_blank(uint8_t byte) { return byte == ' ' || byte == '\t'; }

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
  std::optional<double> value = special_float_value(start, end);
  if (!value) return lexer_syntax_error(state, start, end, id_of(Type::float_));
  if (load) lexer_append_value(state, [&](Cell& cell) { float_make_at(cell, *value); });
  return LexStatus::ok;
}

LexStatus load_hex_integer(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* digits_end = end - 1;  // the final h
  size_t count = static_cast<size_t>(digits_end - start);
  if (count == 1 && !is_digit(*start)) return lexer_syntax_error(state, start, end, id_of(Type::word));
  uint32_t value = 0;
  bool valid = count >= 2 && count <= 8;
  for (const uint8_t* at = start; valid && at < digits_end; ++at) {
    int digit = hex_digit_value(*at);
    valid = digit >= 0;
    value = value << 4 | static_cast<uint32_t>(digit & 0xF);
  }
  if (!valid) return lexer_syntax_error(state, start, end, id_of(Type::integer));
  if (load) lexer_append_value(state, [&](Cell& cell) { integer_make_at(cell, static_cast<int32_t>(value)); });
  return LexStatus::ok;
}

}  // namespace qel

namespace qel {

LexStatus load_tuple(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  uint8_t bytes[kTupleMaxLength];
  size_t count = 0;
  for (const uint8_t* at = start; at <= end; ++count) {
    const uint8_t* stop = static_cast<const uint8_t*>(std::memchr(at, '.', static_cast<size_t>(end - at)));
    if (!stop) stop = end;
    int value = 0;
    bool valid = stop > at && count < kTupleMaxLength;
    for (const uint8_t* p = at; valid && p < stop; ++p) {
      valid = is_digit(*p);
      value = std::min(value * 10 + (*p - '0'), 256);  // held past 255: leading zeros may be many
    }
    if (!valid || value > 255) return lexer_syntax_error(state, start, end, id_of(Type::tuple));
    bytes[count] = static_cast<uint8_t>(value);
    at = stop + 1;
  }
  if (load) lexer_append_value(state, [&](Cell& cell) { tuple_make_at(cell, {bytes, count}); });
  return LexStatus::ok;
}

LexStatus load_pair(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const size_t size = static_cast<size_t>(end - start);
  const uint8_t* x = static_cast<const uint8_t*>(std::memchr(start, 'x', size));
  if (!x) x = static_cast<const uint8_t*>(std::memchr(start, 'X', size));
  std::optional<int32_t> first, second;
  if (x && !std::memchr(start, '.', size)) {
    first = whole_integer_value(start, x);
    second = whole_integer_value(x + 1, end);
  }
  if (!first || !second) return lexer_syntax_error(state, start, end, id_of(Type::pair));
  if (load) lexer_append_value(state, [&](Cell& cell) { pair_make_at(cell, *first, *second); });
  return LexStatus::ok;
}

LexStatus load_point(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  double numbers[3];
  int count = 0;
  Type type = Type::point2d;
  for (const uint8_t* at = start; at <= end; ++count) {
    const uint8_t* stop = static_cast<const uint8_t*>(std::memchr(at, ',', static_cast<size_t>(end - at)));
    if (!stop) stop = end;
    if (count == 2) type = Type::point3d;
    if (count == 3) return lexer_syntax_error(state, start, end, id_of(Type::point3d));
    const uint8_t* first = at;
    const uint8_t* last = stop;
    while (first < last && is_blank(*first)) ++first;
    while (last > first && is_blank(last[-1])) --last;
    if (first == last) return lexer_syntax_error(state, start, end, id_of(type));
    std::optional<double> number = point_number(first, last);
    if (!number) return lexer_syntax_error(state, first, last, id_of(Type::float_));
    numbers[count] = *number;
    at = stop + 1;
  }
  if (count < 2) return lexer_syntax_error(state, start, end, id_of(type));
  state.token_type = id_of(type);
  if (!load) return LexStatus::ok;
  lexer_append_value(state, [&](Cell& cell) {
    auto f = [&](int i) { return static_cast<float>(numbers[i]); };
    if (type == Type::point3d) point3D_make_at(cell, f(0), f(1), f(2));
    else point2D_make_at(cell, f(0), f(1));
  });
  return LexStatus::ok;
}

// A parenthesis turned into a point at its first comma: it must hold one integer! or float!
// more than it has commas, two or three of them.
LexStatus build_point(LexerState& state, uint64_t first, uint64_t count, Type type, Cell& out) {
  const Cell marker = lexer_cell(first - 1);
  bool valid = count == marker_commas(marker) + 1 && count == static_cast<uint64_t>(coordinate_count(type));
  float c[3] = {};
  for (uint64_t i = 0; valid && i < count; ++i) {
    const Cell& item = lexer_cell(first + i);
    valid = cell_type(item) == Type::integer || cell_type(item) == Type::float_;
    if (valid) c[i] = static_cast<float>(cell_type(item) == Type::integer ? integer_value(item) : float_value(item));
  }
  if (!valid) return lexer_syntax_error(state, nullptr, state.position, id_of(type));
  if (type == Type::point3d) point3D_make_at(out, c[0], c[1], c[2]);
  else point2D_make_at(out, c[0], c[1]);
  return LexStatus::ok;
}

LexStatus load_money(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  std::u32string text(start, end);
  std::optional<Cell> money = read_money_text(text, MoneyTextKind::token);
  if (!money) return lexer_syntax_error(state, start, end, id_of(Type::money));
  if (load) lexer_append_value(state, [&](Cell& cell) { cell = *money; });
  return LexStatus::ok;
}

}  // namespace qel

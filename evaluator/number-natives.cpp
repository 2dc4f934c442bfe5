// number-natives.cpp: sign tests, NaN?, max and min, shift and to-hex.
#include "evaluator/number-natives.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/tuple.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/error-raise.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Where a value lies against zero; a NaN lies nowhere.
enum class Sign : uint8_t { negative = 0, zero = 1, positive = 2, unordered };  // -1, 0, 1 plus one

Sign double_sign(double value) {
  if (value < 0.0) return Sign::negative;
  if (value > 0.0) return Sign::positive;
  return value == 0.0 ? Sign::zero : Sign::unordered;
}

// The sign of the first argument of a sign test; another type is script expect-arg.
Sign argument_sign() {
  const Cell& value = value_stack.base[0];
  switch (cell_type(value)) {
    case Type::integer: return double_sign(integer_value(value));
    case Type::char_: return value.w2 == 0 ? Sign::zero : Sign::positive;
    case Type::money: return static_cast<Sign>(money_sign_of(value) + 1);
    case Type::float_:
    case Type::percent:
    case Type::time: return double_sign(float_value(value));
    default: raise_expect_arg(0, value);
  }
}

Status answer_logic(bool truth) {
  stack_set_result_only(make_cell(Type::logic, truth));
  return {};
}

// integer!, float! and percent!: the types whose NaN wins a max or min.
constexpr bool scalar_number(Type type) { return type == Type::integer || type == Type::float_ || type == Type::percent; }
bool nan_number(const Cell& value) { return cell_type(value) != Type::integer && std::isnan(float_value(value)); }

// --- max and min --------------------------------------------------------------------------------

// The pick of max (greater) and min between two of a kind: value1 unless it is lesser (max) or
// not lesser (min), so a tie gives max value1 and min value2.
template <class T>
T pick(const T& value1, const T& value2, bool lesser, bool greater) {
  return greater == lesser ? value2 : value1;
}

// One float32 coordinate: a NaN on either side is the result.
float pick_coordinate(float a, float b, bool greater) {
  if (std::isnan(a)) return a;
  if (std::isnan(b)) return b;
  return pick(a, b, a < b, greater);
}

constexpr bool composite_type(Type type) {
  return type == Type::pair || type == Type::tuple || type == Type::point2d || type == Type::point3d;
}
constexpr bool point_type(Type type) { return type == Type::point2d || type == Type::point3d; }

// A point's coordinates against a number (every coordinate), a point of its kind or, for a
// point2D!, a pair; nothing for any other value.
std::optional<Cell> point_extreme(Cell point, const Cell& other, bool greater) {
  const int count = coordinate_count(cell_type(point));
  Cell against = other;
  if (cell_type(other) == Type::pair && count == 2) pair_to_point2D(against);
  const bool number = scalar_number(cell_type(other));
  if (!number && cell_type(against) != cell_type(point)) return std::nullopt;
  const float scalar = number ? static_cast<float>(cell_type(other) == Type::integer ? integer_value(other)
                                                                                   : float_value(other))
                              : 0.0f;
  for (int i = 0; i < count; ++i) {
    const float b = number ? scalar : point_coordinate(against, i);
    set_point_coordinate(point, i, pick_coordinate(point_coordinate(point, i), b, greater));
  }
  return point;
}

// A pair against an integer! (both coordinates), a float! (truncated to an integer when it is
// finite and fits, else the pair becomes a point2D!), a pair or a point2D!.
std::optional<Cell> pair_extreme(Cell pair, const Cell& other, bool greater) {
  int32_t n = 0;
  switch (cell_type(other)) {
    case Type::integer: n = integer_value(other); break;
    case Type::float_:
      if (!float_not_finite(float_value(other)) && !float_out_of_int_range(other)) {
        n = number_to_int32(other);
        break;
      }
      [[fallthrough]];
    case Type::point2d: return point_extreme(*pair_to_point2D(pair), other, greater);
    case Type::pair: {
      const int32_t x = pick(pair_x(pair), pair_x(other), pair_x(pair) < pair_x(other), greater);
      const int32_t y = pick(pair_y(pair), pair_y(other), pair_y(pair) < pair_y(other), greater);
      return *pair_make_at(pair, x, y);
    }
    default: return std::nullopt;
  }
  return *pair_make_at(pair, pick(pair_x(pair), n, pair_x(pair) < n, greater), pick(pair_y(pair), n, pair_y(pair) < n, greater));
}

// The byte a number stands for against a tuple: truncated toward zero and clamped to 0..255 (a
// NaN is script type-limit).
uint8_t tuple_byte_of(const Cell& number) {
  if (cell_type(number) == Type::integer) return static_cast<uint8_t>(std::clamp(integer_value(number), 0, 255));
  const double value = float_value(number);
  if (std::isnan(value)) number_to_int32(number);  // raises
  return static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
}

// A tuple against an integer! or float! (every byte) or a tuple of its length (byte by byte).
std::optional<Cell> tuple_extreme(Cell tuple, const Cell& other, bool greater) {
  const int length = tuple_length(tuple);
  const bool number = cell_type(other) == Type::integer || cell_type(other) == Type::float_;
  if (!number && !(cell_type(other) == Type::tuple && tuple_length(other) == length)) return std::nullopt;
  const uint8_t scalar = number ? tuple_byte_of(other) : 0;
  uint8_t* bytes = tuple_bytes(tuple);
  for (int i = 0; i < length; ++i) {
    const uint8_t b = number ? scalar : tuple_bytes(other)[i];
    bytes[i] = pick(bytes[i], b, bytes[i] < b, greater);
  }
  return tuple;
}

// The component-wise result of a composite first argument, or nothing when the combination has
// none.
std::optional<Cell> composite_extreme(const Cell& value1, const Cell& value2, bool greater) {
  if (cell_type(value1) == Type::tuple) return tuple_extreme(value1, value2, greater);
  if (cell_type(value1) == Type::pair) return pair_extreme(value1, value2, greater);
  if (point_type(cell_type(value1))) return point_extreme(value1, value2, greater);
  return std::nullopt;
}

// max (greater) and min: a NaN number against a number wins; a number against a composite
// changes places with it, and composites combine component by component; anything else is one
// lesser comparison that picks an argument, unchanged.
Status pick_extreme(bool greater) {
  Cell value1 = value_stack.base[0];
  Cell value2 = value_stack.base[1];
  if (scalar_number(cell_type(value1)) && scalar_number(cell_type(value2))) {
    if (nan_number(value1)) return stack_set_result_only(value1), Status{};
    if (nan_number(value2)) return stack_set_result_only(value2), Status{};
  }
  if (scalar_number(cell_type(value1)) && composite_type(cell_type(value2))) std::swap(value1, value2);
  if (const std::optional<Cell> combined = composite_extreme(value1, value2, greater)) {
    stack_set_result_only(*combined);
    return {};
  }
  stack_set_result_only(pick(value1, value2, compare_values(value1, value2, kCompareLesser), greater));
  return {};
}

}  // namespace

// negative? number
Status native_negative(const int32_t*) { return answer_logic(argument_sign() == Sign::negative); }

// positive? number
Status native_positive(const int32_t*) { return answer_logic(argument_sign() == Sign::positive); }

// sign? number: 1, 0 or -1 (0 for a NaN, which is neither side).
Status native_sign(const int32_t*) {
  const Sign sign = argument_sign();
  integer_box(sign == Sign::positive ? 1 : sign == Sign::negative ? -1 : 0);
  stack_keep_first();
  return {};
}

// zero? value: tuples, pairs and points when every component is 0.
Status native_zero(const int32_t*) {
  const Cell& value = value_stack.base[0];
  switch (cell_type(value)) {
    case Type::tuple: return answer_logic(tuple_zero(value));
    case Type::pair:
    case Type::point2d:
    case Type::point3d: return answer_logic(coordinates_zero(value));
    default: return answer_logic(argument_sign() == Sign::zero);
  }
}

// NaN? value: a float! or percent! holding a NaN; an integer! never is.
Status native_nan(const int32_t*) { return answer_logic(nan_number(value_stack.base[0])); }

Status native_max(const int32_t*) { return pick_extreme(true); }
Status native_min(const int32_t*) { return pick_extreme(false); }

// shift data bits /left /logical
Status native_shift(const int32_t* refinements) {
  const int32_t data = integer_value(value_stack.base[0]);
  const int32_t bits = integer_value(value_stack.base[1]);
  integer_box(integer_shift(data, bits, refinement_flag(refinements[0]), refinement_flag(refinements[1])));
  stack_keep_first();
  return {};
}

// to-hex value /size length: eight upper-case digits, or the last `length` of them, as an issue!.
Status native_to_hex(const int32_t* refinements) {
  const HexText text = integer_to_hex_text(integer_value(value_stack.base[0]), false);
  std::string_view digits = text.view();
  if (const Cell* size = refinement_argument(refinements[0])) {
    const int32_t length = integer_value(*size);
    if (length <= 0) raise_error(error_id("script", "invalid-arg"), *size);
    if (static_cast<size_t>(length) < digits.size()) digits.remove_prefix(digits.size() - length);
  }
  const Cell issue = make_cell(Type::issue, global_context(), symbol_intern_bytes(digits), kUnresolved);
  stack_set_result_only(issue);
  return {};
}

}  // namespace qel

// number-natives.cpp: sign tests, NaN?, max and min, shift and to-hex.
#include "evaluator/number-natives.h"

#include <cmath>

#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/tuple.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/error-raise.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Where a value lies against zero; a NaN lies nowhere.
enum class Sign : uint8_t { negative, zero, positive, unordered };

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

// max (greater) and min: a NaN number against a number wins; otherwise one lesser comparison
// picks an argument, unchanged: max value1 on a tie, min value2.
Status pick_extreme(bool greater) {
  const Cell value1 = value_stack.base[0];
  const Cell value2 = value_stack.base[1];
  if (scalar_number(cell_type(value1)) && scalar_number(cell_type(value2))) {
    if (nan_number(value1)) return stack_set_result_only(value1), Status{};
    if (nan_number(value2)) return stack_set_result_only(value2), Status{};
  }
  const bool lesser = compare_values(value1, value2, kCompareLesser);
  stack_set_result_only(greater == lesser ? value2 : value1);
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

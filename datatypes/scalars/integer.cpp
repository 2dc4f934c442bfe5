// integer.cpp: integer! actions, the integer arithmetic core and the routing of arithmetic by
// the other operand's type.
#include "datatypes/scalars/integer.h"

#include <array>
#include <charconv>
#include <climits>
#include <cmath>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/unset.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/vector.h"
#include "evaluator/random.h"
#include "loader/number-scanners.h"
#include "runtime/datatype-registry.h"
#include "runtime/quit.h"

namespace qel {

int32_t integer_absolute_checked(int32_t value) {
  if (value == INT32_MIN) raise_math_overflow();
  return value < 0 ? -value : value;
}

IntegerText integer_form_decimal(int32_t value) {
  IntegerText text{};
  char* end = std::to_chars(text.chars, text.chars + sizeof text.chars - 1, value).ptr;
  *end = '\0';
  text.length = static_cast<uint8_t>(end - text.chars);
  return text;
}

// --- The arithmetic core ----------------------------------------------------------------------------

namespace {

// Divide and remainder refuse 0 and the one quotient that leaves the range.
void check_division(int32_t left, int32_t right) {
  if (right == 0) raise_zero_divide();
  if (left == INT32_MIN && right == -1) raise_math_overflow();
}

// Add, subtract or multiply in 32 bits (wrapping); true when the exact result does not fit.
bool wrapping_op(int32_t left, int32_t right, int32_t op, int32_t& answer) {
  switch (op) {
    case kOpAdd: return __builtin_add_overflow(left, right, &answer);
    case kOpSubtract: return __builtin_sub_overflow(left, right, &answer);
    default: return __builtin_mul_overflow(left, right, &answer);
  }
}

// The exact result of add, subtract or multiply, in doubles.
double exact_op(double left, double right, int32_t op) {
  return op == kOpAdd ? left + right : op == kOpSubtract ? left - right : left * right;
}

}  // namespace

int32_t integer_math_op(int32_t left, int32_t right, int32_t op, Cell* result) {
  int32_t answer;
  switch (op) {
    case kOpAdd:
    case kOpSubtract:
    case kOpMultiply:
      if (wrapping_op(left, right, op, answer) && result) {
        float_make_at(*result, exact_op(left, right, op));
        return answer;
      }
      break;
    case kOpDivide:
      check_division(left, right);
      answer = left / right;
      if (result && left % right != 0) {
        float_make_at(*result, static_cast<double>(left) / static_cast<double>(right));
        return answer;
      }
      break;
    case kOpRemainder:
      check_division(left, right);
      answer = left % right;
      break;
    case kOpOr: answer = left | right; break;
    case kOpAnd: answer = left & right; break;
    case kOpXor: answer = left ^ right; break;
    default: fatal_no_match_switch();
  }
  if (result) integer_make_at(*result, answer);
  return answer;
}

namespace {

// --- Arithmetic actions --------------------------------------------------------------------------

// What integer! arithmetic does by the type of its second operand: value1 is also the result.
// A type without a row raises script invalid-type; the types built on these numbers add rows.
using IntegerOperandRoute = void (*)(Cell& value1, Cell& value2, int32_t op);

void by_integer(Cell& value1, Cell& value2, int32_t op) {
  integer_math_op(integer_value(value1), integer_value(value2), op, &value1);
}

constexpr auto kIntegerOperandRoutes = [] {
  std::array<IntegerOperandRoute, kTypeTableRows> routes{};
  routes[type_index(Type::integer)] = by_integer;
  routes[type_index(Type::char_)] = by_integer;
  routes[type_index(Type::float_)] = float_arithmetic;
  routes[type_index(Type::percent)] = float_arithmetic;
  for (Type type : {Type::pair, Type::point2d, Type::point3d}) routes[type_index(type)] = coordinate_math_from_number;
  routes[type_index(Type::tuple)] = tuple_math_op;
  routes[type_index(Type::time)] = float_arithmetic;
  routes[type_index(Type::date)] = date_math_swapped;
  routes[type_index(Type::vector)] = vector_number_op;
  routes[type_index(Type::money)] = money_math;
  return routes;
}();

// add, subtract, multiply, divide, remainder, and~, or~ and xor~ on the frame's two arguments.
template <int32_t Op>
void integer_arithmetic() {
  Cell* base = value_stack.base;
  IntegerOperandRoute route = kIntegerOperandRoutes[type_index(cell_type(base[1]))];
  if (!route) raise_invalid_type(base[1]);
  route(base[0], base[1], Op);
}

// base ^ exponent by squaring for exponent >= 0; false when a product leaves 32 bits.
bool power_by_squaring(int32_t base, int32_t exponent, int32_t& result) {
  result = 1;
  while (exponent != 0) {
    if ((exponent & 1) && __builtin_mul_overflow(result, base, &result)) return false;
    exponent >>= 1;
    if (exponent != 0 && __builtin_mul_overflow(base, base, &base)) return false;
  }
  return true;
}

// An integer! result while the power stays in 32 bits; a float! one for a float! or negative
// exponent and when it overflows.
void integer_power() {
  Cell* base = value_stack.base;
  const Cell& exponent = base[1];
  Type type = cell_type(exponent);
  if (type != Type::integer && type != Type::float_) raise_expect_arg(1, exponent);
  int32_t result;
  if (type == Type::integer && integer_value(exponent) >= 0 &&
      power_by_squaring(integer_value(base[0]), integer_value(exponent), result)) {
    integer_make_at(base[0], result);
    return;
  }
  float_power(base[0], exponent);
}

// --- round ---------------------------------------------------------------------------------------

// The multiple of s nearest |value| the refinements choose, from down (toward zero) and up
// (away from zero); r is |value| mod s, not 0.
int64_t round_magnitude(int64_t value, int64_t v, int64_t s, int64_t r, const RoundMode& mode) {
  int64_t down = v - r, up = v + (s - r);
  if (mode.down) return down;
  if (mode.floor) return value > 0 ? down : up;
  if (mode.ceiling) return value > 0 ? up : down;
  if (r < s - r) return down;
  if (r > s - r) return up;
  if (mode.even) return (v / s) % 2 ? up : down;
  if (mode.half_down) return down;
  if (mode.half_ceiling) return value > 0 ? up : down;
  return up;
}

// The value rounded to a multiple of the integer! scale (1 without one), computed in 64 bits;
// only a result outside 32 bits raises math overflow. A float! or percent! scale rounds the
// value as a float!.
void integer_round(Cell& n, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                   bool half_ceiling) {
  const RoundMode mode{even, down, half_down, floor, ceiling, half_ceiling};
  if (scale && cell_type(*scale) != Type::integer) return float_round(n, scale, mode);
  int64_t s = scale ? integer_absolute_checked(integer_value(*scale)) : 1;
  int64_t value = integer_value(n);
  int64_t v = value < 0 ? -value : value;
  if (s == 0 || v % s == 0) return;
  int64_t magnitude = round_magnitude(value, v, s, v % s, mode);
  int64_t result = value < 0 ? -magnitude : magnitude;
  if (result < INT32_MIN || result > INT32_MAX) raise_math_overflow();
  integer_make_at(n, static_cast<int32_t>(result));
}

// --- Conversions -------------------------------------------------------------------------------------

// The integer a text spells from its index on; text that is no 32-bit integer raises bad-to-arg.
int32_t integer_from_text(const Cell& text) {
  int32_t error = 0;
  int32_t value = scan_integer(string_text(text), error);
  if (error) raise_bad_to_arg(Type::integer, text);
  return value;
}

// to: integers and characters by value; float! and percent! truncated toward zero when in range;
// text as the number it spells.
Cell* integer_to(Cell& type, Cell& spec, Type) {
  switch (cell_type(spec)) {
    case Type::integer:
    case Type::char_:
      return integer_make_at(type, integer_value(spec));
    case Type::float_:
    case Type::percent:
      if (float_out_of_int_range(spec)) raise_type_limit(Type::integer);
      return integer_make_at(type, static_cast<int32_t>(float_value(spec)));
    case Type::date:
      return integer_make_at(type, date_to_epoch_seconds(spec));
    case Type::money:
      return integer_make_at(type, money_to_integer(spec));
    case Type::time: {  // whole seconds, halves away from zero
      double seconds = std::round(float_value(spec));
      if (double_out_of_int_range(seconds)) raise_type_limit(Type::integer);
      return integer_make_at(type, static_cast<int32_t>(seconds));
    }
    case Type::binary:
      return integer_make_at(type, integer_from_binary(spec));
    default:
      if (is_text_type(cell_type(spec))) return integer_make_at(type, integer_from_text(spec));
      raise_bad_to_arg(Type::integer, spec);
  }
}

// make: a logic! gives 1 or 0; anything else as to.
Cell* integer_make(Cell& type, Cell& spec, Type type_id) {
  if (cell_type(spec) == Type::logic) return integer_make_at(type, spec.w1 ? 1 : 0);
  return integer_to(type, spec, type_id);
}

// /seed seeds the generator and answers unset; else 1..n (n..-1 for a negative n); 0 stays 0.
// The cell keeps its type: char! inherits this action.
void integer_random(Cell& value, bool seed, bool secure, bool) {
  if (seed) {
    random_seed(integer_value(value));
    value = kUnsetCell;
  } else if (integer_value(value) != 0) {
    set_payload_i32(value, 2, random_integer(secure, integer_value(value)));
  }
}

// --- Form, mold and compare -----------------------------------------------------------------------

int32_t integer_form(const Cell& value, Cell& output, bool, int32_t budget) {
  return output_text(output, integer_form_decimal(integer_value(value)).view(), budget);
}

int32_t integer_mold(const Cell& value, Cell& output, bool, bool, bool, bool, int32_t budget, int32_t) {
  return integer_form(value, output, false, budget);
}

// Integers and characters by value, float!s and percent!s as doubles; the strict codes tell
// every other type apart.
int32_t integer_compare(const Cell& value, const Cell& other, int32_t code) {
  Type type = cell_type(other);
  if (is_strict_code(code) && type != Type::integer) return 1;
  switch (type) {
    case Type::integer:
    case Type::char_:
      return three_way(integer_value(value), integer_value(other));
    case Type::float_:
    case Type::percent:
    case Type::time:
      return float_compare_doubles(integer_value(value), float_value(other), code);
    case Type::money:
      return money_compare_reversed(value, other, code);
    default:
      return kNotComparable;
  }
}

// --- The other actions --------------------------------------------------------------------------------

// The cell keeps its type: char! inherits this action.
void integer_absolute() {
  Cell& value = *value_stack.base;
  set_payload_i32(value, 2, integer_absolute_checked(integer_value(value)));
}

void integer_negate(Cell& number) {
  if (integer_value(number) == INT32_MIN) raise_math_overflow();
  integer_make_at(number, -integer_value(number));
}

Cell* integer_complement(Cell& value) { return integer_make_at(value, ~integer_value(value)); }

bool integer_even(const Cell& number) { return (integer_value(number) & 1) == 0; }
bool integer_odd(const Cell& number) { return (integer_value(number) & 1) != 0; }

}  // namespace

void register_integer_datatype() {
  register_datatype(Type::integer, Type::none_id, "integer!",
                    ActionRow()
                        .set<Act::Make>(integer_make)
                        .set<Act::Random>(integer_random)
                        .set<Act::To>(integer_to)
                        .set<Act::Form>(integer_form)
                        .set<Act::Mold>(integer_mold)
                        .set<Act::Compare>(integer_compare)
                        .set<Act::Absolute>(integer_absolute)
                        .set<Act::Add>(integer_arithmetic<kOpAdd>)
                        .set<Act::Divide>(integer_arithmetic<kOpDivide>)
                        .set<Act::Multiply>(integer_arithmetic<kOpMultiply>)
                        .set<Act::Negate>(integer_negate)
                        .set<Act::Power>(integer_power)
                        .set<Act::Remainder>(integer_arithmetic<kOpRemainder>)
                        .set<Act::Round>(integer_round)
                        .set<Act::Subtract>(integer_arithmetic<kOpSubtract>)
                        .set<Act::EvenQ>(integer_even)
                        .set<Act::OddQ>(integer_odd)
                        .set<Act::And>(integer_arithmetic<kOpAnd>)
                        .set<Act::Complement>(integer_complement)
                        .set<Act::Or>(integer_arithmetic<kOpOr>)
                        .set<Act::Xor>(integer_arithmetic<kOpXor>));
}

}  // namespace qel

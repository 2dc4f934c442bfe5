// float.cpp: float! actions, the float arithmetic core and its routing by the other operand's
// type, round, compare and the double routines other types use.
#include "datatypes/scalars/float.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cfloat>
#include <climits>
#include <cmath>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/float-text.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/time.h"
#include "datatypes/scalars/unset.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/vector.h"
#include "evaluator/random.h"
#include "loader/lexer/single-value-scan.h"
#include "loader/number-scanners.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

// The double of an integer!, char!, float! or percent! cell.
double number_value(const Cell& cell) {
  Type type = cell_type(cell);
  return type == Type::integer || type == Type::char_ ? integer_value(cell) : float_value(cell);
}

// Doubles mapped to integers in their order, so that neighbouring doubles differ by 1 and
// 0.0 and -0.0 meet.
uint64_t ordered_bits(double value) {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  return bits >> 63 ? 0 - bits : bits | uint64_t{1} << 63;
}

uint32_t ordered_bits32(float value) {
  uint32_t bits = std::bit_cast<uint32_t>(value);
  return bits >> 31 ? 0 - bits : bits | uint32_t{1} << 31;
}

template <class T>
T distance(T a, T b) {
  return a > b ? a - b : b - a;
}

}  // namespace

// --- Double routines -------------------------------------------------------------------------------

int32_t float_round_to_int(double value) {
  if (value != value) return 0;
  double low = std::floor(value);
  double nearest = value - low >= 0.5 ? low + 1.0 : low;
  if (nearest >= 2147483647.0) return INT32_MAX;
  if (nearest <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(nearest);
}

bool float_almost_equal(double a, double b) {
  if (a != a || b != b) return false;
  if (a == b || std::fabs(a - b) < kFloatEpsilon) return true;
  return distance(ordered_bits(a), ordered_bits(b)) <= 10;
}

bool float32_almost_equal(float a, float b) {
  if (a != a || b != b) return false;
  if (a == b) return true;
  if (std::fabs(a) >= FLT_MAX || std::fabs(b) >= FLT_MAX) {
    uint32_t bits_a = std::bit_cast<uint32_t>(a), bits_b = std::bit_cast<uint32_t>(b);
    if ((bits_a ^ bits_b) >> 31) return false;
    return distance(bits_a & 0x7FFFFFFF, bits_b & 0x7FFFFFFF) < 0x100000;
  }
  return distance(ordered_bits32(a), ordered_bits32(b)) <= 10;
}

double float_random_value(double value, bool secure) {
  if (!secure) return value * random_next() / 2147483647.0;
  double first = random_secure();
  double second = random_secure();
  return value * (second + first / 2147483647.0) / 2147483648.0;
}

// --- The arithmetic core ----------------------------------------------------------------------------

double float_math_op(double left, double right, int32_t op) {
  switch (op) {
    case kOpAdd: return left + right;
    case kOpSubtract: return left - right;
    case kOpMultiply: return left * right;
    case kOpDivide: return left / right;
    case kOpRemainder:
      if (right != right) return right;
      if (std::isinf(right)) return float_not_finite(left) ? std::nan("") : left;
      return std::fmod(left, right);
    default: {
      Cell caller = stack_caller_name();
      raise_error(error_id("script", "cannot-use"), caller, datatype_cell(Type::float_));
    }
  }
}

namespace {

// What float arithmetic does by the type of its second operand: value1 (an integer!, float! or
// percent!) is also the result. A type without a row raises script invalid-type; the types
// built on doubles add rows.
using FloatOperandRoute = void (*)(Cell& value1, Cell& value2, int32_t op);

// The type of a float core result: a time! operand makes a time! (but time! by time! divides
// to a float!), else a percent! stays percent! whatever the number it meets; anything else gives
// a float!. A time! or percent! refuses a char!.
Type float_result_type(const Cell& value1, const Cell& value2, int32_t op) {
  Type left = cell_type(value1), right = cell_type(value2);
  if ((left == Type::percent || left == Type::time) && right == Type::char_) raise_invalid_type(value2);
  if (left == Type::time || right == Type::time)
    return op == kOpDivide && left == Type::time && right == Type::time ? Type::float_ : Type::time;
  return left == Type::percent ? Type::percent : Type::float_;
}

// Numbers: the float core on the two doubles. A time! result must be finite.
void by_number(Cell& value1, Cell& value2, int32_t op) {
  Type result = float_result_type(value1, value2, op);
  double right = number_value(value2);
  double answer = float_math_op(number_value(value1), right, op);
  if (result == Type::time) answer = time_checked_result(answer, right, op);
  float_make_at(value1, answer, result);
}

constexpr auto kFloatOperandRoutes = [] {
  std::array<FloatOperandRoute, kTypeTableRows> routes{};
  for (Type type : {Type::integer, Type::char_, Type::float_, Type::percent, Type::time})
    routes[type_index(type)] = by_number;
  for (Type type : {Type::pair, Type::point2d, Type::point3d}) routes[type_index(type)] = coordinate_math_from_number;
  routes[type_index(Type::tuple)] = tuple_math_op;
  routes[type_index(Type::vector)] = vector_number_op;
  routes[type_index(Type::money)] = money_math;
  return routes;
}();

template <int32_t Op>
void float_action() {
  float_arithmetic(value_stack.base[0], value_stack.base[1], Op);
}

void float_power_action() { float_power(value_stack.base[0], value_stack.base[1]); }

}  // namespace

void float_arithmetic(Cell& value1, Cell& value2, int32_t op) {
  FloatOperandRoute route = kFloatOperandRoutes[type_index(cell_type(value2))];
  if (!route) raise_invalid_type(value2);
  route(value1, value2, op);
}

void float_power(Cell& value, const Cell& exponent) {
  Type type = cell_type(exponent);
  if (type != Type::integer && type != Type::float_) raise_expect_arg(1, exponent);
  Type result = cell_type(value) == Type::percent ? Type::percent : Type::float_;
  float_make_at(value, std::pow(number_value(value), number_value(exponent)), result);
}

// --- round ---------------------------------------------------------------------------------------

namespace {

// v rounded to an integral double as the refinements say; halves go away from zero unless a
// refinement says otherwise.
double round_integral(double v, const RoundMode& mode) {
  if (mode.down) return std::trunc(v);
  if (mode.floor) return std::floor(v);
  if (mode.ceiling) return std::ceil(v);
  double t = std::fabs(v);
  if (t >= 0x1p52) return v;  // already integral
  double f = std::floor(t);
  bool away;
  if (t != f + 0.5) away = t > f + 0.5;
  else if (mode.even) away = std::fmod(f, 2.0) >= 1.0;
  else if (mode.half_down) away = false;
  else if (mode.half_ceiling) return std::ceil(v);
  else away = true;
  return std::copysign(away ? f + 1.0 : f, v);
}

// x rounded to a multiple of the scale s (s >= 0).
double round_to_scale(double x, double s, const RoundMode& mode) {
  if (s == 0.0 || s < std::fabs(x) * 0x1p-53) return x;  // nothing to round at that scale
  int shift = 0;
  if (s < 1.0) {
    int exponent;
    std::frexp(s, &exponent);
    if (exponent < -1021) {  // 1 / s would overflow: work on both scaled into range
      shift = -exponent;
      s = std::ldexp(s, shift);
      x = std::ldexp(x, shift);
    }
  }
  double result = s >= 1.0 ? round_integral(x / s, mode) * s : round_integral(x * (1.0 / s), mode) / (1.0 / s);
  return shift ? std::ldexp(result, -shift) : result;
}

// The scale's magnitude as a double: an integer!, float!, percent! or time!; a money! scale is
// not-related, any other invalid-type.
double scale_magnitude(const Cell& scale) {
  Type type = cell_type(scale);
  if (type == Type::money) raise_not_related_to_caller(type);
  if (type != Type::integer && type != Type::float_ && type != Type::percent && type != Type::time)
    raise_invalid_type(scale);
  return std::fabs(number_value(scale));
}

}  // namespace

void float_round(Cell& value, const Cell* scale, const RoundMode& mode) {
  Type type = cell_type(value);
  bool percent = type == Type::percent;
  double x = number_value(value);
  double s = scale ? scale_magnitude(*scale) : 1.0;
  if (percent) s /= 100.0;  // a percent! is rounded in percent units
  double rounded = round_to_scale(x, s, mode);
  if (std::isfinite(x) && !std::isfinite(rounded)) raise_math_overflow();
  Type result = scale ? cell_type(*scale) : type == Type::integer ? Type::float_ : type;
  if (result != Type::integer) {
    float_make_at(value, rounded, result);
    return;
  }
  if (double_out_of_int_range(rounded)) raise_math_overflow();
  integer_make_at(value, static_cast<int32_t>(rounded));
}

namespace {

void float_round_action(Cell& n, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                        bool half_ceiling) {
  float_round(n, scale, RoundMode{even, down, half_down, floor, ceiling, half_ceiling});
}

}  // namespace

// --- compare ---------------------------------------------------------------------------------------

int32_t float_compare_doubles(double a, double b, int32_t code) {
  switch (code) {
    case kCompareEqual:
    case kCompareNotEqual:
      return float_almost_equal(a, b) ? 0 : 1;
    case kCompareStrictEqual:
    case kCompareFind:
      return a == b ? 0 : 1;
    case kCompareSame:
      return std::bit_cast<uint64_t>(a) == std::bit_cast<uint64_t>(b) ? 0 : 1;
    default:
      break;
  }
  if (a != a || b != b) {  // every ordering test with a NaN is false
    if (code == kCompareLesser || code == kCompareLesserOrEqual) return 1;
    if (code == kCompareGreater || code == kCompareGreaterOrEqual) return -1;
    return 0;
  }
  return three_way(a, b);
}

namespace {

// Numbers as doubles; strict-equal?, same? and find's equality tell other types apart.
int32_t float_compare(const Cell& value, const Cell& other, int32_t code) {
  Type type = cell_type(other);
  if ((is_strict_code(code) || code == kCompareSame) && type != cell_type(value)) return 1;
  if (type == Type::money) return money_compare_reversed(value, other, code);
  if (type != Type::integer && type != Type::float_ && type != Type::percent && type != Type::time)
    return kNotComparable;
  return float_compare_doubles(float_value(value), number_value(other), code);
}

// --- Conversions -------------------------------------------------------------------------------------

// Exponents beyond this reach zero or infinity from any integer!: the decimal reader saturates.
constexpr double kExponentReach = 100000;

// integer x 10 ^ exponent (a whole number), correctly rounded: the decimal text of the exact
// product read back.
double exact_scaled_integer(int32_t integer, double exponent) {
  char text[40];
  char* end = std::to_chars(text, text + 12, integer).ptr;
  *end++ = 'e';
  end = std::to_chars(end, text + sizeof text, static_cast<int32_t>(std::clamp(exponent, -kExponentReach, kExponentReach))).ptr;
  size_t unconsumed = 0;
  return decimal_text_to_double(std::string_view(text, static_cast<size_t>(end - text)), 0, unconsumed);
}

// value x 10 ^ exponent, scaled in steps of at most 10^300, so that no step overflows or
// underflows while the product itself would not.
double stepped_scale(double value, double exponent) {
  constexpr double kStep = 300;
  if (!std::isfinite(exponent)) return value * std::pow(10.0, exponent);
  double whole = std::trunc(exponent);
  value *= std::pow(10.0, exponent - whole);
  while (whole != 0 && value != 0 && std::isfinite(value)) {
    double step = std::clamp(whole, -kStep, kStep);
    value *= std::pow(10.0, step);
    whole -= step;
  }
  return value;
}

// A block of exactly two numbers, integer! or float!: the first x 10 ^ the second, computed as
// one product: correctly rounded for an integer! and a whole exponent.
double scaled_pair(const Cell& block, Type target) {
  uint32_t length = series_buffer_length(block.w2);
  if (block.w1 > length || length - block.w1 != 2) raise_bad_to_arg(target, block);
  const Cell* cells = series_buffer(block.w2)->head_cell() + block.w1;
  for (int i = 0; i < 2; ++i)
    if (cell_type(cells[i]) != Type::integer && cell_type(cells[i]) != Type::float_) raise_bad_to_arg(target, block);
  const double exponent = number_value(cells[1]);
  if (cell_type(cells[0]) == Type::integer && std::trunc(exponent) == exponent)
    return exact_scaled_integer(integer_value(cells[0]), exponent);
  return stepped_scale(number_value(cells[0]), exponent);
}

// The double a text spells from its index on; empty text or text that does not scan raises
// bad-to-arg.
double float_from_text(const Cell& text) {
  int32_t error = 0;
  UnitText units = string_text(text);
  double value = units.length ? scan_float(units, error) : 0.0;
  if (!units.length || error) raise_bad_to_arg(Type::float_, text);
  return value;
}

// The number a text spells as one value, for percent!: an integer! or a float! or percent! by its
// double; anything else raises bad-to-arg.
double percent_from_text(const Cell& text) {
  const Cell value = scan_single_value(
      text, [](Type type) { return type == Type::integer || type == Type::float_ || type == Type::percent; });
  switch (cell_type(value)) {
    case Type::integer:
    case Type::float_:
    case Type::percent:
      return number_value(value);
    default:
      raise_bad_to_arg(Type::percent, text);
  }
}

// make and to float! or percent!: numbers by value (the same double for float! and percent!),
// blocks of a number and its decimal exponent, and float! from text.
Cell* float_make_to(Cell& type, Cell& spec, Type target) {
  switch (cell_type(spec)) {
    case Type::integer:
    case Type::char_:
    case Type::float_:
    case Type::percent:
    case Type::time:
      return float_make_at(type, number_value(spec), target);
    case Type::money:
      return float_make_at(type, money_to_float(spec), target);
    case Type::block:
    case Type::paren:
    case Type::hash:
      return float_make_at(type, scaled_pair(spec, target), target);
    case Type::binary:
      return float_make_at(type, float_from_binary(spec), target);
    default:
      if (is_text_type(cell_type(spec)))
        return float_make_at(type, target == Type::float_ ? float_from_text(spec) : percent_from_text(spec), target);
      raise_bad_to_arg(target, spec);
  }
}

// /seed seeds the generator with the two halves of the double xor'ed and answers unset; else a
// random double between 0 and the value, of the value's type.
void float_random(Cell& value, bool seed, bool secure, bool) {
  if (seed) {
    random_seed(static_cast<int32_t>(value.w2 ^ value.w3));
    value = kUnsetCell;
    return;
  }
  float_make_at(value, float_random_value(float_value(value), secure), cell_type(value));
}

// --- Form and mold -------------------------------------------------------------------------------

int32_t float_form(const Cell& value, Cell& output, bool, int32_t budget) {
  FloatTextBuffer text;
  return output_text(output, float_to_text(float_value(value), FloatTextMode::float_form, text), budget);
}

// The shortest digits that read back to the same double, with a point always written.
int32_t float_mold(const Cell& value, Cell& output, bool, bool, bool, bool, int32_t budget, int32_t) {
  FloatTextBuffer text;
  return output_text(output, float_format_digits(float_value(value), 0, true, text), budget);
}

// --- The other actions ----------------------------------------------------------------------------------

void float_absolute() {
  Cell& value = *value_stack.base;
  float_make_at(value, double_clear_sign(float_value(value)), cell_type(value));
}

// 0.0 minus the value, so 0.0 and -0.0 both negate to 0.0.
void float_negate(Cell& number) { float_make_at(number, 0.0 - float_value(number), cell_type(number)); }

// The parity of the value truncated toward zero; beyond 2^53 every double is even. Infinities
// and NaN have no integer part: script type-limit, as to integer! says.
bool float_odd(const Cell& number) {
  double value = float_value(number);
  if (float_not_finite(value)) raise_type_limit(Type::integer);
  double whole = std::trunc(value);
  return std::fabs(whole) < 0x1p53 && (static_cast<int64_t>(whole) & 1) != 0;
}
bool float_even(const Cell& number) { return !float_odd(number); }

}  // namespace

void register_float_datatype() {
  register_datatype(Type::float_, Type::none_id, "float!",
                    ActionRow()
                        .set<Act::Make>(float_make_to)
                        .set<Act::Random>(float_random)
                        .set<Act::To>(float_make_to)
                        .set<Act::Form>(float_form)
                        .set<Act::Mold>(float_mold)
                        .set<Act::Compare>(float_compare)
                        .set<Act::Absolute>(float_absolute)
                        .set<Act::Add>(float_action<kOpAdd>)
                        .set<Act::Divide>(float_action<kOpDivide>)
                        .set<Act::Multiply>(float_action<kOpMultiply>)
                        .set<Act::Negate>(float_negate)
                        .set<Act::Power>(float_power_action)
                        .set<Act::Remainder>(float_action<kOpRemainder>)
                        .set<Act::Round>(float_round_action)
                        .set<Act::Subtract>(float_action<kOpSubtract>)
                        .set<Act::EvenQ>(float_even)
                        .set<Act::OddQ>(float_odd));
}

}  // namespace qel

// char.cpp: char! actions: conversions, arithmetic kept inside the code point range, form,
// mold through the character escape, and compare.
#include "datatypes/scalars/char.h"

#include <cmath>

#include "datatypes/scalars/char-escape.h"
#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "datatypes/series/vector.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

constexpr bool in_code_point_range(int64_t value) { return value >= 0 && value <= kLargestCodePoint; }

// make and to: integers and characters by value, float! and percent! truncated toward zero (a
// number outside 0 to U+10FFFF raises script out-of-range), a text by the code point at its
// index.
Cell* char_make_to(Cell& type, Cell& spec, Type) {
  int64_t value;
  switch (cell_type(spec)) {
    case Type::char_:
    case Type::integer:
      value = integer_value(spec);
      break;
    case Type::float_:
    case Type::percent:
      value = float_out_of_int_range(spec) ? -1 : static_cast<int64_t>(float_value(spec));
      break;
    case Type::string: case Type::file: case Type::url: case Type::tag: case Type::email: case Type::ref:
      return char_make_at(type, char_from_text(spec));
    case Type::binary:
      return char_make_at(type, char_from_binary(spec));
    default:
      raise_bad_to_arg(Type::char_, spec);
  }
  if (!in_code_point_range(value)) raise_error(error_id("script", "out-of-range"), spec);
  return char_make_at(type, static_cast<uint32_t>(value));
}

// The second operand of char! arithmetic as a 32-bit number: integers and characters by value,
// a float! truncated toward zero (one beyond 32 bits cannot give a code point: math overflow).
int32_t char_operand(const Cell& operand) {
  switch (cell_type(operand)) {
    case Type::char_:
    case Type::integer:
      return integer_value(operand);
    case Type::float_:
      if (float_out_of_int_range(operand)) raise_math_overflow();
      return static_cast<int32_t>(float_value(operand));
    default:
      raise_invalid_type(operand);
  }
}

// add, subtract, multiply, divide (truncating), remainder, and~, or~ and xor~ through the
// integer core; a result that overflows 32 bits or leaves the code point range raises math
// overflow.
template <int32_t Op>
void char_arithmetic() {
  Cell& value = value_stack.base[0];
  if (cell_type(value_stack.base[1]) == Type::vector) return vector_number_op(value, value_stack.base[1], Op);
  int32_t operand = char_operand(value_stack.base[1]);
  int32_t code_point = integer_value(value);
  Cell scratch = make_cell(Type::none);
  int32_t result = integer_math_op(code_point, operand, Op, Op == kOpDivide ? nullptr : &scratch);
  if (cell_type(scratch) == Type::float_ || !in_code_point_range(result)) raise_math_overflow();
  char_make_at(value, static_cast<uint32_t>(result));
}

// The code point itself.
int32_t char_form(const Cell& value, Cell& output, bool, int32_t budget) {
  string_append_char(output.w2, char_value(value));
  return budget_less(budget, 1);
}

// #"c" with the character escaped as strings escape it.
int32_t char_mold(const Cell& value, Cell& output, bool, bool, bool, bool, int32_t budget, int32_t) {
  series_append_ascii(output.w2, "#\"");
  string_mold_char(output, char_value(value), false);
  series_append_ascii(output.w2, "\"");
  return budget_less(budget, 4);
}

// Characters and integers by value; the strict codes tell every other type apart.
int32_t char_compare(const Cell& value, const Cell& other, int32_t code) {
  Type type = cell_type(other);
  if (is_strict_code(code) && type != Type::char_) return 1;
  if (type != Type::char_ && type != Type::integer) return kNotComparable;
  return three_way(integer_value(value), integer_value(other));
}

}  // namespace

void register_char_datatype() {
  register_datatype(Type::char_, Type::integer, "char!",
                    ActionRow()
                        .set<Act::Make>(char_make_to)
                        .inherit<Act::Random>()
                        .set<Act::To>(char_make_to)
                        .set<Act::Form>(char_form)
                        .set<Act::Mold>(char_mold)
                        .set<Act::Compare>(char_compare)
                        .inherit<Act::Absolute>()
                        .set<Act::Add>(char_arithmetic<kOpAdd>)
                        .set<Act::Divide>(char_arithmetic<kOpDivide>)
                        .set<Act::Multiply>(char_arithmetic<kOpMultiply>)
                        .set<Act::Remainder>(char_arithmetic<kOpRemainder>)
                        .set<Act::Subtract>(char_arithmetic<kOpSubtract>)
                        .inherit<Act::EvenQ>()
                        .inherit<Act::OddQ>()
                        .set<Act::And>(char_arithmetic<kOpAnd>)
                        .set<Act::Or>(char_arithmetic<kOpOr>)
                        .set<Act::Xor>(char_arithmetic<kOpXor>));
}

}  // namespace qel

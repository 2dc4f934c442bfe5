// pair.cpp: pair! arithmetic, make and to, and the registration.
#include "datatypes/scalars/pair.h"

#include <cmath>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/scalar-errors.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

// Runs the operation on points: the pair as a point2D!, the operand as it is.
void as_points(Cell& value, Cell& other, int32_t op) {
  pair_to_point2D(value);
  point_math_op(value, other, op);
}

// x op rx and y op ry through the integer core; when either is no 32-bit integer the operation
// is redone on points from the coordinates before the step.
void integer_step(Cell& value, Cell& other, int32_t rx, int32_t ry, int32_t op) {
  Cell x, y;
  integer_math_op(pair_x(value), rx, op, &x);
  integer_math_op(pair_y(value), ry, op, &y);
  if (cell_type(x) == Type::integer && cell_type(y) == Type::integer) {
    pair_make_at(value, integer_value(x), integer_value(y));
    return;
  }
  point2D_make_at(other, static_cast<float>(rx), static_cast<float>(ry));
  as_points(value, other, op);
}

// A float! or percent! operand: multiply and divide give a point2D! of the exact products or
// quotients; other operations truncate it to an integer, or run on points when it lies beyond
// 32 bits. Infinities (NaN too, except for divide) raise script invalid-arg.
void float_step(Cell& value, Cell& other, int32_t op) {
  const double f = float_value(other);
  if (op == kOpDivide ? f != f : float_not_finite(f)) raise_error(error_id("script", "invalid-arg"), other);
  if (op == kOpMultiply || op == kOpDivide) {
    double x = pair_x(value), y = pair_y(value);
    point2D_make_at(value, static_cast<float>(op == kOpMultiply ? x * f : x / f),
                    static_cast<float>(op == kOpMultiply ? y * f : y / f));
    return;
  }
  const double whole = std::trunc(f);
  if (double_out_of_int_range(whole)) return as_points(value, other, op);
  integer_step(value, other, static_cast<int32_t>(whole), static_cast<int32_t>(whole), op);
}

// A float that must name a 32-bit integer once truncated, else script invalid-arg naming it.
int32_t whole_coordinate(double f, const Cell& culprit) {
  const double whole = std::trunc(f);
  if (double_out_of_int_range(whole)) raise_error(error_id("script", "invalid-arg"), culprit);
  return static_cast<int32_t>(whole);
}

// An integer! as it is, a float! truncated; false for any other value.
bool whole_number(const Cell& value, int32_t& out) {
  if (cell_type(value) == Type::integer) out = integer_value(value);
  else if (cell_type(value) == Type::float_) out = whole_coordinate(float_value(value), value);
  else return false;
  return true;
}

// The first two values of a block from its position, each an integer! or a float!.
Cell* pair_from_block(Cell& result, const Cell& block) {
  int32_t c[2];
  for (uint32_t i = 0; i < 2; ++i) {
    const uint32_t at = block.w1 + i;
    if (at >= series_buffer_length(block.w2)) raise_malconstruct(Type::pair, block);
    if (!whole_number(series_buffer(block.w2)->head_cell()[at], c[i])) raise_malconstruct(Type::pair, block);
  }
  return pair_make_at(result, c[0], c[1]);
}

// make and to: n gives nxn, a float is truncated (it must fit 32 bits), a block holds two
// numbers, a point2D! is truncated, a string spells a pair.
Cell* pair_make_to(Cell& type, Cell& spec, Type) {
  switch (cell_type(spec)) {
    case Type::integer: return pair_make_at(type, integer_value(spec), integer_value(spec));
    case Type::float_: {
      int32_t n = whole_coordinate(float_value(spec), spec);
      return pair_make_at(type, n, n);
    }
    case Type::block: return pair_from_block(type, spec);
    case Type::pair: return &spec;
    case Type::point2d:
      return pair_make_at(type, whole_coordinate(point_coordinate(spec, 0), spec),
                          whole_coordinate(point_coordinate(spec, 1), spec));
    case Type::string: type = coordinate_from_text(spec, Type::pair); return &type;
    default: raise_bad_to_arg(Type::pair, spec);
  }
}

}  // namespace

void pair_math_op(Cell& value, Cell& other, int32_t op) {
  switch (cell_type(other)) {
    case Type::pair: return integer_step(value, other, pair_x(other), pair_y(other), op);
    case Type::integer: return integer_step(value, other, integer_value(other), integer_value(other), op);
    case Type::float_:
    case Type::percent: return float_step(value, other, op);
    case Type::point2d: return as_points(value, other, op);
    default: raise_invalid_type(other);
  }
}

void register_pair_datatype() {
  register_datatype(Type::pair, Type::none_id, "pair!",
                    coordinate_actions(pair_make_to)
                        .set<Act::And>(coordinate_arithmetic<kOpAnd>)
                        .set<Act::Or>(coordinate_arithmetic<kOpOr>)
                        .set<Act::Xor>(coordinate_arithmetic<kOpXor>));
}

}  // namespace qel

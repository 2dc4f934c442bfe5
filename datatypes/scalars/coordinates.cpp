// coordinates.cpp: the field words, path steps, pick, compare, form, the point arithmetic core,
// round, random and the one-line actions that pair!, point2D! and point3D! share.
#include "datatypes/scalars/coordinates.h"

#include <cmath>
#include <utility>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/pair.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/unset.h"
#include "evaluator/path-write-back.h"
#include "evaluator/random.h"
#include "loader/lexer/single-value-scan.h"
#include "runtime/datatype-registry.h"
#include "runtime/action-lookup.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"
#include "runtime/value-hash.h"

namespace qel {

namespace {

constexpr bool is_point(Type type) { return type == Type::point2d || type == Type::point3d; }

// Field `field` (1-3) as a value: an integer! of a pair, the float32 widened of a point.
Cell field_value(const Cell& value, int field) {
  Cell result;
  if (cell_type(value) == Type::pair) integer_make_at(result, field == 1 ? pair_x(value) : pair_y(value));
  else float_make_at(result, point_coordinate(value, field - 1));
  return result;
}

// Stores a field: an integer! into a pair, an integer! or float! (as float32) into a point;
// script invalid-type for anything else.
void store_field(Cell& value, int field, const Cell& new_value) {
  Type type = cell_type(new_value);
  if (cell_type(value) == Type::pair) {
    if (type != Type::integer) raise_invalid_type(new_value);
    set_payload_i32(value, field + 1, integer_value(new_value));
    return;
  }
  if (type != Type::integer && type != Type::float_) raise_invalid_type(new_value);
  double number = type == Type::integer ? integer_value(new_value) : float_value(new_value);
  set_point_coordinate(value, field - 1, static_cast<float>(number));
}

}  // namespace

int coordinate_field_of_word(const Cell& word, int count) {
  const uint32_t canonical = symbol_canonical(word.w2);
  const uint32_t fields[] = {sym_x, sym_y, sym_z};
  for (int i = 0; i < count; ++i)
    if (symbol_canonical(fields[i]) == canonical) return i + 1;
  return 0;
}

Cell* coordinate_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  const int count = coordinate_count(cell_type(value));
  int field = 0;
  if (cell_type(element) == Type::integer) field = integer_value(element);
  else if (cell_type(element) == Type::word) field = coordinate_field_of_word(element, count);
  if (field < 1 || field > count)
    raise_error(error_id("script", "invalid-path"), step.path ? *step.path : value, element);
  if (!new_value) {
    value = field_value(value, field);
    return &value;
  }
  store_field(value, field, *new_value);
  path_write_back(value, field, step);
  return new_value;
}

Cell* coordinate_pick(Cell& value, int32_t index, Cell& index_cell) {
  const int count = coordinate_count(cell_type(value));
  int field = 0;
  if (cell_type(index_cell) == Type::word) {
    field = coordinate_field_of_word(index_cell, count);
    if (!field) raise_error(error_id("script", "cannot-use"), index_cell, value);
  } else if (cell_type(index_cell) == Type::integer) {
    field = index;
  }
  if (field < 1 || field > count) raise_error(error_id("script", "out-of-range"), index_cell);
  value = field_value(value, field);
  return &value;
}

// --- compare -------------------------------------------------------------------------------------

namespace {

// Two points of the same type under a comparison code: equality near, strict or by the bits;
// the orders by the first coordinate whose difference is not near zero.
int32_t point_compare(const Cell& a, const Cell& b, int32_t code) {
  const int count = coordinate_count(cell_type(a));
  bool equal = true;
  for (int i = 0; i < count; ++i) {
    float p = point_coordinate(a, i), q = point_coordinate(b, i);
    switch (code) {
      case kCompareEqual:
      case kCompareNotEqual: equal &= float32_almost_equal(p, q); break;
      case kCompareStrictEqual:
      case kCompareFind: equal &= p == q; break;
      case kCompareSame: equal &= std::bit_cast<uint32_t>(p) == std::bit_cast<uint32_t>(q); break;
      default: {
        float d = p - q;
        if (i + 1 == count || !float32_almost_equal(d, 0.0f)) return d < 0 ? -1 : d > 0 ? 1 : 0;
      }
    }
  }
  return equal ? 0 : 1;
}

}  // namespace

int32_t coordinate_compare(const Cell& value, const Cell& other, int32_t code) {
  Type type = cell_type(value), other_type = cell_type(other);
  if (type == Type::pair && other_type == Type::point2d) {
    Cell point = value;
    return point_compare(*pair_to_point2D(point), other, code);
  }
  if (type == Type::point2d && other_type == Type::pair) {
    Cell point = other;
    return point_compare(value, *pair_to_point2D(point), code);
  }
  if (other_type != type) return kNotComparable;
  if (type != Type::pair) return point_compare(value, other, code);
  if (int32_t order = three_way(pair_x(value), pair_x(other))) return order;
  return three_way(pair_y(value), pair_y(other));
}

// --- form ----------------------------------------------------------------------------------------

int32_t coordinate_form(const Cell& value, Cell& output, bool, int32_t budget) {
  if (cell_type(value) == Type::pair) {
    budget = output_text(output, integer_form_decimal(pair_x(value)).view(), budget);
    budget = output_text(output, "x", budget);
    return output_text(output, integer_form_decimal(pair_y(value)).view(), budget);
  }
  const int count = coordinate_count(cell_type(value));
  budget = output_text(output, "(", budget);
  for (int i = 0; i < count; ++i) {
    FloatTextBuffer text;
    if (i) budget = output_text(output, ", ", budget);
    budget = output_text(output, float_to_text(point_coordinate(value, i), FloatTextMode::float32_bare, text), budget);
  }
  return output_text(output, ")", budget);
}

int32_t coordinate_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t budget, int32_t) {
  return coordinate_form(value, output, part, budget);
}

// --- Arithmetic ----------------------------------------------------------------------------------

namespace {

// A float multiplies and divides a point directly: IEEE answers every case, zero included.
void scale_point(Cell& point, float f, int32_t op) {
  for (int i = 0; i < coordinate_count(cell_type(point)); ++i) {
    float c = point_coordinate(point, i);
    set_point_coordinate(point, i, op == kOpMultiply ? c * f : c / f);
  }
}

}  // namespace

void point_math_op(Cell& value, Cell& other, int32_t op) {
  const int count = coordinate_count(cell_type(value));
  float right[3] = {};
  switch (cell_type(other)) {
    case Type::integer:
      right[0] = right[1] = right[2] = static_cast<float>(integer_value(other));
      break;
    case Type::float_:
    case Type::percent: {
      const float f = static_cast<float>(float_value(other));
      if (op == kOpMultiply || op == kOpDivide) return scale_point(value, f, op);
      right[0] = right[1] = right[2] = f;
      break;
    }
    case Type::pair:
      if (count == 3) raise_invalid_type(other);
      right[0] = static_cast<float>(pair_x(other));
      right[1] = static_cast<float>(pair_y(other));
      break;
    case Type::point2d:
    case Type::point3d:
      if (coordinate_count(cell_type(other)) != count) raise_invalid_type(other);
      for (int i = 0; i < count; ++i) right[i] = point_coordinate(other, i);
      break;
    default:
      raise_invalid_type(other);
  }
  bool exact_divisor = cell_type(other) != Type::float_ && cell_type(other) != Type::percent;
  if (exact_divisor && (op == kOpDivide || op == kOpRemainder))
    for (int i = 0; i < count; ++i)
      if (right[i] == 0.0f) raise_zero_divide();
  float result[3];
  for (int i = 0; i < count; ++i)
    result[i] = static_cast<float>(float_math_op(point_coordinate(value, i), right[i], op));
  for (int i = 0; i < count; ++i) set_point_coordinate(value, i, result[i]);
}

void coordinate_math_op(Cell& value, Cell& other, int32_t op) {
  if (cell_type(value) == Type::pair) pair_math_op(value, other, op);
  else point_math_op(value, other, op);
}

void coordinate_math_from_number(Cell& value1, Cell& value2, int32_t op) {
  Type number = cell_type(value1);
  if (number == Type::time) raise_invalid_type(value2);
  bool integral = number == Type::integer || number == Type::char_;
  if (op == kOpDivide || (op == kOpSubtract && !integral))
    raise_not_related(op == kOpDivide ? "divide" : "subtract", integral ? Type::integer : cell_type(value2));
  std::swap(value1, value2);
  if (op == kOpSubtract) {
    coordinate_negate(value1);
    op = kOpAdd;
  }
  coordinate_math_op(value1, value2, op);
}

// --- One-line actions ----------------------------------------------------------------------------

void coordinate_negate(Cell& value) {
  if (cell_type(value) == Type::pair) {
    // Wrapping -2147483648 would answer a wrong pair; absolute refuses it too.
    if (pair_x(value) == INT32_MIN || pair_y(value) == INT32_MIN) raise_math_overflow();
    pair_make_at(value, -pair_x(value), -pair_y(value));
    return;
  }
  for (int i = 0; i < coordinate_count(cell_type(value)); ++i)
    set_point_coordinate(value, i, 0.0f - point_coordinate(value, i));
}

void coordinate_absolute() {
  Cell& value = *value_stack.base;
  if (cell_type(value) == Type::pair) {
    pair_make_at(value, integer_absolute_checked(pair_x(value)), integer_absolute_checked(pair_y(value)));
    return;
  }
  for (int i = 0; i < coordinate_count(cell_type(value)); ++i)
    set_point_coordinate(value, i, std::fabs(point_coordinate(value, i)));
}

// pair! and point2D! swap x and y, point3D! x and z; /part and /skip are not used.
void coordinate_reverse(Cell& value, Cell*, Cell*) {
  if (cell_type(value) == Type::pair) {
    std::swap(value.w2, value.w3);
    return;
  }
  uint32_t& last = coordinate_count(cell_type(value)) == 3 ? value.w3 : value.w2;
  std::swap(value.w1, last);
}

// /seed seeds the generator (a pair with x xor y, a point with the hash of its coordinates) and
// answers unset; else every coordinate but a zero one is drawn: a pair's from 1 .. c, a point's
// from the float draw.
void coordinate_random(Cell& value, bool seed, bool secure, bool) {
  const bool pair = cell_type(value) == Type::pair;
  if (seed) {
    random_seed(pair ? pair_x(value) ^ pair_y(value) : static_cast<int32_t>(value_hash(value, true)));
    value = kUnsetCell;
    return;
  }
  for (int i = 0; i < coordinate_count(cell_type(value)); ++i) {
    if (pair) {
      int32_t c = payload_i32(value, i + 2);
      if (c) set_payload_i32(value, i + 2, random_integer(secure, c));
    } else if (float c = point_coordinate(value, i); c != 0.0f) {
      set_point_coordinate(value, i, static_cast<float>(float_random_value(c, secure)));
    }
  }
}

// --- round ---------------------------------------------------------------------------------------

namespace {

// The scale of each coordinate: a pair!'s or point's own components where the value's type
// accepts that kind (a missing z scales by 0.0), else the one scale for all; none without /to.
struct CoordinateScales {
  Cell cells[3];
  bool present = false;
};

bool accepts_component_scale(Type value, Type scale) {
  switch (value) {
    case Type::pair: return scale == Type::pair;
    case Type::point2d: return scale == Type::pair || is_point(scale);
    default: return is_point(scale);
  }
}

CoordinateScales scales_of(const Cell& value, const Cell* scale) {
  CoordinateScales scales;
  if (!scale) return scales;
  scales.present = true;
  Type type = cell_type(*scale);
  if (type == Type::money) raise_not_related_to_caller(Type::money);
  for (int i = 0; i < 3; ++i) {
    if (!accepts_component_scale(cell_type(value), type)) scales.cells[i] = *scale;
    else if (type == Type::pair) integer_make_at(scales.cells[i], i < 2 ? payload_i32(*scale, i + 2) : 0);
    else float_make_at(scales.cells[i], i < coordinate_count(type) ? point_coordinate(*scale, i) : 0.0f);
  }
  return scales;
}

// A pair's coordinate through integer! round; a float result (from a float scale) is truncated
// and must fit 32 bits, else math overflow.
int32_t round_pair_coordinate(int32_t c, Cell* scale, const RoundMode& m) {
  auto integer_round = reinterpret_cast<slot_fn<Act::Round>>(action_table[type_index(Type::integer)][slot_index(Act::Round)]);
  Cell n;
  integer_make_at(n, c);
  integer_round(n, scale, m.even, m.down, m.half_down, m.floor, m.ceiling, m.half_ceiling);
  if (cell_type(n) == Type::integer) return integer_value(n);
  double whole = std::trunc(float_value(n));
  if (double_out_of_int_range(whole)) raise_math_overflow();
  return static_cast<int32_t>(whole);
}

// A point's coordinate through float! round. An integer! scale rounds as a float! one would, so
// that no 32-bit step limits the result.
float round_point_coordinate(float c, Cell* scale, const RoundMode& mode) {
  Cell n, float_scale;
  float_make_at(n, c);
  if (scale && cell_type(*scale) == Type::integer) scale = float_make_at(float_scale, integer_value(*scale));
  float_round(n, scale, mode);
  return static_cast<float>(cell_type(n) == Type::integer ? integer_value(n) : float_value(n));
}

}  // namespace

void coordinate_round(Cell& value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                      bool half_ceiling) {
  const RoundMode mode{even, down, half_down, floor, ceiling, half_ceiling};
  CoordinateScales scales = scales_of(value, scale);
  const int count = coordinate_count(cell_type(value));
  for (int i = 0; i < count; ++i) {
    Cell* s = scales.present ? &scales.cells[i] : nullptr;
    if (cell_type(value) == Type::pair) set_payload_i32(value, i + 2, round_pair_coordinate(payload_i32(value, i + 2), s, mode));
    else set_point_coordinate(value, i, round_point_coordinate(point_coordinate(value, i), s, mode));
  }
}

// --- Conversions ---------------------------------------------------------------------------------

Cell coordinate_from_text(const Cell& text, Type target) {
  const Cell value = scan_single_value_as(text, target);
  if (cell_type(value) != target) raise_bad_to_arg(target, text);
  return value;
}

namespace {

// The first `count` values of a block from its position, each an integer! or a float!, as
// float32; else syntax malconstruct.
void point_from_block(Cell& result, const Cell& block, Type target) {
  const int count = coordinate_count(target);
  float c[3] = {};
  for (int i = 0; i < count; ++i) {
    const uint32_t at = block.w1 + static_cast<uint32_t>(i);
    if (at >= series_buffer_length(block.w2)) raise_malconstruct(target, block);
    const Cell item = series_buffer(block.w2)->head_cell()[at];
    if (cell_type(item) == Type::integer) c[i] = static_cast<float>(integer_value(item));
    else if (cell_type(item) == Type::float_) c[i] = static_cast<float>(float_value(item));
    else raise_malconstruct(target, block);
  }
  coordinate_set_type(result, target);
  for (int i = 0; i < count; ++i) set_point_coordinate(result, i, c[i]);
}

}  // namespace

Cell* point_make(Cell& type, Cell& spec, Type target) {
  const int count = coordinate_count(target);
  float c[3] = {};
  switch (cell_type(spec)) {
    case Type::integer: c[0] = c[1] = c[2] = static_cast<float>(integer_value(spec)); break;
    case Type::float_: c[0] = c[1] = c[2] = static_cast<float>(float_value(spec)); break;
    case Type::block: point_from_block(type, spec, target); return &type;
    case Type::pair: c[0] = static_cast<float>(pair_x(spec)); c[1] = static_cast<float>(pair_y(spec)); break;
    case Type::point2d: c[0] = point_coordinate(spec, 0); c[1] = point_coordinate(spec, 1); break;
    case Type::point3d:
      if (target != Type::point3d) raise_bad_to_arg(target, spec);
      return &spec;
    case Type::string: type = coordinate_from_text(spec, target); return &type;
    default: raise_bad_to_arg(target, spec);
  }
  coordinate_set_type(type, target);
  for (int i = 0; i < count; ++i) set_point_coordinate(type, i, c[i]);
  return &type;
}

ActionRow coordinate_actions(slot_fn<Act::Make> make_to) {
  return ActionRow()
      .set<Act::Make>(make_to)
      .set<Act::Random>(coordinate_random)
      .set<Act::To>(make_to)
      .set<Act::Form>(coordinate_form)
      .set<Act::Mold>(coordinate_mold)
      .set<Act::PathStep>(coordinate_path_step)
      .set<Act::Compare>(coordinate_compare)
      .set<Act::Absolute>(coordinate_absolute)
      .set<Act::Add>(coordinate_arithmetic<kOpAdd>)
      .set<Act::Divide>(coordinate_arithmetic<kOpDivide>)
      .set<Act::Multiply>(coordinate_arithmetic<kOpMultiply>)
      .set<Act::Negate>(coordinate_negate)
      .set<Act::Remainder>(coordinate_arithmetic<kOpRemainder>)
      .set<Act::Round>(coordinate_round)
      .set<Act::Subtract>(coordinate_arithmetic<kOpSubtract>)
      .set<Act::Pick>(coordinate_pick)
      .set<Act::Reverse>(coordinate_reverse);
}

void raise_malconstruct(Type target, const Cell& spec) {
  raise_error(error_id("syntax", "malconstruct"), datatype_cell(target), spec);
}

}  // namespace qel

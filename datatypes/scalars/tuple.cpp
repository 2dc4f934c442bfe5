// tuple.cpp: tuple! conversions, saturating arithmetic, fields, reverse and the services other
// types use.
#include "datatypes/scalars/tuple.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/unset.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "evaluator/path-write-back.h"
#include "evaluator/random.h"
#include "loader/lexer/single-value-scan.h"
#include "runtime/datatype-registry.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"

namespace qel {

// --- Services ------------------------------------------------------------------------------------

Cell* tuple_push_components(std::span<const int32_t> components) {
  uint8_t bytes[kTupleMaxLength] = {};
  const size_t count = std::min<size_t>(components.size(), kTupleMaxLength);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(components[i]);
  return tuple_make_at(*stack_push_cell(), {bytes, count});
}

Cell* tuple_push_packed(int length, uint32_t w1, uint32_t w2, uint32_t w3) {
  Cell* cell = stack_push_cell();
  *cell = make_cell(Type::tuple, w1, w2, w3);
  set_tuple_length(*cell, std::clamp(length, kTupleMinLength, kTupleMaxLength));
  return cell;
}

Cell* tuple_make_at_rgba(Cell& cell, int32_t r, int32_t g, int32_t b, int32_t a) {
  const uint8_t bytes[] = {static_cast<uint8_t>(r), static_cast<uint8_t>(g), static_cast<uint8_t>(b),
                           static_cast<uint8_t>(a)};
  return tuple_make_at(cell, {bytes, a == -1 ? 3u : 4u});
}

bool tuple_zero(const Cell& tuple) {
  const uint8_t* bytes = tuple_bytes(tuple);
  return std::all_of(bytes, bytes + tuple_length(tuple), [](uint8_t b) { return b == 0; });
}

// --- Arithmetic ----------------------------------------------------------------------------------

namespace {

// A double result as a component: truncated toward zero and held to 0..255; NaN gives 0 and the
// infinities their ends.
uint8_t clamp_double(double v) {
  if (v != v || v <= 0.0) return 0;
  if (v >= 255.0) return 255;
  return static_cast<uint8_t>(v);
}

// An integer operation on two components: an add, subtract or multiply leaving 32 bits gives
// 255 when the exact result is positive, else 0; divide truncates; the result is held to 0..255.
uint8_t integer_component(int32_t l, int32_t r, int32_t op) {
  Cell scratch;
  int32_t v = integer_math_op(l, r, op, &scratch);
  if (cell_type(scratch) == Type::float_ && op != kOpDivide) return float_value(scratch) > 0 ? 255 : 0;
  return static_cast<uint8_t>(std::clamp(v, 0, 255));
}

void by_float(Cell& tuple, double f, int32_t op) {
  uint8_t* bytes = tuple_bytes(tuple);
  for (int i = 0; i < tuple_length(tuple); ++i) bytes[i] = clamp_double(float_math_op(bytes[i], f, op));
}

// With an integer! (is_tuple false) or a tuple's components: the longer length wins.
void by_components(Cell& tuple, const Cell& other, int32_t op) {
  const bool is_tuple = cell_type(other) == Type::tuple;
  const int length = is_tuple ? std::max(tuple_length(tuple), tuple_length(other)) : tuple_length(tuple);
  uint8_t result[kTupleMaxLength] = {};
  const uint8_t* left = tuple_bytes(tuple);
  for (int i = 0; i < length; ++i) {
    int32_t l = i < tuple_length(tuple) ? left[i] : 0;
    int32_t r = !is_tuple ? integer_value(other) : i < tuple_length(other) ? tuple_bytes(other)[i] : 0;
    result[i] = integer_component(l, r, op);
  }
  tuple_make_at(tuple, {result, static_cast<size_t>(length)});
}

}  // namespace

void tuple_math_op(Cell& value1, Cell& value2, int32_t op) {
  if (cell_type(value1) != Type::tuple) {
    if (op == kOpSubtract || op == kOpDivide)
      raise_not_related(op == kOpDivide ? "divide" : "subtract", cell_type(value1));
    std::swap(value1, value2);
  }
  switch (cell_type(value2)) {
    case Type::tuple:
    case Type::integer: return by_components(value1, value2, op);
    case Type::float_:
    case Type::percent: return by_float(value1, float_value(value2), op);
    default: raise_invalid_type(value2);
  }
}

namespace {

template <int32_t Op>
void tuple_arithmetic() {
  tuple_math_op(value_stack.base[0], value_stack.base[1], Op);
}

// --- make and to ---------------------------------------------------------------------------------

// A block's value as a component: an integer! or char! of 0..255, or a float! that truncates
// into that range; false for anything else.
bool component_of(const Cell& item, uint8_t& out) {
  double v;
  switch (cell_type(item)) {
    case Type::integer:
    case Type::char_: v = integer_value(item); break;
    case Type::float_: v = float_value(item); break;
    default: return false;
  }
  if (!(v > -1.0 && v < 256.0)) return false;
  out = static_cast<uint8_t>(v);
  return true;
}

Cell* tuple_from_block(Cell& result, const Cell& block) {
  const uint32_t length = series_buffer_length(block.w2);
  const uint32_t count = block.w1 < length ? length - block.w1 : 0;
  if (count > kTupleMaxLength) raise_bad_to_arg(Type::tuple, block);
  uint8_t bytes[kTupleMaxLength];
  for (uint32_t i = 0; i < count; ++i)
    if (!component_of(series_buffer(block.w2)->head_cell()[block.w1 + i], bytes[i])) raise_bad_to_arg(Type::tuple, block);
  return tuple_make_at(result, {bytes, count});
}

Cell* tuple_from_binary(Cell& result, const Cell& binary) {
  const int64_t count = std::min<int64_t>(series_length_after(binary), kTupleMaxLength);
  return tuple_make_at(result, {series_unit_address(binary, series_clamped_index(binary)), static_cast<size_t>(count)});
}

// An issue's text as a colour: 3 digits (each doubled), 6 or 8 digits in pairs. Any other
// length, or any character that is no hexadecimal digit: script invalid-data.
Cell* tuple_from_issue(Cell& result, const Cell& issue) {
  const std::string_view name = symbol_name(issue.w2);
  const size_t count = name.size();
  int digits[8];
  for (size_t i = 0; i < count && count <= 8; ++i)
    if ((digits[i] = hex_digit_value(static_cast<uint8_t>(name[i]))) < 0) raise_error(error_id("script", "invalid-data"), issue);
  if (count != 3 && count != 6 && count != 8) raise_error(error_id("script", "invalid-data"), issue);
  uint8_t bytes[4];
  const size_t components = count == 3 ? 3 : count / 2;
  for (size_t i = 0; i < components; ++i)
    bytes[i] = static_cast<uint8_t>(count == 3 ? digits[i] * 17 : digits[2 * i] * 16 + digits[2 * i + 1]);
  return tuple_make_at(result, {bytes, components});
}

Cell* tuple_make_to(Cell& type, Cell& spec, Type) {
  switch (cell_type(spec)) {
    case Type::block:
    case Type::paren:
    case Type::hash: return tuple_from_block(type, spec);
    case Type::binary: return tuple_from_binary(type, spec);
    case Type::issue: return tuple_from_issue(type, spec);
    case Type::tuple: return &spec;
    default:
      if (is_text_type(cell_type(spec))) {
        type = scan_single_value_as(spec, Type::tuple);
        if (cell_type(type) == Type::tuple) return &type;
      }
      raise_bad_to_arg(Type::tuple, spec);
  }
}

// --- The other actions ---------------------------------------------------------------------------

// /seed seeds with the xor of the three payload words and answers unset; else each component c
// becomes a draw from 0..c.
void tuple_random(Cell& value, bool seed, bool secure, bool) {
  if (seed) {
    random_seed(static_cast<int32_t>(value.w1 ^ value.w2 ^ value.w3));
    value = kUnsetCell;
    return;
  }
  uint8_t* bytes = tuple_bytes(value);
  for (int i = 0; i < tuple_length(value); ++i) bytes[i] = static_cast<uint8_t>(random_integer(secure, bytes[i] + 1) - 1);
}

int32_t tuple_form(const Cell& value, Cell& output, bool, int32_t budget) {
  for (int i = 0; i < tuple_length(value); ++i) {
    if (i) budget = output_text(output, ".", budget);
    budget = output_text(output, integer_form_decimal(tuple_bytes(value)[i]).view(), budget);
  }
  return budget;
}

int32_t tuple_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t budget, int32_t) {
  return tuple_form(value, output, part, budget);
}

// Component by component as unsigned bytes over the longer length (missing ones are 0), whatever
// the code: 1.2.3 equals 1.2.3.0 even strictly.
int32_t tuple_compare(const Cell& value, const Cell& other, int32_t) {
  if (cell_type(other) != Type::tuple) return kNotComparable;
  const int length = std::max(tuple_length(value), tuple_length(other));
  for (int i = 0; i < length; ++i) {
    int a = i < tuple_length(value) ? tuple_bytes(value)[i] : 0;
    int b = i < tuple_length(other) ? tuple_bytes(other)[i] : 0;
    if (int32_t order = three_way(a, b)) return order;
  }
  return 0;
}

[[noreturn]] void raise_index_out_of_range(int32_t index) {
  Cell cell;
  raise_error(error_id("script", "out-of-range"), *integer_make_at(cell, index));
}

Cell* tuple_pick(Cell& value, int32_t index, Cell&) {
  if (index < 1 || index > tuple_length(value)) raise_index_out_of_range(index);
  return integer_make_at(value, tuple_bytes(value)[index - 1]);
}

// An integer! is held to 0..255 and stored; none! cuts the tuple before the index (never below
// three components). An index outside 1..length: out-of-range.
void tuple_poke(Cell& value, int32_t index, const Cell& new_value) {
  if (cell_type(new_value) != Type::integer && cell_type(new_value) != Type::none) raise_invalid_type(new_value);
  if (index < 1 || index > tuple_length(value)) raise_index_out_of_range(index);
  uint8_t* bytes = tuple_bytes(value);
  if (cell_type(new_value) == Type::integer) {
    bytes[index - 1] = static_cast<uint8_t>(std::clamp(integer_value(new_value), 0, 255));
    return;
  }
  std::fill(bytes + index - 1, bytes + tuple_length(value), 0);
  set_tuple_length(value, std::max(index - 1, kTupleMinLength));
}

Cell* tuple_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  if (cell_type(element) != Type::integer) raise_invalid_type(element);
  if (!new_value) return tuple_pick(value, integer_value(element), element);
  tuple_poke(value, integer_value(element), *new_value);
  path_write_back(value, integer_value(element), step);
  return new_value;
}

Cell* tuple_complement(Cell& value) {
  uint8_t* bytes = tuple_bytes(value);
  for (int i = 0; i < tuple_length(value); ++i) bytes[i] = static_cast<uint8_t>(255 - bytes[i]);
  return &value;
}

int32_t tuple_length_action(Cell& value) { return tuple_length(value); }

// The span of reverse: the /part count (an integer! not below 0, at most the length).
int tuple_reverse_span(const Cell& value, const Cell* part) {
  if (!part) return tuple_length(value);
  if (cell_type(*part) != Type::integer) raise_invalid_refine_arg(ref_part, *part);
  if (integer_value(*part) < 0) raise_error(error_id("script", "out-of-range"), *part);
  return std::min(integer_value(*part), tuple_length(value));
}

// Reverses the span's components, or its records of /skip components (each keeps its order).
void tuple_reverse(Cell& value, Cell* part, Cell* skip) {
  const int span = tuple_reverse_span(value, part);
  int record = 1;
  if (skip) {
    if (cell_type(*skip) != Type::integer) raise_invalid_refine_arg(ref_skip, *skip);
    record = integer_value(*skip);
    if (record == span) return;
    if (record <= 0) raise_error(error_id("script", "out-of-range"), *skip);
    if (record > span || span % record != 0) raise_invalid_refine_arg(ref_skip, *skip);
  }
  uint8_t* bytes = tuple_bytes(value);
  for (int low = 0, high = span - record; low < high; low += record, high -= record)
    std::swap_ranges(bytes + low, bytes + low + record, bytes + high);
}

}  // namespace

void register_tuple_datatype() {
  register_datatype(Type::tuple, Type::none_id, "tuple!",
                    ActionRow()
                        .set<Act::Make>(tuple_make_to)
                        .set<Act::Random>(tuple_random)
                        .set<Act::To>(tuple_make_to)
                        .set<Act::Form>(tuple_form)
                        .set<Act::Mold>(tuple_mold)
                        .set<Act::PathStep>(tuple_path_step)
                        .set<Act::Compare>(tuple_compare)
                        .set<Act::Add>(tuple_arithmetic<kOpAdd>)
                        .set<Act::Divide>(tuple_arithmetic<kOpDivide>)
                        .set<Act::Multiply>(tuple_arithmetic<kOpMultiply>)
                        .set<Act::Remainder>(tuple_arithmetic<kOpRemainder>)
                        .set<Act::Subtract>(tuple_arithmetic<kOpSubtract>)
                        .set<Act::And>(tuple_arithmetic<kOpAnd>)
                        .set<Act::Complement>(tuple_complement)
                        .set<Act::Or>(tuple_arithmetic<kOpOr>)
                        .set<Act::Xor>(tuple_arithmetic<kOpXor>)
                        .set<Act::LengthQ>(tuple_length_action)
                        .set<Act::Pick>(tuple_pick)
                        .set<Act::Reverse>(tuple_reverse));
}

}  // namespace qel

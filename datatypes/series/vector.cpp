// vector.cpp: vector!: element encoding, make, form and mold, compare, element-wise arithmetic,
// append, insert, change, find, select, take and sort; the rest is string!'s and series!'s.
#include "datatypes/series/vector.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "datatypes/scalars/char-escape.h"
#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "datatypes/series/sort-request.h"
#include "datatypes/series/sort.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// --- Elements -------------------------------------------------------------------------------------

Type element_type(const Cell& vector) { return static_cast<Type>(vector.w3 & 0xFF); }
int32_t element_size(const Cell& vector) { return static_cast<int32_t>(series_buffer_of(vector)->unit()); }
bool floating(Type element) { return element == Type::float_ || element == Type::percent; }

// An integer or character element: sign-extended, a character zero-extended.
int32_t read_integer(const uint8_t* at, int32_t size, Type element) {
  const bool code_point = element == Type::char_;
  switch (size) {
    case 1: return code_point ? int32_t{at[0]} : int32_t{static_cast<int8_t>(at[0])};
    case 2: {
      uint16_t bits;
      std::memcpy(&bits, at, 2);
      return code_point ? int32_t{bits} : int32_t{static_cast<int16_t>(bits)};
    }
    default: {
      int32_t value;
      std::memcpy(&value, at, 4);
      return value;
    }
  }
}

double read_float(const uint8_t* at, int32_t size) {
  if (size == 4) {
    float value;
    std::memcpy(&value, at, 4);
    return value;
  }
  double value;
  std::memcpy(&value, at, 8);
  return value;
}

void write_integer(uint8_t* at, int32_t size, int32_t value) { std::memcpy(at, &value, static_cast<size_t>(size)); }

void write_float(uint8_t* at, int32_t size, double value) {
  if (size == 4) {
    const float narrow = static_cast<float>(value);
    std::memcpy(at, &narrow, 4);
  } else {
    std::memcpy(at, &value, 8);
  }
}

// vector-element-push: the element at a position as a value of the element type.
Cell vector_element(const Cell& vector, int64_t position) {
  const uint8_t* at = series_unit_address(vector, position);
  const Type element = element_type(vector);
  Cell value;
  if (floating(element)) return *float_make_at(value, read_float(at, element_size(vector)), element);
  return make_cell(element, 0, static_cast<uint32_t>(read_integer(at, element_size(vector), element)));
}

// Raises unless the value can go into elements of the type: an integer! or char! into integer
// and char elements, a float! or percent! into float and percent ones; a number of the other
// family raises invalid-arg, any other value invalid-type.
void check_storable(Type element, const Cell& value) {
  const Type type = cell_type(value);
  const bool whole = type == Type::integer || type == Type::char_;
  if (!whole && type != Type::float_ && type != Type::percent) raise_invalid_type(value);
  if (whole == floating(element)) raise_error(error_id("script", "invalid-arg"), value);
}

// vector-write-element: stores a checked value.
void store_element(uint8_t* at, Type element, int32_t size, const Cell& value) {
  if (floating(element)) write_float(at, size, payload_f64(value));
  else write_integer(at, size, static_cast<int32_t>(value.w2));
}

// Writes values at a position of the vector, the run repeated to fill `count` elements.
void write_values(const Cell& vector, int64_t position, const std::vector<Cell>& values, int64_t count) {
  const int32_t size = element_size(vector);
  const Type element = element_type(vector);
  for (int64_t k = 0; k < count; ++k)
    store_element(series_unit_address(vector, position + k), element, size, values[static_cast<size_t>(k) % values.size()]);
}

// --- Element hooks --------------------------------------------------------------------------------

// poke stores only a value of the element type.
void vector_check(const Cell& vector, const Cell& value) {
  if (cell_type(value) != element_type(vector)) raise_error(error_id("script", "invalid-arg"), value);
}

void vector_store(const Cell& vector, int64_t position, const Cell& value) {
  store_element(series_unit_address(vector, position), element_type(vector), element_size(vector), value);
}

constexpr ElementHooks kVectorHooks = {vector_element, vector_check, vector_store, nullptr};

// --- make ----------------------------------------------------------------------------------------

// The element type a word names, or none_id.
Type element_type_named(const Cell& word) {
  const uint32_t name = symbol_canonical(word.w2);
  for (auto [symbol, type] : {std::pair{sym_integer_type, Type::integer}, std::pair{sym_char_type, Type::char_},
                              std::pair{sym_float_type, Type::float_}, std::pair{sym_percent_type, Type::percent}})
    if (name == symbol_canonical(symbol)) return type;
  return Type::none_id;
}

// The element size (bytes) of a size in bits, or 0 when the type has no such size.
int32_t element_size_of_bits(Type element, int32_t bits) {
  if (element == Type::percent) return 8;
  const bool allowed = floating(element) ? (bits == 32 || bits == 64) : (bits == 8 || bits == 16 || bits == 32);
  return allowed ? bits / 8 : 0;
}

// What a make spec asks for.
struct VectorSpec {
  Type element = Type::integer;
  int32_t size = 4;
  int64_t count = 0;
  const Cell* values = nullptr;  // a block of values, or null
};

// Reads a block spec: [type bits count values], with the count or the values left out, or a
// block of values of one type.
VectorSpec read_block_spec(const Cell& type, const Cell& spec) {
  const Cell* cells = block_cell_at(spec, series_clamped_index(spec));
  const int64_t length = series_length_after(spec);
  VectorSpec read;
  if (length == 0) return read;
  if (cell_type(cells[0]) != Type::word) {
    read.element = cell_type(cells[0]);
    if (read.element != Type::integer && read.element != Type::char_ && !floating(read.element))
      raise_invalid_type(cells[0]);
    read.size = floating(read.element) ? 8 : 4;
    read.values = &spec;
    read.count = length;
    return read;
  }
  auto bad_make = [&] { raise_error(error_id("script", "bad-make-arg"), type, spec); };
  auto bad_field = [&] { raise_error(error_id("script", "invalid-spec-field"), spec); };
  if (length < 2) bad_make();
  read.element = element_type_named(cells[0]);
  if (read.element == Type::none_id) bad_make();
  int64_t at = 1;
  if (cell_type(cells[1]) == Type::integer) {
    read.size = element_size_of_bits(read.element, payload_i32(cells[1], 2));
    if (read.size == 0) bad_make();
    at = 2;
  } else if (read.element == Type::percent) {
    read.size = 8;
  } else {
    bad_field();
  }
  const bool counted = at < length && cell_type(cells[at]) == Type::integer;
  if (counted) read.count = payload_i32(cells[at++], 2);
  if (at < length && cell_type(cells[at]) == Type::block) {
    read.values = &cells[at++];
    if (!counted) read.count = series_length_after(*read.values);
  }
  if (at < length) bad_field();
  return read;
}

// make: a number gives that many 32-bit integer zeros; a block as read_block_spec says. The
// values must have the element type exactly (invalid-arg), checked before anything is made;
// elements past them are zeros.
Cell* vector_make(Cell& type, Cell& spec, Type) {
  const Type spec_type = cell_type(spec);
  VectorSpec read;
  if (spec_type == Type::integer || spec_type == Type::float_) read.count = number_to_int32(spec);
  else if (spec_type == Type::block) read = read_block_spec(type, spec);
  else raise_error(error_id("internal", "not-done"));
  std::vector<Cell> values;
  if (read.values) {
    const Cell& block = *read.values;
    for (int64_t i = series_clamped_index(block); i < block_total_cells(block); ++i) {
      const Cell value = *block_cell_at(block, i);
      if (cell_type(value) != read.element) raise_error(error_id("script", "invalid-arg"), value);
      values.push_back(value);
    }
  }
  const int64_t count = std::max<int64_t>(std::max<int64_t>(read.count, static_cast<int64_t>(values.size())), 0);
  Cell made;
  vector_make_at(made, count, read.element, read.size);
  std::memset(series_buffer(made.w2)->data(), 0, static_cast<size_t>(count * read.size));
  series_buffer(made.w2)->tail = series_buffer(made.w2)->head + static_cast<uint32_t>(count * read.size);
  if (!values.empty()) write_values(made, 0, values, static_cast<int64_t>(values.size()));
  spec = made;
  return &spec;
}

// --- form and mold --------------------------------------------------------------------------------

// The elements from the index, separated by spaces: numbers as their text, characters escaped
// as in a string's mold (as char! literals under mold). A character counts 1 against the
// budget (4 under mold) however long its escape.
int32_t emit_elements(const Cell& vector, Cell& buffer, bool mold, bool all, bool part, int32_t limit) {
  const Type element = element_type(vector);
  const int32_t size = element_size(vector);
  const int64_t index = series_clamped_index(vector);
  for (int64_t p = index; p < series_total_length(vector); ++p) {
    if (part && limit < 1) break;
    if (p > index) limit = output_text(buffer, " ", limit);
    const uint8_t* at = series_unit_address(vector, p);
    FloatTextBuffer text;
    switch (element) {
      case Type::char_:
        if (mold) series_append_ascii(buffer.w2, "#\"");
        string_mold_char(buffer, static_cast<uint32_t>(read_integer(at, size, element)), all && mold);
        if (mold) series_append_ascii(buffer.w2, "\"");
        limit -= mold ? 4 : 1;
        break;
      case Type::float_:
        limit = output_text(
            buffer, float_to_text(read_float(at, size), size == 8 ? FloatTextMode::float_form : FloatTextMode::float32, text),
            limit);
        break;
      case Type::percent:
        limit = output_text(buffer,
                            float_to_text(read_float(at, size) * 100.0,
                                          size == 8 ? FloatTextMode::percent_form : FloatTextMode::float32_percent, text),
                            limit);
        break;
      default:
        limit = output_text(buffer, integer_form_decimal(read_integer(at, size, element)).view(), limit);
        break;
    }
  }
  return limit;
}

int32_t vector_form(const Cell& value, Cell& buffer, bool part, int32_t limit) {
  return emit_elements(value, buffer, false, false, part, limit);
}

// mold: "make vector! [" and the elements, with the type word and size in bits first (and the
// elements in a block of their own) unless the vector is non-empty with its type's default size.
int32_t vector_mold(const Cell& value, Cell& buffer, bool only, bool all, bool, bool part, int32_t limit, int32_t) {
  const Type element = element_type(value);
  const int32_t size = element_size(value);
  if (!only) limit = output_text(buffer, "make vector! [", limit);
  const bool plain = series_length_after(value) > 0 && size == (floating(element) ? 8 : 4);
  if (!plain) {
    limit = output_text(buffer, datatype_table[type_index(element)].name, limit);
    limit = output_text(buffer, " ", limit);
    limit = output_text(buffer, integer_form_decimal(size * 8).view(), limit);
    limit = output_text(buffer, " [", limit);
  }
  limit = emit_elements(value, buffer, true, all, part, limit);
  if (!plain) limit = output_text(buffer, "]", limit);
  if (!only) limit = output_text(buffer, "]", limit);
  return limit;
}

// --- compare --------------------------------------------------------------------------------------

bool equality_code(int32_t op) {
  return op == kCompareEqual || op == kCompareNotEqual || op == kCompareStrictEqual || op == kCompareFind ||
         op == kCompareSame;
}

// Two elements in order: -1, 0 or 1; NaN against anything counts as equal.
template <class T>
int32_t order_of(T a, T b) {
  return a < b ? -1 : b < a ? 1 : 0;
}

int32_t vector_compare(const Cell& a, const Cell& b, int32_t op) {
  if (cell_type(b) != Type::vector) return kNotComparable;
  if (element_type(a) != element_type(b)) {
    // Vectors of other element types are unequal to each other; only an order asks too much.
    if (op == kCompareEqual || op == kCompareNotEqual || op == kCompareSame || op == kCompareFind) return 1;
    raise_error(error_id("script", "not-same-type"));
  }
  if (a.w2 == b.w2 && a.w1 == b.w1 && (equality_code(op))) return 0;
  if (op == kCompareSame) return -1;
  const int64_t length_a = series_length_after(a), length_b = series_length_after(b);
  if (length_a != length_b && equality_code(op)) return 1;
  const int64_t from_a = series_clamped_index(a), from_b = series_clamped_index(b);
  const Type element = element_type(a);
  for (int64_t i = 0; i < std::min(length_a, length_b); ++i) {
    const uint8_t* x = series_unit_address(a, from_a + i);
    const uint8_t* y = series_unit_address(b, from_b + i);
    const int32_t answer = floating(element)
                               ? order_of(read_float(x, element_size(a)), read_float(y, element_size(b)))
                               : order_of(read_integer(x, element_size(a), element), read_integer(y, element_size(b), element));
    if (answer != 0) return answer;
  }
  return order_of(length_a, length_b);
}

// --- Arithmetic -----------------------------------------------------------------------------------

// The scalar of element-wise arithmetic for elements of a type: a double for float and percent
// elements; a 32-bit integer for integer and char elements (a float truncated toward zero; one
// outside 32 bits, or NaN, type-limit). Only numbers qualify (a char! too on the left).
struct Scalar {
  double f = 0;
  int32_t i = 0;
};
Scalar scalar_operand(const Cell& scalar, Type element, bool on_left) {
  const Type type = cell_type(scalar);
  const bool whole = type == Type::integer || (on_left && type == Type::char_);
  if (!whole && type != Type::float_ && type != Type::percent) raise_error(error_id("internal", "not-done"));
  if (floating(element)) return {whole ? static_cast<double>(payload_i32(scalar, 2)) : payload_f64(scalar), 0};
  if (whole) return {0, payload_i32(scalar, 2)};
  const double value = payload_f64(scalar);
  if (double_out_of_int_range(value)) raise_type_limit(Type::integer);
  return {0, static_cast<int32_t>(value)};
}

// vector-integer-op: the integer core with wrapping add, subtract and multiply and a truncating
// divide; zero-divide and the minimum by -1 raise.
int32_t vector_integer_op(int32_t left, int32_t right, int32_t op) { return integer_math_op(left, right, op, nullptr); }

// The results of `count` elements: result(i) for each, all worked out before any is stored, so
// an error leaves every vector as it was; then stored from `position` of the target.
template <class Result>
void store_results(const Cell& target, int64_t position, int64_t count, Result&& result) {
  const Type element = element_type(target);
  const int32_t size = element_size(target);
  if (floating(element)) {
    std::vector<double> results(static_cast<size_t>(count));
    for (int64_t k = 0; k < count; ++k) results[static_cast<size_t>(k)] = result(k).f;
    for (int64_t k = 0; k < count; ++k) write_float(series_unit_address(target, position + k), size, results[static_cast<size_t>(k)]);
    return;
  }
  std::vector<int32_t> results(static_cast<size_t>(count));
  for (int64_t k = 0; k < count; ++k) results[static_cast<size_t>(k)] = result(k).i;
  for (int64_t k = 0; k < count; ++k) write_integer(series_unit_address(target, position + k), size, results[static_cast<size_t>(k)]);
}

// A new vector of `count` elements of the type and size (contents to be stored).
Cell new_vector(int64_t count, Type element, int32_t size) {
  Cell made;
  vector_make_at(made, count, element, size);
  series_buffer(made.w2)->tail = series_buffer(made.w2)->head + static_cast<uint32_t>(count * size);
  return made;
}

// element op scalar in place (or scalar op element, into a new vector, with the scalar on the
// left). Adding or subtracting 0 and multiplying or dividing by 1 change nothing.
Cell scalar_math(const Cell& vector, int32_t op, const Cell& scalar, bool scalar_left) {
  const Type element = element_type(vector);
  const Scalar s = scalar_operand(scalar, element, scalar_left);
  const bool neutral_zero = (op == kOpAdd || op == kOpSubtract) && (floating(element) ? s.f == 0 : s.i == 0);
  const bool neutral_one = (op == kOpMultiply || op == kOpDivide) && (floating(element) ? s.f == 1 : s.i == 1);
  if (!scalar_left && (neutral_zero || neutral_one)) return vector;
  const int64_t from = series_clamped_index(vector), count = series_length_after(vector);
  const Cell target = scalar_left ? new_vector(count, element, element_size(vector)) : vector;
  store_results(target, scalar_left ? 0 : from, count, [&](int64_t k) {
    const uint8_t* at = series_unit_address(vector, from + k);
    if (floating(element)) {
      const double x = read_float(at, element_size(vector));
      return Scalar{scalar_left ? float_math_op(s.f, x, op) : float_math_op(x, s.f, op), 0};
    }
    const int32_t x = read_integer(at, element_size(vector), element);
    return Scalar{0, scalar_left ? vector_integer_op(s.i, x, op) : vector_integer_op(x, s.i, op)};
  });
  return target;
}

// left op right element by element into a new vector: one element type, the larger size, the
// shorter length.
Cell vector_math_vectors(const Cell& left, const Cell& right, int32_t op) {
  const Type element = element_type(left);
  if (element_type(right) != element) raise_error(error_id("script", "not-same-type"));
  const int64_t count = std::min(series_length_after(left), series_length_after(right));
  const int64_t from_left = series_clamped_index(left), from_right = series_clamped_index(right);
  const Cell made = new_vector(count, element, std::max(element_size(left), element_size(right)));
  GcRoot<Cell> kept(made);
  store_results(made, 0, count, [&](int64_t k) {
    const uint8_t* x = series_unit_address(left, from_left + k);
    const uint8_t* y = series_unit_address(right, from_right + k);
    if (floating(element))
      return Scalar{float_math_op(read_float(x, element_size(left)), read_float(y, element_size(right)), op), 0};
    return Scalar{0, vector_integer_op(read_integer(x, element_size(left), element),
                                       read_integer(y, element_size(right), element), op)};
  });
  return made;
}

// add, subtract, multiply, divide, remainder, and~, or~ and xor~ on the frame's two arguments.
template <int32_t Op>
void vector_math() {
  Cell* base = value_stack.base;
  base[0] = cell_type(base[1]) == Type::vector ? vector_math_vectors(base[0], base[1], Op)
                                               : scalar_math(base[0], Op, base[1], false);
}

// --- append, insert and change --------------------------------------------------------------------

// The values a value contributes: the cells of a block-like value from its index (for append and
// insert only block!, paren! and hash!; at most `part` of them when 0 <= part), the elements of
// a vector (change), else the value itself.
std::vector<Cell> contributed_values(const Cell& value, int64_t part, bool change) {
  const Type type = cell_type(value);
  const bool spread = type == Type::block || type == Type::paren || type == Type::hash ||
                      (change && any_block_type(type));
  std::vector<Cell> values;
  if (spread) {
    int64_t count = series_length_after(value);
    if (part >= 0) count = std::min(count, part);
    const int64_t from = series_clamped_index(value);
    for (int64_t i = 0; i < count; ++i) values.push_back(*block_cell_at(value, from + i));
  } else if (change && type == Type::vector) {
    const int64_t from = series_clamped_index(value);
    for (int64_t i = from; i < series_total_length(value); ++i) values.push_back(vector_element(value, i));
  } else {
    values.push_back(value);
  }
  return values;
}

// The values checked for the vector, all before anything changes; answers their count x dup.
int64_t checked_count(const Cell& vector, const std::vector<Cell>& values, int32_t dup) {
  for (const Cell& value : values) check_storable(element_type(vector), value);
  return static_cast<int64_t>(values.size()) * std::max(dup, 0);
}

// append (at the tail; the position stays) and insert (at the index, which moves past).
void vector_append_insert(Cell& series, Cell& value, int32_t part, bool, int32_t dup, bool append) {
  series_clamp_index(series);
  const std::vector<Cell> values = contributed_values(value, part, false);
  const int64_t count = checked_count(series, values, dup);
  if (count == 0) return;
  const SeriesChange change = append ? SeriesChange::append : SeriesChange::insert;
  int64_t position = append ? series_total_length(series) : series_clamped_index(series);
  const bool told = series_notify_before(series, change, value, position, count);
  position = append ? series_total_length(series) : series_clamped_index(series);
  series_open_gap(series, position, count, Growth::doubled);
  write_values(series, position, values, count);
  if (told) series_notify_after(series, change, value, position, count);
  if (!append) series_set_index(series, position + count);
}

// change: the elements from the index (/part of them, else as many as are added) replaced by
// the values, value by value; the index moves past them.
void vector_change(Cell& series, Cell& value, int32_t part, bool, int32_t dup) {
  series_clamp_index(series);
  const std::vector<Cell> values = contributed_values(value, -1, true);
  const int64_t added = checked_count(series, values, dup);
  auto removed_count = [&] { return std::min<int64_t>(part >= 0 ? part : added, series_length_after(series)); };
  const bool told = series_notify_before(series, SeriesChange::change, value, series_clamped_index(series), removed_count());
  const int64_t position = series_clamped_index(series), removed = removed_count();
  if (added > removed) series_open_gap(series, position + removed, added - removed, Growth::exact);
  else if (added < removed) series_cut_units(series, position + added, removed - added);
  if (added > 0) write_values(series, position, values, added);
  if (told) series_notify_after(series, SeriesChange::change, value, position, added);
  series_set_index(series, std::min(position + added, series_total_length(series)));
}

// --- find, select and take ------------------------------------------------------------------------

// The position of the element equal to the value (with /case strictly) that find's walk meets
// first: forward from the index up to the /part limit, backward from the limit (/last) or from
// before the index (/reverse), on the index's /skip steps; /match tries the first only. -1: none.
int64_t vector_search(const Cell& series, const Cell& value, const Cell* part, bool case_, const Cell* skip, bool last,
                      bool reverse, bool match) {
  const int64_t total = series_total_length(series), index = series_clamped_index(series);
  if (total == 0 || (series_index(series) >= total && !reverse)) return -1;
  const int64_t step = skip_size(skip);
  int64_t last_element = total - 1;
  if (part) {
    const int64_t n = series_part_count(series, *part);
    if (cell_type(*part) == Type::integer && n < 1) return -1;
    last_element = std::min(cell_type(*part) == Type::integer ? index + n - 1 : index + n, last_element);
  }
  const bool backward = last || reverse;
  const int64_t top = last ? last_element : index - 1;
  // Backward walks start on the index's steps: the last index + k x step at or before the top.
  const int64_t from = backward ? index + (top >= index ? (top - index) / step : -((index - top + step - 1) / step)) * step
                                : index;
  const int32_t op = case_ ? kCompareStrictEqual : kCompareFind;
  for (int64_t p = from; backward ? p >= 0 : p <= last_element; p += backward ? -step : step) {
    if (compare_values(vector_element(series, p), value, op)) return p;
    if (match) break;
  }
  return -1;
}

Cell* vector_find(Cell& series, Cell& value, Cell* part, bool, bool case_, bool, bool, Cell*, Cell* skip, bool last,
                  bool reverse, bool tail, bool match) {
  const int64_t found = vector_search(series, value, part, case_, skip, last, reverse, match);
  if (found < 0) {
    value = kNoneCell;
    return &value;
  }
  series_set_index(series, found + (tail ? 1 : 0));
  return &series;
}

Cell* vector_select(Cell& series, Cell& value, Cell* part, bool, bool case_, bool, bool, Cell*, Cell* skip, bool last,
                    bool reverse) {
  const int64_t found = vector_search(series, value, part, case_, skip, last, reverse, false);
  value = found >= 0 && found + 1 < series_total_length(series) ? vector_element(series, found + 1) : kNoneCell;
  return &value;
}

// take: the series take; without /part the one element taken is answered as a value.
Cell* vector_take(Cell& series, Cell* part, bool, bool last) {
  Cell* taken = series_take(series, part, last);
  if (cell_type(*taken) == Type::vector && !part) *taken = vector_element(*taken, 0);
  return taken;
}

// --- sort -----------------------------------------------------------------------------------------

// The default order of two records in place: the element at the offset (every element under
// /all), as numbers; NaN counts as equal to anything.
struct ElementOrder {
  const SortRequest& request;
  Type element;
  int32_t size;
  int32_t operator()(const std::byte* x, const std::byte* y) const {
    auto a = reinterpret_cast<const uint8_t*>(x), b = reinterpret_cast<const uint8_t*>(y);
    if (request.reverse) std::swap(a, b);
    const int64_t first = request.all ? 0 : request.offset, last = request.all ? request.size : request.offset + 1;
    for (int64_t k = first; k < last; ++k) {
      const uint8_t* p = a + k * size;
      const uint8_t* q = b + k * size;
      const int32_t answer = floating(element) ? order_of(read_float(p, size), read_float(q, size))
                                               : order_of(read_integer(p, size, element), read_integer(q, size, element));
      if (answer != 0) return answer;
    }
    return 0;
  }
};

void vector_sort_in_place(const Cell& series, int64_t start, int64_t records, const SortRequest& request) {
  const int32_t size = element_size(series);
  merge_sort(series_unit_address(series, start), static_cast<size_t>(records), static_cast<size_t>(request.size * size),
             ElementOrder{request, element_type(series), size});
}

// Sorts through the /compare function: the order is worked out on a rooted copy of the range
// (the function may reach safe points and change the series), each call given an element (a
// vector of the record under /all), then written back when the series still holds the range.
void vector_sort_by_function(const Cell& series, int64_t start, int64_t records, const SortRequest& request) {
  Cell range = series;
  series_set_index(range, start);
  const Cell count = make_cell(Type::integer, 0, static_cast<uint32_t>(records * request.size));
  Cell copy;
  series_copy_into(range, &count, copy);
  GcRoot<Cell> kept(copy);
  const int32_t size = element_size(series);
  std::vector<uint32_t> order = sort_order_by_function(request, records, [&](uint32_t r) {
    const int64_t first = int64_t{r} * request.size;
    if (!request.all) return vector_element(kept.get(), first + request.offset);
    Cell record = new_vector(request.size, element_type(kept.get()), size);
    std::memcpy(series_unit_address(record, 0), series_unit_address(kept.get(), first),
                static_cast<size_t>(request.size * size));
    return record;
  });
  if (series_total_length(series) < start + records * request.size) return;  // the function cut the range
  const size_t record_bytes = static_cast<size_t>(request.size * size);
  for (size_t k = 0; k < order.size(); ++k)
    std::memcpy(series_unit_address(series, start + static_cast<int64_t>(k) * request.size),
                series_unit_address(kept.get(), int64_t{order[k]} * request.size), record_bytes);
}

// sort: always stable (a merge sort), so equal numbers and NaNs keep their order.
Cell* vector_sort(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse, bool) {
  return sort_series(series, sort_request(series, case_, skip, compare, part, all, reverse, true),
                     vector_sort_by_function, vector_sort_in_place);
}

}  // namespace

void vector_make_at(Cell& cell, int64_t n, Type element, int32_t size) {
  if (n * size > static_cast<int64_t>(kSeriesMaxBytes)) raise_error(error_id("internal", "no-memory"));
  cell = make_cell(Type::vector, 0, new_series_node(std::max<int64_t>(n, 1), size, 0), static_cast<uint32_t>(element));
}

Cell* vector_to_block_push(const Cell& vector) {
  const Cell source = vector;
  Cell* made = block_push_new(std::max<int64_t>(series_length_after(source), 1));
  for (int64_t p = series_clamped_index(source); p < series_total_length(source); ++p)
    block_append_copy(*made, vector_element(source, p));
  return made;
}

void vector_number_op(Cell& number, Cell& vector, int32_t op) { number = scalar_math(vector, op, number, true); }

void vector_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(vector_make)
      .set<Act::Form>(vector_form)
      .set<Act::Mold>(vector_mold)
      .set<Act::Compare>(vector_compare)
      .set<Act::Add>(vector_math<kOpAdd>)
      .set<Act::Divide>(vector_math<kOpDivide>)
      .set<Act::Multiply>(vector_math<kOpMultiply>)
      .set<Act::Remainder>(vector_math<kOpRemainder>)
      .set<Act::Subtract>(vector_math<kOpSubtract>)
      .set<Act::And>(vector_math<kOpAnd>)
      .set<Act::Or>(vector_math<kOpOr>)
      .set<Act::Xor>(vector_math<kOpXor>)
      .set<Act::Append>(vector_append_insert)
      .set<Act::Insert>(vector_append_insert)
      .set<Act::Change>(vector_change)
      .set<Act::Find>(vector_find)
      .set<Act::Select>(vector_select)
      .set<Act::Sort>(vector_sort)
      .set<Act::Take>(vector_take)
      .unsupported<Act::To>()
      .unsupported<Act::Absolute>()
      .unsupported<Act::Negate>()
      .unsupported<Act::Power>()
      .unsupported<Act::Round>()
      .unsupported<Act::EvenQ>()
      .unsupported<Act::OddQ>()
      .unsupported<Act::Complement>()
      .unsupported<Act::Put>()
      .unsupported<Act::Swap>()
      .unsupported<Act::Trim>()
      .unsupported<Act::Create>()
      .unsupported<Act::Close>()
      .unsupported<Act::Delete>()
      .unsupported<Act::Open>()
      .unsupported<Act::OpenQ>()
      .unsupported<Act::Query>()
      .unsupported<Act::Read>()
      .unsupported<Act::Rename>()
      .unsupported<Act::Update>()
      .unsupported<Act::Write>();
  register_datatype(Type::vector, Type::string, "vector!", row);
  series_set_element_hooks(Type::vector, &kVectorHooks);
}

}  // namespace qel

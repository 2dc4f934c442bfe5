// string.cpp: string!'s registration and element hook, and its make, to, form, compare,
// path-step, swap and take.
#include "datatypes/series/string.h"

#include <array>

#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-compare.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/memory.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int32_t kAllElements = 2147483647;

constexpr Type kTextTypes[] = {Type::string, Type::file, Type::url, Type::tag, Type::email, Type::ref};

constexpr Cell char_cell(uint32_t c) { return make_cell(Type::char_, 0, c); }

// --- The element hook --------------------------------------------------------------------------------

Cell text_pick(const Cell& series, int64_t position) {
  return char_cell(string_char_at(string_value(series.w2), position));
}

// A text holds only char! values.
void text_check(const Cell&, const Cell& value) {
  if (cell_type(value) != Type::char_) raise_error(error_id("script", "invalid-arg"), value);
}

void text_store(const Cell& series, int64_t position, const Cell& value) {
  string_poke_char(series.w2, static_cast<uint32_t>(position), value.w2);
}

// Inserts code points of another text at a position, widening the target as they need.
void text_insert_converted(const Cell& target, int64_t position, const Cell& source, int64_t count) {
  string_write_text(target.w2, static_cast<uint32_t>(position), string_text_part(source, count), TextMode::insert);
}

constexpr ElementHooks kTextHooks = {text_pick, text_check, text_store, text_insert_converted};

// --- Helpers -------------------------------------------------------------------------------------------

// A new empty text of the type with room for `capacity` code points, in 1-byte units.
Cell new_text_value(Type type, int64_t capacity) {
  Cell value = string_value(new_text_series(capacity, 1));
  set_value_type_byte(value, type);
  return value;
}

// A capacity given as a number: an integer!, or a float! truncated; negative ones raise
// script out-of-range.
int64_t capacity_of(const Cell& spec) {
  if (cell_type(spec) == Type::integer) {
    int32_t n = payload_i32(spec, 2);
    if (n < 0) raise_error(error_id("script", "out-of-range"), spec);
    return n;
  }
  double n = payload_f64(spec);
  if (!(n >= 0)) raise_error(error_id("script", "out-of-range"), spec);
  if (n >= static_cast<double>(kSeriesMaxBytes)) raise_no_memory();
  return static_cast<int64_t>(n);
}

// The formed text of a value as a new text of the type: every element of a block-like value
// one after the other, anything else formed whole.
Cell formed_text_value(Type type, const Cell& value) {
  GcRoot<Cell> text(new_text_value(type, 16));
  Type kind = cell_type(value);
  if (kind == Type::block || kind == Type::paren || kind == Type::hash) string_form_elements_onto(text->w2, value, false, kAllElements);
  else string_form_onto(text->w2, value, false, 0);
  return *text;
}

// Whether a value is text: string! or a type built on it.
bool is_text_value(const Cell& value) { return is_text_type(cell_type(value)); }

// A binary never widens: the code point at the source's index must be a byte to enter one
// (script invalid-arg naming the source otherwise).
void refuse_widening_a_binary(const Cell& target, const Cell& source) {
  if (cell_type(target) == Type::binary && string_char_at(source, 0) > 0xFF)
    raise_error(error_id("script", "invalid-arg"), source);
}

}  // namespace

// --- Registration --------------------------------------------------------------------------------------

void string_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(string_make)
      .set<Act::To>(string_to)
      .set<Act::Form>(string_form)
      .set<Act::Mold>(string_mold)
      .set<Act::PathStep>(string_path_step)
      .set<Act::Compare>(string_compare)
      .set<Act::Append>(string_append)
      .set<Act::Change>(string_change)
      .set<Act::Find>(string_find)
      .set<Act::Insert>(string_insert)
      .set<Act::Select>(string_select)
      .set<Act::Sort>(string_sort)
      .set<Act::Swap>(string_swap)
      .set<Act::Take>(string_take)
      .set<Act::Trim>(string_trim);
  register_datatype(Type::string, Type::series, "string!", row);
  for (Type type : kTextTypes) series_set_element_hooks(type, &kTextHooks);
}

ActionRow lesser_text_type_row() {
  ActionRow row;
  row.inherit_all()
      .unsupported<Act::Random>()
      .unsupported<Act::And>()
      .unsupported<Act::Complement>()
      .unsupported<Act::Or>()
      .unsupported<Act::Xor>()
      .unsupported<Act::Sort>()
      .unsupported<Act::Trim>();
  return row;
}

uint32_t char_from_text(const Cell& text) {
  if (string_at_tail(text)) raise_bad_to_arg(Type::char_, text);
  return string_char_at(text, 0);
}

// --- make, to and form -----------------------------------------------------------------------------------

Cell* string_make(Cell& type, Cell& spec, Type type_id) {
  if (cell_type(spec) != Type::integer && cell_type(spec) != Type::float_) return string_to(type, spec, type_id);
  type = new_text_value(type_id, capacity_of(spec));
  return &type;
}

Cell* string_to(Cell& type, Cell& spec, Type type_id) {
  Type from = cell_type(spec);
  if (from == Type::none) raise_bad_to_arg(type_id, spec);
  if (is_text_type(from)) {
    series_copy_into(spec, nullptr, type);
  } else if (from == Type::binary) {
    type = *string_from_utf8_strict({series_unit_address(spec, series_clamped_index(spec)),
                                     static_cast<size_t>(series_length_after(spec))});
    stack_drop(1);
  } else if (from == Type::refinement && type_id != Type::string) {
    Cell molded = call_action(Act::Mold, std::array{spec});
    stack_drop(1);
    type = molded;
  } else {
    type = formed_text_value(type_id, spec);
  }
  set_value_type_byte(type, type_id);
  return &type;
}

int32_t string_form(const Cell& value, Cell& buffer, bool part, int32_t limit) {
  UnitText text = string_text_part(value, part ? std::max(limit, 0) : -1);
  string_write_text(buffer.w2, 0, text, TextMode::append);
  return budget_less(limit, text.length);
}

// --- compare, path-step, swap and take ---------------------------------------------------------------------

int32_t string_compare(const Cell& value1, const Cell& value2, int32_t op) {
  if (cell_type(value1) != cell_type(value2)) {
    bool text_pair = is_text_value(value1) && is_text_value(value2);
    if (!text_pair || (op != kCompareEqual && op != kCompareNotEqual)) return kNotComparable;
  }
  return string_compare_core(value1, value2, op, false);
}

Cell* string_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  Type selector = cell_type(element);
  if (selector == Type::integer) {
    int32_t n = payload_i32(element, 2);
    if (new_value) return lookup_action_for_value<Act::Poke>(value)(value, n, element, *new_value);
    return lookup_action_for_value<Act::Pick>(value)(value, n, element);
  }
  if (selector == Type::word) raise_error(error_id("script", "invalid-path"), step.path ? *step.path : value, element);
  // Through the type's own select and find: a vector! steps here too and searches its elements.
  Cell found = value;
  bool case_sensitive = step.case_sensitive;
  if (!new_value) {
    element = *lookup_action_for_value<Act::Select>(value)(found, element, nullptr, false, case_sensitive, false, false,
                                                           nullptr, nullptr, false, false);
    return &element;
  }
  Cell wanted = element;  // a find may answer its result in the value it looked for
  found = *lookup_action_for_value<Act::Find>(value)(found, wanted, nullptr, false, case_sensitive, false, false,
                                                     nullptr, nullptr, false, false, true, false);
  if (cell_type(found) == Type::none || string_at_tail(found))
    raise_error(error_id("script", "bad-path-set"), step.path ? *step.path : value, element);
  return lookup_action_for_value<Act::Poke>(found)(found, 1, element, *new_value);
}

void string_swap(Cell& series1, Cell& series2) {
  if (!is_text_value(series2) && cell_type(series2) != Type::binary)
    raise_error(error_id("script", "invalid-arg"), series2);
  if (string_at_tail(series1) || string_at_tail(series2)) return;
  refuse_widening_a_binary(series1, series2);
  refuse_widening_a_binary(series2, series1);
  bool told1 = series_notify_before(series1, SeriesChange::swap, series2, series_clamped_index(series1), 1);
  bool told2 = series_notify_before(series2, SeriesChange::swap, series1, series_clamped_index(series2), 1);
  if (!string_at_tail(series1) && !string_at_tail(series2)) {
    refuse_widening_a_binary(series1, series2);  // a handler may have changed either
    refuse_widening_a_binary(series2, series1);
    uint32_t a = string_char_at(series1, 0);
    uint32_t b = string_char_at(series2, 0);
    string_put_char(series1.w2, string_index(series1), b);
    string_put_char(series2.w2, string_index(series2), a);
  }
  if (told1) series_notify_after(series1, SeriesChange::swap, series2, series_clamped_index(series1), 1);
  if (told2) series_notify_after(series2, SeriesChange::swap, series1, series_clamped_index(series2), 1);
}

Cell* string_take(Cell& series, Cell* part, bool, bool last) {
  Cell* taken = series_take(series, part, last);
  if (!part && cell_type(*taken) != Type::none)
    *taken = series_element_hooks(cell_type(*taken)).pick(*taken, series_clamped_index(*taken));
  return taken;
}

}  // namespace qel

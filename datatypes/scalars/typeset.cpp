// typeset.cpp: typeset! building, set operations and actions.
#include "datatypes/scalars/typeset.h"

#include <bit>
#include <string_view>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/quit.h"

namespace qel {

namespace {

// The value of a word as get reads it: an unset one raises script no-value. A word as the lexer
// makes it (its context known, its slot not yet) is resolved in its context first.
const Cell& word_value(const Cell& word) {
  Cell resolved = word;
  if (resolved.w3 == kUnresolved && resolved.w1 != 0) bind_word(resolved.w1, resolved);
  const Cell* value = word_value_cell(resolved);
  if (cell_type(*value) == Type::unset) raise_error(error_id("script", "no-value"), word);
  return *value;
}

// Adds a datatype's bit or a typeset's bits; false for any other value.
bool add_type_value(Cell& typeset, const Cell& value) {
  if (cell_type(value) == Type::datatype) {
    typeset_set(typeset, datatype_value(value));
  } else if (cell_type(value) == Type::typeset) {
    typeset.w1 |= value.w1;
    typeset.w2 |= value.w2;
    typeset.w3 |= value.w3;
  } else {
    return false;
  }
  return true;
}

// The cells of a block from its index, read again for each item: the walk may run code that
// allocates (a word's lookup, an error).
template <class Visit>
void for_each_item(const Cell& block, Visit&& visit) {
  for (uint32_t i = block.w1; i < series_buffer_length(block.w2); ++i) {
    const Cell item = series_buffer(block.w2)->head_cell()[i];
    visit(item);
  }
}

}  // namespace

int32_t typeset_count(const Cell& typeset) {
  int32_t count = 0;
  for (size_t id = 1; id <= type_index(highest_type_id()); ++id) count += typeset_has(typeset, static_cast<Type>(id));
  return count;
}

void typeset_add_value(Cell& typeset, const Cell& value) {
  const Cell& item = cell_type(value) == Type::word ? word_value(value) : value;
  if (!add_type_value(typeset, item)) raise_error(error_id("script", "invalid-arg"), value);
}

void typeset_from_block(Cell& cell, const Cell& block) {
  Cell typeset = make_cell(Type::typeset);
  for_each_item(block, [&](const Cell& item) { typeset_add_value(typeset, item); });
  cell = typeset;
}

Cell* typeset_from_spec(const Cell& block, const Cell& spec) {
  Cell typeset = make_cell(Type::typeset);
  for_each_item(spec, [&](const Cell& item) {
    if (cell_type(item) == Type::block) return;
    const Cell& value = cell_type(item) == Type::word ? word_value(item) : item;
    if (cell_type(value) == Type::word) typeset_set(typeset, Type::object);
    else if (!add_type_value(typeset, value)) raise_error(error_id("script", "invalid-type-spec"), item);
  });
  return typeset_make_in(block, typeset.w1, typeset.w2, typeset.w3);
}

Cell typeset_set_op(const Cell& left, const Cell& right, int32_t op) {
  if (op == kOpUnique) return left;
  Cell other = make_cell(Type::typeset);
  if (!add_type_value(other, right)) raise_error(error_id("script", "invalid-arg"), right);
  auto combine = [&](uint32_t (*bits)(uint32_t, uint32_t)) {
    return make_cell(Type::typeset, bits(left.w1, other.w1), bits(left.w2, other.w2), bits(left.w3, other.w3));
  };
  switch (op) {
    case kOpOr:
    case kOpUnion:
      return combine([](uint32_t a, uint32_t b) { return a | b; });
    case kOpAnd:
    case kOpIntersect:
      return combine([](uint32_t a, uint32_t b) { return a & b; });
    case kOpXor:
    case kOpDifference:
      return combine([](uint32_t a, uint32_t b) { return a ^ b; });
    case kOpExclude:
      return combine([](uint32_t a, uint32_t b) { return a & ~b; });
    default:
      fatal_no_match_switch();
  }
}

void typeset_to_block(const Cell& typeset, const Cell& block) {
  for (size_t id = 1; id <= type_index(highest_type_id()); ++id)
    if (typeset_has(typeset, static_cast<Type>(id))) datatype_make_in(block, static_cast<Type>(id));
}

namespace {

// --- Actions ---------------------------------------------------------------------------------------

// make and to: a typeset! as it is, a block! as typeset_from_block makes it.
Cell* typeset_make_to(Cell& type, Cell& spec, Type) {
  if (cell_type(spec) == Type::typeset) return &spec;
  if (cell_type(spec) != Type::block) raise_bad_to_arg(Type::typeset, spec);
  typeset_from_block(type, spec);
  return &type;
}

// "make typeset! [" the names of the set types, each with its "!", "]"; with only the names
// alone. With /part the names stop once the budget is used up.
int32_t typeset_format(const Cell& typeset, Cell& output, bool only, bool part, int32_t budget) {
  if (!only) budget = output_text(output, "make typeset! [", budget);
  bool first = true;
  for (size_t id = 1; id <= type_index(highest_type_id()); ++id) {
    if (!typeset_has(typeset, static_cast<Type>(id)) || !datatype_table[id].name) continue;
    if (part && budget <= 0) break;
    if (!first) budget = output_text(output, " ", budget);
    budget = output_text(output, datatype_table[id].name, budget);
    first = false;
  }
  return only ? budget : output_text(output, "]", budget);
}

int32_t typeset_form(const Cell& value, Cell& output, bool part, int32_t budget) {
  return typeset_format(value, output, false, part, budget);
}

int32_t typeset_mold(const Cell& value, Cell& output, bool only, bool, bool, bool part, int32_t budget, int32_t) {
  return typeset_format(value, output, only, part, budget);
}

// Equal when all bits are; the sort orders by the number of types; no other ordering.
int32_t typeset_compare(const Cell& value, const Cell& other, int32_t code) {
  if (cell_type(other) != Type::typeset) return kNotComparable;
  if (code == kCompareSort || code == kCompareSortCase) return three_way(typeset_count(value), typeset_count(other));
  if (code >= kCompareLesser && code <= kCompareGreaterOrEqual) return kNotComparable;
  return value.w1 == other.w1 && value.w2 == other.w2 && value.w3 == other.w3 ? 0 : 1;
}

template <int32_t Op>
void typeset_bitwise() {
  *value_stack.base = typeset_set_op(value_stack.base[0], value_stack.base[1], Op);
}

// Every bit inverted, the unused ones included.
Cell* typeset_complement(Cell& value) {
  return typeset_make_at(value, ~value.w1, ~value.w2, ~value.w3);
}

// Whether the datatype is in the set; any other value raises script invalid-arg.
Cell* typeset_find(Cell& typeset, Cell& value, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool, bool) {
  if (cell_type(value) != Type::datatype) raise_error(error_id("script", "invalid-arg"), value);
  return logic_make_at(typeset, typeset_has(typeset, datatype_value(value)));
}

}  // namespace

void register_typeset_datatype() {
  register_datatype(Type::typeset, Type::none_id, "typeset!",
                    ActionRow()
                        .set<Act::Make>(typeset_make_to)
                        .set<Act::To>(typeset_make_to)
                        .set<Act::Form>(typeset_form)
                        .set<Act::Mold>(typeset_mold)
                        .set<Act::Compare>(typeset_compare)
                        .set<Act::And>(typeset_bitwise<kOpAnd>)
                        .set<Act::Complement>(typeset_complement)
                        .set<Act::Or>(typeset_bitwise<kOpOr>)
                        .set<Act::Xor>(typeset_bitwise<kOpXor>)
                        .set<Act::Find>(typeset_find));
}

}  // namespace qel

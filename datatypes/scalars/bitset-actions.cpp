// bitset-actions.cpp: the actions of bitset! and its registration.
#include <algorithm>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

// Runs a change of the bitset between the owner's two notifications; the handlers run Qel code,
// so the change reads the buffer through the node after the first one.
template <class Change>
void announced(const Cell& bitset, SeriesChange change, const Cell& value, Change&& body) {
  const bool told = series_notify_before(bitset, change, value, 0, 0);
  body();
  if (told || change == SeriesChange::clear || change == SeriesChange::remove)
    series_notify_after(bitset, change, value, 0, 0);
}

Cell* bitset_make(Cell& type, Cell& spec, Type) { return bitset_make_core(type, spec, SpecMode::make); }
Cell* bitset_to(Cell& type, Cell& spec, Type) { return bitset_make_core(type, spec, SpecMode::to); }

// "make bitset! #{...}", or "make bitset! [not #{...}]" naming the numbers a negated bitset
// excludes. With /part the closing characters are left off once the budget is used up.
int32_t bitset_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t budget, int32_t) {
  const bool negated = bitset_negated(value.w2);
  budget = output_text(output, negated ? "make bitset! [not #{" : "make bitset! #{", budget);
  budget = bitset_hex_out(value.w2, output, part, budget, negated);
  if (part && budget <= 0) return budget;
  return output_text(output, negated ? "}]" : "}", budget);
}

int32_t bitset_form(const Cell& value, Cell& output, bool part, int32_t budget) {
  return bitset_mold(value, output, false, false, false, part, budget, 0);
}

// The same node is same?; else a shorter array is smaller, two normal or two negated arrays
// compare from their last byte back, and a normal bitset is smaller than a negated one.
int32_t bitset_compare(const Cell& value, const Cell& other, int32_t code) {
  if (cell_type(other) != Type::bitset) return kNotComparable;
  if (code == kCompareSame) return value.w2 == other.w2 ? 0 : 1;
  const uint32_t na = bitset_byte_count(value.w2), nb = bitset_byte_count(other.w2);
  if (na != nb) return na < nb ? -1 : 1;
  const bool fa = bitset_negated(value.w2), fb = bitset_negated(other.w2);
  if (fa != fb) return fa ? 1 : -1;
  const uint8_t* a = bitset_bits_head(value.w2);
  const uint8_t* b = bitset_bits_head(other.w2);
  for (uint32_t i = na; i-- > 0;)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

// A copy whose flag is flipped and whose bytes are complemented: the same members' complement.
Cell* bitset_complement(Cell& value) {
  NodeId node = bitset_copy_node(value.w2);
  bitset_invert_bytes(node);
  series_buffer(node)->flags ^= kBitsetNegated;
  return bitset_make_at(value, node);
}

void bitset_negate(Cell& value) { bitset_complement(value); }

template <int32_t Op>
void bitset_operation() {
  *value_stack.base = bitset_set_op(value_stack.base[0], value_stack.base[1], Op);
}

// Whether every number the value names is a member.
bool bitset_test(const Cell& bitset, const Cell& value) {
  return bitset_spec_walk(value, bitset.w2, BitOp::test, SpecMode::action) != 0;
}

// Sets (or clears) the numbers a value names, the owner told.
void bitset_change(const Cell& bitset, const Cell& value, BitOp op, SeriesChange change) {
  announced(bitset, change, value, [&] { bitset_spec_walk(value, bitset.w2, op, SpecMode::action); });
}

void bitset_append_insert(Cell& bitset, Cell& value, int32_t, bool, int32_t, bool append) {
  bitset_change(bitset, value, BitOp::set, append ? SeriesChange::append : SeriesChange::insert);
}

// A stored value of none!, false, 0 or 0.0 clears; anything else sets.
bool clears(const Cell& value) {
  switch (cell_type(value)) {
    case Type::none: return true;
    case Type::logic: return value.w1 == 0;
    case Type::integer: return integer_value(value) == 0;
    case Type::float_: return float_value(value) == 0.0;
    default: return false;
  }
}

Cell* bitset_poke(Cell& bitset, int32_t, Cell& index, Cell& value) {
  bitset_change(bitset, index, clears(value) ? BitOp::clear : BitOp::set, SeriesChange::poke);
  return &value;
}

Cell* bitset_pick(Cell& bitset, int32_t, Cell& index) { return logic_make_at(bitset, bitset_test(bitset, index)); }

Cell* bitset_find(Cell& bitset, Cell& value, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool, bool) {
  if (bitset_test(bitset, value)) return logic_make_at(bitset, true);
  bitset = kNoneCell;
  return &bitset;
}

// remove/key clears the named numbers, in a negated bitset as in a normal one (a negated bitset
// stores membership directly, as every other action reads it).
void bitset_remove(Cell& bitset, Cell*, Cell* key) {
  if (!key) raise_error(error_id("script", "missing-arg"));
  bitset_change(bitset, *key, BitOp::clear, SeriesChange::remove);
}

void bitset_clear(Cell& bitset) {
  announced(bitset, SeriesChange::clear, kNoneCell, [&] {
    std::fill_n(bitset_bits_head(bitset.w2), bitset_byte_count(bitset.w2), bitset_negated(bitset.w2) ? 0xFF : 0x00);
  });
}

Cell* bitset_copy(Cell& value, Cell*, bool, Cell*, Cell& result) { return bitset_make_at(result, bitset_copy_node(value.w2)); }

int32_t bitset_length(Cell& bitset) { return static_cast<int32_t>(int64_t{bitset_byte_count(bitset.w2)} * 8); }

// b/n and b/#"c" read membership; b/n: value sets or clears as poke does.
Cell* bitset_path_step(Cell& bitset, Cell& element, Cell* new_value, const PathStep&) {
  if (cell_type(element) != Type::integer && cell_type(element) != Type::char_) raise_invalid_type(element);
  if (!new_value) return bitset_pick(bitset, 0, element);
  return bitset_poke(bitset, 0, element, *new_value);
}

}  // namespace

void register_bitset_datatype() {
  register_datatype(Type::bitset, Type::none_id, "bitset!",
                    ActionRow()
                        .set<Act::Make>(bitset_make)
                        .set<Act::Reflect>(series_reflect)
                        .set<Act::To>(bitset_to)
                        .set<Act::Form>(bitset_form)
                        .set<Act::Mold>(bitset_mold)
                        .set<Act::PathStep>(bitset_path_step)
                        .set<Act::Compare>(bitset_compare)
                        .set<Act::Negate>(bitset_negate)
                        .set<Act::And>(bitset_operation<kOpAnd>)
                        .set<Act::Complement>(bitset_complement)
                        .set<Act::Or>(bitset_operation<kOpOr>)
                        .set<Act::Xor>(bitset_operation<kOpXor>)
                        .set<Act::Append>(bitset_append_insert)
                        .set<Act::Clear>(bitset_clear)
                        .set<Act::Copy>(bitset_copy)
                        .set<Act::Find>(bitset_find)
                        .set<Act::Insert>(bitset_append_insert)
                        .set<Act::LengthQ>(bitset_length)
                        .set<Act::Pick>(bitset_pick)
                        .set<Act::Poke>(bitset_poke)
                        .set<Act::Remove>(bitset_remove)
                        .set<Act::Modify>(series_modify));
}

}  // namespace qel

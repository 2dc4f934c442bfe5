// logic.cpp: logic! actions: conversions, random, form and mold, compare and the bitwise logic.
#include "datatypes/scalars/logic.h"

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/unset.h"
#include "evaluator/random.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

// to: only none and false are false.
Cell* logic_to(Cell& type, Cell& spec, Type) {
  bool flag = cell_type(spec) == Type::logic ? logic_value(spec) : cell_type(spec) != Type::none;
  return logic_make_at(type, flag);
}

// make: numbers are true when not zero (a NaN is not zero); anything else as to.
Cell* logic_make(Cell& type, Cell& spec, Type type_id) {
  switch (cell_type(spec)) {
    case Type::integer:
      return logic_make_at(type, spec.w2 != 0);
    case Type::float_:
    case Type::percent:
      return logic_make_at(type, !(payload_f64(spec) == 0.0));
    default:
      return logic_to(type, spec, type_id);
  }
}

// /seed seeds the generator with word 1 and answers unset; else true for the upper half of the
// draw's range.
void logic_random(Cell& value, bool seed, bool secure, bool) {
  if (seed) {
    random_seed(static_cast<int32_t>(value.w1));
    value = kUnsetCell;
    return;
  }
  int32_t draw = secure ? random_secure() : random_next();
  logic_make_at(value, draw > 0x3FFFFFFF);
}

std::string_view logic_text(const Cell& value) { return logic_value(value) ? "true" : "false"; }

int32_t logic_form(const Cell& value, Cell& output, bool, int32_t budget) {
  return output_text(output, logic_text(value), budget);
}

int32_t logic_mold(const Cell& value, Cell& output, bool, bool all, bool, bool, int32_t budget, int32_t) {
  return output_construct_text(output, logic_text(value), all, budget);
}

// false orders before true; the ordering codes cannot compare.
int32_t logic_compare(const Cell& value, const Cell& other, int32_t code) {
  if (cell_type(other) != Type::logic || !is_equality_or_sort_code(code)) return kNotComparable;
  return static_cast<int32_t>(value.w1) - static_cast<int32_t>(other.w1);
}

Cell* logic_complement(Cell& value) {
  value.w1 ^= 1;
  return &value;
}

// and~, or~ and xor~ of two logic! values into the first.
template <uint32_t (*Combine)(uint32_t, uint32_t)>
void logic_bitwise() {
  Cell* base = value_stack.base;
  if (cell_type(base[1]) != Type::logic) raise_expect_arg(1, base[1]);
  base[0].w1 = Combine(base[0].w1, base[1].w1);
}

uint32_t and_bits(uint32_t a, uint32_t b) { return a & b; }
uint32_t or_bits(uint32_t a, uint32_t b) { return a | b; }
uint32_t xor_bits(uint32_t a, uint32_t b) { return a ^ b; }

}  // namespace

void register_logic_datatype() {
  register_datatype(Type::logic, Type::none_id, "logic!",
                    ActionRow()
                        .set<Act::Make>(logic_make)
                        .set<Act::Random>(logic_random)
                        .set<Act::To>(logic_to)
                        .set<Act::Form>(logic_form)
                        .set<Act::Mold>(logic_mold)
                        .set<Act::Compare>(logic_compare)
                        .set<Act::And>(logic_bitwise<and_bits>)
                        .set<Act::Complement>(logic_complement)
                        .set<Act::Or>(logic_bitwise<or_bits>)
                        .set<Act::Xor>(logic_bitwise<xor_bits>));
}

}  // namespace qel

// set-natives.cpp: the set operations and complement?. Two sets must be of one datatype (block!
// and hash! counting as one); set1's datatype picks the operation of its own module, and the
// difference of two dates is the time! between them.
#include "evaluator/set-natives.h"

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/time.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block.h"
#include "datatypes/series/string.h"
#include "runtime/action-entries.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr bool block_set(Type type) { return type == Type::block || type == Type::hash; }

// Script expect-val unless the two sets are of one datatype.
void check_same_kind(const Cell& set1, const Cell& set2) {
  const Type type1 = cell_type(set1);
  const Type type2 = cell_type(set2);
  if (type1 != type2 && !(block_set(type1) && block_set(type2)))
    raise_error(error_id("script", "expect-val"), datatype_cell(type1), datatype_cell(type2));
}

// The operation by set1's datatype; unique passes set1 as both sets.
Cell set_operation(int32_t op, const Cell& set1, const Cell& set2, bool case_sensitive, const Cell* skip) {
  const Type type = cell_type(set1);
  if (block_set(type)) return block_set_operation(op, set1, set2, case_sensitive, skip);
  if (type == Type::string) return string_set_operation(op, set1, set2, case_sensitive, skip);
  if (type == Type::typeset) return typeset_set_op(set1, set2, op);
  if (type == Type::bitset) return bitset_set_op(set1, set2, op);
  if (type == Type::date && op == kOpDifference) {
    Cell time;
    return *time_make_at(time, date_difference(set1, set2));
  }
  raise_expect_arg(0, set1);
}

}  // namespace

// union set1 set2 /case /skip size (and the others alike; unique takes one set).
template <int32_t Op>
Status native_set_operation(const int32_t* refinements) {
  const Cell& set1 = value_stack.base[0];
  const Cell& set2 = Op == kOpUnique ? set1 : value_stack.base[1];
  if (Op != kOpUnique) check_same_kind(set1, set2);
  const Cell result =
      set_operation(Op, set1, set2, refinement_flag(refinements[0]), refinement_argument(refinements[1]));
  stack_set_result_only(result);
  return {};
}

// complement? bits: whether the bitset is negated (its members are the numbers it does not hold).
Status native_complement(const int32_t*) {
  stack_set_result_only(make_cell(Type::logic, bitset_negated(value_stack.base[0].w2)));
  return {};
}

template Status native_set_operation<kOpUnique>(const int32_t*);
template Status native_set_operation<kOpUnion>(const int32_t*);
template Status native_set_operation<kOpIntersect>(const int32_t*);
template Status native_set_operation<kOpExclude>(const int32_t*);
template Status native_set_operation<kOpDifference>(const int32_t*);

}  // namespace qel

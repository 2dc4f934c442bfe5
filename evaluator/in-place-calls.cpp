// in-place-calls.cpp: the cases of actions done in place.
#include "evaluator/in-place-calls.h"

#include <climits>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/none.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "runtime/fast-paths.h"

namespace qel {

namespace {

// remainder of two integers, but by 0 and the one quotient out of range, which raise.
bool remainder_in_place(const Cell* arguments, Cell& result) {
  if (cell_type(arguments[0]) != Type::integer || cell_type(arguments[1]) != Type::integer) return false;
  const int32_t left = integer_value(arguments[0]);
  const int32_t right = integer_value(arguments[1]);
  if (right == 0 || (left == INT32_MIN && right == -1)) return false;
  result = make_cell(Type::integer, 0, static_cast<uint32_t>(left % right));
  return true;
}

// pick of a block! by an integer!: the element, none where there is none.
bool block_pick_in_place(const Cell* arguments, Cell& result) {
  if (cell_type(arguments[0]) != Type::block || cell_type(arguments[1]) != Type::integer) return false;
  const int64_t position = series_pick_position(arguments[0], integer_value(arguments[1]));
  result = position < 0 ? kNoneCell : *block_cell_at(arguments[0], position);
  return true;
}

}  // namespace

bool action_in_place(uint32_t slot, const Cell* arguments, Cell& result) {
  if (const int32_t code = action_arith_code(slot); code >= 0) return integer_arith_in_place(code, arguments[0], arguments[1], result);
  const Act act = act_of_slot(slot);
  if (act == Act::Remainder) return remainder_in_place(arguments, result);
  return act == Act::Pick && block_pick_in_place(arguments, result);
}

}  // namespace qel

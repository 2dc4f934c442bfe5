// in-place-calls.h: calls of actions whose result, for their commonest arguments, is a few
// instructions away: two integers' arithmetic and remainder, a block's element by its index.
// Done in place they give the value the action's entry would, and raise nothing, run no code and
// allocate nothing, so a caller that has the arguments' values need not open the call's frame.
#pragma once

#include <cstdint>

#include "datatypes/scalars/math-ops.h"
#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// The arithmetic code (math-ops.h) an action slot computes in place on two integers whose result
// fits: add, subtract, multiply, and, or, xor; -1 for any other slot.
constexpr int32_t action_arith_code(uint32_t slot) {
  switch (act_of_slot(slot)) {
    case Act::Add: return kOpAdd;
    case Act::Subtract: return kOpSubtract;
    case Act::Multiply: return kOpMultiply;
    case Act::And: return kOpAnd;
    case Act::Or: return kOpOr;
    case Act::Xor: return kOpXor;
    default: return -1;
  }
}

// The most arguments a call done in place takes.
inline constexpr uint32_t kInPlaceArguments = 2;

// The value the call of the action in `slot` with two arguments (no refinement named) gives,
// written to `result` (which may be the first argument's cell) when the case is one done in
// place; false, nothing written, for every other case (the caller calls the entry, which raises
// where the call is wrong). The cases done in place are of types the action's arguments take,
// so the caller need not check them first.
bool action_in_place(uint32_t slot, const Cell* arguments, Cell& result);

// action_in_place for any function value and count of arguments: false for all but an action's
// call with two.
inline bool call_in_place(const Cell& function, const Cell* arguments, uint32_t count, Cell& result) {
  return cell_type(function) == Type::action && count == 2 && action_in_place(function.w1, arguments, result);
}

}  // namespace qel

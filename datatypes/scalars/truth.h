// truth.h: the truth of values, as conditionals test it: none! and logic! false are false,
// every other value is true.
#pragma once

#include "runtime/cell.h"
#include "runtime/value-stack.h"

namespace qel {

// False for none! and for logic! false.
constexpr bool cell_truthy(const Cell& cell) {
  Type type = cell_type(cell);
  return !(type == Type::none || (type == Type::logic && cell.w1 == 0));
}

// The cell's truth; with check_unset an unset! cell raises script no-value naming `name`.
bool value_true(const Cell& cell, bool check_unset, const Cell& name);

// Raises script no-return (a condition that gave no value).
[[noreturn]] void raise_no_return();

// The truth of the current frame's first argument; an unset! one raises script no-return.
inline bool condition_true() {
  const Cell& cell = *value_stack.base;
  if (cell_type(cell) == Type::unset) [[unlikely]] raise_no_return();
  return cell_truthy(cell);
}

// The last value pushed in the current frame, or its first cell when nothing was pushed.
inline const Cell& top_value() { return value_stack.top > value_stack.base ? value_stack.top[-1] : *value_stack.base; }
inline bool top_false() { return !cell_truthy(top_value()); }
inline bool top_true() { return cell_truthy(top_value()); }

// Whether the result cell is none! or logic! false (an unset! result counts as true).
inline bool result_false() { return !cell_truthy(*value_stack.base); }

}  // namespace qel

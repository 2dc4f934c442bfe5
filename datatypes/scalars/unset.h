// unset.h: unset!, the value of nothing: its constructors and its registration.
#pragma once

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

inline constexpr Cell kUnsetCell = make_cell(Type::unset);

// Only the header is written: unset! uses no payload word.
inline Cell* unset_make_at(Cell& cell) {
  cell.header = static_cast<uint32_t>(Type::unset);
  return &cell;
}
inline Cell* unset_make_in(const Cell& block) { return unset_make_at(*block_append_fresh_slot(block)); }
inline Cell* unset_push() { return unset_make_at(*stack_push_cell()); }
inline Cell* unset_box() { return unset_make_at(*value_stack.base); }

void register_unset_datatype();

}  // namespace qel

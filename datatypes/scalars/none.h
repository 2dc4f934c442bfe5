// none.h: none!, the value of absence: its constructors and its registration.
#pragma once

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

inline constexpr Cell kNoneCell = make_cell(Type::none);

// Only the header is written: none! uses no payload word.
inline Cell* none_make_at(Cell& cell) {
  cell.header = static_cast<uint32_t>(Type::none);
  return &cell;
}
inline Cell* none_make_in(const Cell& block) { return none_make_at(*block_append_fresh_slot(block)); }
inline Cell* none_push() { return none_make_at(*stack_push_cell()); }
inline Cell* none_box() { return none_make_at(*value_stack.base); }

void register_none_datatype();

}  // namespace qel

// logic.h: logic!, true and false: constructors, accessor and registration.
#pragma once

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// Word 1 holds 1 (true) or 0 (false).
inline constexpr Cell kTrueCell = make_cell(Type::logic, 1);
inline constexpr Cell kFalseCell = make_cell(Type::logic, 0);

inline Cell* logic_make_at(Cell& cell, bool flag) {
  cell.header = static_cast<uint32_t>(Type::logic);
  cell.w1 = flag ? 1 : 0;
  return &cell;
}
inline Cell* logic_make_in(const Cell& block, bool flag) { return logic_make_at(*block_append_fresh_slot(block), flag); }
inline Cell* logic_push(bool flag) { return logic_make_at(*stack_push_cell(), flag); }
inline Cell* logic_box(bool flag) { return logic_make_at(*value_stack.base, flag); }

inline bool logic_value(const Cell& cell) { return cell.w1 != 0; }

void register_logic_datatype();

}  // namespace qel

// handle.h: handle!, a 32-bit id of an object outside the language (a descriptor, a window, a
// font ...) with its class: constructors, accessors and registration. A handle never holds an
// address.
#pragma once

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// Word 1: the class; word 2: the id; word 3: the external resource slot, or kNoResourceSlot.
enum class HandleClass : uint32_t { none = 0, fd, monitor, window, font, rich_text };
inline constexpr uint32_t kNoResourceSlot = 0xFFFFFFFF;

inline Cell* handle_make_at(Cell& cell, uint32_t value, HandleClass kind) {
  cell.header = static_cast<uint32_t>(Type::handle);
  cell.w1 = static_cast<uint32_t>(kind);
  cell.w2 = value;
  cell.w3 = kNoResourceSlot;
  return &cell;
}
inline Cell* handle_make_in(const Cell& block, uint32_t value, HandleClass kind) {
  return handle_make_at(*block_append_fresh_slot(block), value, kind);
}
inline Cell* handle_push(uint32_t value, HandleClass kind) { return handle_make_at(*stack_push_cell(), value, kind); }
inline Cell* handle_push_null() { return handle_push(0, HandleClass::none); }
inline Cell* handle_box(uint32_t value, HandleClass kind) { return handle_make_at(*value_stack.base, value, kind); }

inline uint32_t handle_value(const Cell& cell) { return cell.w2; }
inline HandleClass handle_class(const Cell& cell) { return static_cast<HandleClass>(cell.w1); }

void register_handle_datatype();

}  // namespace qel

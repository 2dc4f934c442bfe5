// integer.h: integer!, the 32-bit signed integer: constructors, accessors, the arithmetic core
// shared with char! and the types built on integers, and the registration.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// Word 2 holds the value; words 1 and 3 are not used.
inline Cell* integer_make_at(Cell& cell, int32_t value) {
  cell.header = static_cast<uint32_t>(Type::integer);
  set_payload_i32(cell, 2, value);
  return &cell;
}
inline Cell* integer_make_in(const Cell& block, int32_t value) {
  return integer_make_at(*block_append_fresh_slot(block), value);
}
inline Cell* integer_push(int32_t value) { return integer_make_at(*stack_push_cell(), value); }
inline Cell* integer_box(int32_t value) { return integer_make_at(*value_stack.base, value); }

// The value of an integer! (or of char! and handle!, which keep theirs in the same word).
inline int32_t integer_value(const Cell& cell) { return payload_i32(cell, 2); }
// The result cell's word 2 without a type check; 0 when the result cell is no integer!.
inline int32_t result_integer_value() { return integer_value(*value_stack.base); }
inline int32_t result_integer_or_zero() {
  return cell_type(*value_stack.base) == Type::integer ? result_integer_value() : 0;
}

void register_integer_datatype();

}  // namespace qel

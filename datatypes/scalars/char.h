// char.h: char!, one Unicode code point (0 to U+10FFFF): constructors, accessor, registration.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

inline constexpr int32_t kLargestCodePoint = 0x10FFFF;

// Word 2 holds the code point, as integer! holds its value, so integer!'s actions that char!
// inherits read it unchanged.
inline Cell* char_make_at(Cell& cell, uint32_t code_point) {
  cell.header = static_cast<uint32_t>(Type::char_);
  cell.w2 = code_point;
  return &cell;
}
inline Cell* char_make_in(const Cell& block, uint32_t code_point) {
  return char_make_at(*block_append_fresh_slot(block), code_point);
}
inline Cell* char_push(uint32_t code_point) { return char_make_at(*stack_push_cell(), code_point); }
inline Cell* char_box(uint32_t code_point) { return char_make_at(*value_stack.base, code_point); }

inline uint32_t char_value(const Cell& cell) { return cell.w2; }

void register_char_datatype();

}  // namespace qel

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

// -1, 0 or 1.
constexpr int32_t integer_sign(int32_t value) { return (value > 0) - (value < 0); }

// |value|; -2147483648 raises math overflow.
int32_t integer_absolute_checked(int32_t value);

// Decimal text, NUL-terminated, held by value: "0", "-2147483648", digits with "-" when negative.
struct IntegerText {
  char chars[12];
  uint8_t length;

  std::string_view view() const { return {chars, length}; }
  const char* c_str() const { return chars; }
};
IntegerText integer_form_decimal(int32_t value);

// The integer arithmetic core: left op right for the codes of math-ops.h up to xor (any other
// code ends the process with runtime error 101). Divide and remainder by 0 raise math
// zero-divide, -2147483648 by -1 math overflow. With a result cell, the result is also written
// there, and is a float! when it is no 32-bit integer: an add, subtract or multiply that
// overflows, or a divide with a remainder (7 / 2 gives 3.5). Without one, an overflow wraps
// and divide truncates toward zero. Answers the 32-bit result.
int32_t integer_math_op(int32_t left, int32_t right, int32_t op, Cell* result);

// The bit shift of shift and the shift operators: a negative count counts as 0. Left: 0 past
// 31 bits. Logical right: 0 past 31 bits. Arithmetic right: past 31 bits -1 for a negative
// value, else 0. Left wins over logical.
constexpr int32_t integer_shift(int32_t data, int32_t bits, bool left, bool logical) {
  if (bits < 0) bits = 0;
  const uint32_t word = static_cast<uint32_t>(data);
  if (left) return bits > 31 ? 0 : static_cast<int32_t>(word << bits);
  if (logical) return bits > 31 ? 0 : static_cast<int32_t>(word >> bits);
  if (bits > 31) return data < 0 ? -1 : 0;
  return data >> bits;  // arithmetic: C++20 defines the right shift of a negative value
}

void register_integer_datatype();

}  // namespace qel

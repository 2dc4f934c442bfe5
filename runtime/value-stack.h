// value-stack.h: the value stack, on which every call passes its arguments and leaves its result.
//
// A fixed array of cells outside series memory: it never grows or moves, so a Cell* into it
// stays valid for the life of the process and across collections. The current frame's cells
// run from base (its first argument, also its result cell) up to top (the next free cell).
// Invariant: begin <= base <= top < end.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

inline constexpr uint32_t kValueStackCells = 20000;
// Cells given back to the error machinery when a stack overflows.
inline constexpr uint32_t kOverflowMargin = 5;

struct ValueStack {
  Cell* base;
  Cell* top;
};

extern Cell value_stack_cells[kValueStackCells];
extern ValueStack value_stack;

inline Cell* stack_begin() { return value_stack_cells; }
inline Cell* stack_end() { return value_stack_cells + kValueStackCells; }
inline Cell* stack_base() { return value_stack.base; }
inline Cell* stack_top() { return value_stack.top; }

// A cell's position from the stack's begin, as frames save it.
inline uint32_t stack_index(const Cell* cell) { return static_cast<uint32_t>(cell - value_stack_cells); }
inline Cell* stack_cell_at(uint32_t index) { return value_stack_cells + index; }

// Moves the top back by the margin (not below begin), runs the overflow clean-up and raises the
// internal stack-overflow error. Both stacks overflow through here.
[[noreturn]] void stack_overflow();

// What else must be emptied when a stack overflows (the cycle stack registers its reset).
void set_stack_overflow_cleanup(void (*cleanup)());

// Reserves the next cell and answers it, contents left to the caller.
inline Cell* stack_push_cell() {
  Cell* cell = value_stack.top;
  if (cell + 1 >= stack_end()) stack_overflow();
  value_stack.top = cell + 1;
  return cell;
}

// Pushes a copy of the cell and answers the new cell.
inline Cell* stack_push_value(const Cell& value) {
  Cell* cell = stack_push_cell();
  *cell = value;
  return cell;
}

// Drops n cells, never below begin. Counted in bytes, the clamp is one compare on the top's
// offset, which keeps the top's dependency chain short in tight loops.
inline void stack_drop(uint32_t n) {
  const uint64_t used = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(value_stack.top) -
                                              reinterpret_cast<uintptr_t>(stack_begin()));
  const uint64_t dropped = uint64_t{n} * sizeof(Cell);
  value_stack.top = dropped >= used ? stack_begin() : value_stack.top - n;
}

// Empties the current frame (top = base) and answers base.
inline Cell* stack_reset_top() { return value_stack.top = value_stack.base; }
// Keeps only the current frame's result cell.
inline void stack_keep_first() { value_stack.top = value_stack.base + 1; }

// Copies the cell into the current frame's result cell.
inline void stack_set_result(const Cell& value) { *value_stack.base = value; }
// The same, keeping only the result cell.
inline void stack_set_result_only(const Cell& value) {
  *value_stack.base = value;
  value_stack.top = value_stack.base + 1;
}

// The last pushed cell, or begin when the stack is empty.
inline Cell* stack_last_value() { return value_stack.top == stack_begin() ? stack_begin() : value_stack.top - 1; }
inline Type stack_top_type() { return cell_type(*stack_last_value()); }
// True when the last pushed cell is a function! or routine!.
inline bool stack_top_function() {
  Type type = stack_top_type();
  return type == Type::function || type == Type::routine;
}

// When the last pushed cell is an error!, copies it into the result cell; then keeps only the
// result cell.
void stack_keep_error_result();

// Empties the stack: base and top at begin.
void value_stack_reset();

}  // namespace qel

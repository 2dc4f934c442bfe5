// value-stack.cpp: the value stack's storage, overflow and reset.
#include "runtime/value-stack.h"

#include "runtime/error-raise.h"

namespace qel {

Cell value_stack_cells[kValueStackCells];
ValueStack value_stack{value_stack_cells, value_stack_cells};

namespace {

void no_cleanup() {}
void (*overflow_cleanup)() = no_cleanup;

}  // namespace

void set_stack_overflow_cleanup(void (*cleanup)()) { overflow_cleanup = cleanup ? cleanup : no_cleanup; }

void stack_overflow() {
  Cell* moved = value_stack.top - stack_begin() > kOverflowMargin ? value_stack.top - kOverflowMargin : stack_begin();
  value_stack.top = moved;
  if (value_stack.base > moved) value_stack.base = moved;  // keep base <= top
  overflow_cleanup();
  raise_error(error_id("internal", "stack-overflow"));
}

void stack_keep_error_result() {
  if (value_stack.top > value_stack.base && cell_type(value_stack.top[-1]) == Type::error)
    *value_stack.base = value_stack.top[-1];
  stack_keep_first();
}

void value_stack_reset() { value_stack.base = value_stack.top = stack_begin(); }

}  // namespace qel

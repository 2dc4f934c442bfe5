// reduce-native.cpp: reduce: a block's expressions evaluated into a new block or into out; any
// other value evaluated as one expression.
#include "evaluator/reduce-native.h"

#include <array>

#include "datatypes/series/block-core.h"
#include "evaluator/interpreter.h"
#include "runtime/action-entries.h"
#include "runtime/actions.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/ownership.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Sources up to this many cells are reduced onto the value stack first, so that the new block
// is made at its exact size: an expression takes a few cells per value (a row of three
// `remainder` calls nine), and a block sized by its source would keep the difference for its
// whole life. Larger sources are sized by their cells, as the stack is no place for them.
constexpr uint32_t kStackedReduceCells = 64;

// Calls sink with each expression's value of the code (new-line marker cleared), pushed: the
// sink drops it or keeps it there. A safe point follows each expression.
template <class Sink>
Status reduce_each(Code code, Sink&& sink) {
  while (!code.at_end()) {
    QEL_TRY(eval_range(code, true));
    value_clear_flag_30(*stack_last_value());
    sink(*stack_last_value());
    gc_safepoint();
  }
  return {};
}

// The values of a block's expressions in a new block, pushed.
Status reduce_block_new(const Cell& block) {
  const uint32_t length = block_length(block);
  if (length > kStackedReduceCells) {
    const Cell* made = block_push_new(length);
    return reduce_each(code_of(block), [&](const Cell& value) {
      block_append_copy(*made, value);
      stack_drop(1);
    });
  }
  const uint32_t first = stack_index(value_stack.top);
  QEL_TRY(reduce_each(code_of(block), [](const Cell&) {}));
  const uint32_t count = stack_index(value_stack.top) - first;
  const Cell* made = block_push_new(count > 0 ? count : 1);
  for (uint32_t i = 0; i < count; ++i) block_append_copy(*made, *stack_cell_at(first + i));
  return {};
}

// The value inserted as one cell at out's index; out moves past it.
void insert_one(Cell& out, const Cell& value) {
  constexpr size_t kOnly = refinement_position(Act::Insert, "only");
  out = call_action(Act::Insert, std::array{out, value}, {Refinement{kOnly}});
  stack_drop(1);
}

// Whether the value is function-like: reduce gives it back as it is.
bool function_like(Type type) {
  return type == Type::function || type == Type::native || type == Type::action || type == Type::op ||
         type == Type::routine;
}

// A value other than a block, evaluated as one expression: pushed.
Status reduce_one_value(const Cell& value) {
  const Cell* holder = block_push_new(1);
  block_append_copy(*holder, value);
  Code code = code_of(*holder);
  QEL_TRY(eval_range(code, true));
  value_clear_flag_30(*stack_last_value());
  return {};
}

// reduce/into: the results go into out, whose owner then hears of the change once more as a
// whole; the result is out past what went in.
Status reduce_into_out(const Cell& value, Cell& out) {
  const Cell target = out;
  const int64_t before = block_total_cells(out);
  if (cell_type(value) == Type::block) {
    QEL_TRY(reduce_block_into(value, out));
  } else {
    QEL_TRY(reduce_one_value(value));
    insert_one(out, *stack_last_value());
  }
  const int64_t count = block_total_cells(out) - before;
  notify_owner_change(target, word_from_c_string("reduced"), make_cell(Type::none),
                      static_cast<int32_t>(out.w1 - count), static_cast<int32_t>(count));
  stack_set_result(out);
  return {};
}

}  // namespace

Status reduce_block_into(const Cell& block, Cell& out) {
  return reduce_each(code_of(block), [&](const Cell& value) {
    insert_one(out, value);
    stack_drop(1);
  });
}

Status native_reduce(const int32_t* refinements) {
  const Cell value = value_stack.base[0];
  const Type type = cell_type(value);
  if (function_like(type)) return {};  // the argument is the result
  if (Cell* out = refinement_argument(refinements[0])) return reduce_into_out(value, *out);
  if (type != Type::block) {
    QEL_TRY(reduce_one_value(value));
    stack_set_result(*stack_last_value());
    return {};
  }
  QEL_TRY(reduce_block_new(value));
  stack_set_result(*stack_last_value());
  return {};
}

}  // namespace qel

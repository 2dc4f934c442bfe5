// conditional-natives.cpp: if, unless, either, any, all, switch and case.
#include "evaluator/conditional-natives.h"

#include "datatypes/scalars/truth.h"
#include "evaluator/interpreter.h"
#include "evaluator/native-table.h"
#include "runtime/call-stack.h"
#include "runtime/compiled-support.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Evaluates the block into the native's result cell.
Status run_branch(const Cell& block) {
  const Cell branch = block;  // the frame's cells stay put, but the branch is read once
  return eval_block(branch, true);
}

// The same for a block among the native's arguments, which hold it while it runs: it needs no
// frame of its own.
Status run_argument_branch(const Cell& block) {
  const Cell branch = block;
  return eval_block_into(branch, value_stack.base);
}

// The native's result is none.
Status answer_none() {
  stack_set_result_only(make_cell(Type::none));
  return {};
}

// if and unless: the block runs when the condition's truth is `wanted`; an unset! condition
// counts as true.
Status run_if(bool wanted) {
  if (result_false() == wanted) return answer_none();
  return run_argument_branch(value_stack.base[1]);
}

// any (stop_when true) and all (stop_when false): evaluates the expressions of the block in turn
// until one's truth is `stop_when`. The block stays in the native's first cell meanwhile, and
// the last value stays pushed above it until the next expression runs.
Status run_any_all(bool stop_when) {
  Code code = code_of(value_stack.base[0]);
  Cell* const mark = value_stack.top;
  Cell answer = make_cell(Type::none);
  while (!code.at_end()) {
    value_stack.top = mark;
    QEL_TRY(eval_range(code, true));
    const Cell value = *stack_last_value();
    if (cell_truthy(value) == stop_when) {
      stack_set_result_only(stop_when ? value : make_cell(Type::none));
      return {};
    }
    answer = value;
  }
  stack_set_result_only(stop_when ? make_cell(Type::none) : answer);
  return {};
}

}  // namespace

// if cond then-blk
Status native_if(const int32_t*) { return run_if(true); }

// unless cond then-blk
Status native_unless(const int32_t*) { return run_if(false); }

// either cond true-blk false-blk
Status native_either(const int32_t*) { return run_argument_branch(value_stack.base[condition_true() ? 1 : 2]); }

Status run_conditional(uint32_t slot) {
  return slot == kEitherSlot ? native_either(nullptr) : run_if(slot == kIfSlot);
}

// any conds: the first true value, else none.
Status native_any(const int32_t*) { return run_any_all(true); }

// all conds: none at the first false value, else the last value (none for an empty block).
Status native_all(const int32_t*) { return run_any_all(false); }

// switch value cases /default case: the first block after the value found in cases (same
// datatype, equal by its compare action; a block! value is never found); else the default
// block, else none.
Status native_switch(const int32_t* refinements) {
  const Cell cases = value_stack.base[1];
  const int64_t found = find_value_in_block(cases, value_stack.base[0], 1, FoundAnswer::block_after);
  if (found >= 0) return run_branch(series_buffer(cases.w2)->head_cell()[found]);
  if (refinements[0] >= 0) return run_branch(value_stack.base[refinements[0]]);
  return answer_none();
}

// case cases /all: each condition in turn; after a true one its block (or the next expression)
// runs, and without /all that value is the answer. A false condition skips one cell. The answer
// is none when no branch ran, else the last value evaluated. The cases block stays in the
// native's first cell while a frame of its own holds the values.
Status native_case(const int32_t* refinements) {
  const bool all = refinements[0] >= 0;
  Code code = code_of(value_stack.base[0]);
  stack_open_frame(anon_symbol(), 0, kFrameNative);
  stack_set_result_only(make_cell(Type::none));
  bool ran = false;
  while (!code.at_end()) {
    QEL_TRY(eval_expression(code, false, false, false));
    if (code.at_end()) raise_error(error_id("script", "need-value"), make_cell(Type::word, 0, sym_case, kUnresolved));
    if (!condition_true()) {
      ++code.index;
      continue;
    }
    if (cell_type(code.cell()) == Type::block) {
      const Cell branch = code.cell();
      ++code.index;
      QEL_TRY(eval_block(branch, true));
    } else {
      QEL_TRY(eval_expression(code, false, false, false));
    }
    ran = true;
    if (!all) break;
  }
  if (!ran) stack_set_result_only(make_cell(Type::none));
  stack_close_frame_copy();
  return {};
}

}  // namespace qel

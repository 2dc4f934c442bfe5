// apply-native.cpp: apply: finding the function and its calling word, then one call of the
// interpreter's in an apply mode over the argument block.
#include "evaluator/apply-native.h"

#include "evaluator/eval-support.h"
#include "evaluator/interpreter.h"
#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/error-raise.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The value a word holds, or none for a word without one.
Cell word_holding(const Cell& word) {
  Cell reading = word;
  const Cell* value = word_value_quiet(reading);
  return value ? *value : make_cell(Type::none);
}

// What func calls and the word that names the call (none for a function value itself); a
// func that reaches no function value is script invalid-arg.
struct Callee {
  Cell function;
  Cell name = make_cell(Type::none);
};
Callee callee_of(const Cell& func) {
  Callee callee{func};
  if (any_word_type(cell_type(func))) {
    callee.name = func;
    set_value_type_byte(callee.name, Type::word);
    callee.function = word_holding(func);
  } else if (cell_type(func) == Type::path) {
    const bool has_head = func.w1 < series_buffer_length(func.w2);
    const Cell head = has_head ? series_buffer(func.w2)->head_cell()[func.w1] : make_cell(Type::none);
    if (cell_type(head) == Type::word) {
      callee.name = head;
      callee.function = word_holding(head);
    } else {
      callee.function = make_cell(Type::none);
    }
  }
  const Type type = cell_type(callee.function);
  if (type == Type::op) callee.function = op_function(callee.function);
  else if (!callable_type(type)) raise_error(error_id("script", "invalid-arg"), func);
  return callee;
}

}  // namespace

Status native_apply(const int32_t* refinements) {
  const Cell func = value_stack.base[0];
  const Cell args = value_stack.base[1];
  const Callee callee = callee_of(func);
  uint32_t mode = refinement_flag(refinements[0]) ? kApplyAll : kApplyNamed;
  if (refinement_flag(refinements[1])) mode |= kApplySafer;
  const CallPath path{func, 0};
  const bool through_path = cell_type(func) == Type::path;
  Code code = code_of(args);
  stack_mark_top_frame();
  return eval_call_function(callee.function, code, false, through_path ? &path : nullptr, callee.name, nullptr, mode, false);
}

}  // namespace qel

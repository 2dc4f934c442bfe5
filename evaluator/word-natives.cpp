// word-natives.cpp: get and set on words, paths, objects and word blocks; bind and in over the
// context of a word, an object or a function.
#include "evaluator/word-natives.h"

#include <algorithm>

#include "datatypes/series/block-core.h"
#include "evaluator/eval-path.h"
#include "evaluator/eval-support.h"
#include "evaluator/loop-steps.h"
#include "evaluator/object.h"
#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr bool any_path(Type type) {
  return type == Type::path || type == Type::lit_path || type == Type::set_path || type == Type::get_path;
}
constexpr bool object_like(Type type) { return type == Type::object || type == Type::error || type == Type::port; }

// The context a bind or in argument names: a word's own, an object's, a function's; 0 for a
// function-like value that has none.
NodeId context_of(const Cell& value) {
  const Type type = cell_type(value);
  if (any_word_type(type)) {
    if (value.w1 == 0) raise_error(error_id("script", "not-defined"), value);
    return value.w1;
  }
  if (object_like(type) || type == Type::function || type == Type::routine) return value.w1;
  return 0;
}

}  // namespace

// get word /any /case: a word's value, a path's value, or an object's values as a block.
Status native_get(const int32_t* refinements) {
  const bool any = refinement_flag(refinements[0]);
  const Cell target = value_stack.base[0];
  const Type type = cell_type(target);
  if (object_like(type)) {
    stack_set_result(services().object_reflect(target, word_from_c_string("values")));
    return {};
  }
  if (any_path(type)) {
    PathState state;
    QEL_TRY(eval_path(target, nullptr, PathMode::get, false, refinement_flag(refinements[1]), &state));
  } else {
    Cell word = target;  // resolved in its context on the way
    stack_set_result(*word_value_read(word));
  }
  if (!any && cell_type(value_stack.base[0]) == Type::unset) raise_error(error_id("script", "no-value"), target);
  stack_keep_first();
  return {};
}

// set word value /any /case /only /some: the value set into a word, through a path, into an
// object's fields or over a block of words; the result is the value.
Status native_set(const int32_t* refinements) {
  const bool any = refinement_flag(refinements[0]);
  const bool case_sensitive = refinement_flag(refinements[1]);
  const bool only = refinement_flag(refinements[2]);
  const bool some = refinement_flag(refinements[3]);
  const Cell target = value_stack.base[0];
  const Cell value = value_stack.base[1];
  const Type type = cell_type(target);
  if (type == Type::block) {
    // Under a frame of its own, so a handler a word set runs finds the arguments untouched.
    stack_open_native_frame(word_from_c_string("set"));
    loop_words_assign_block(target, value, static_cast<uint32_t>(std::max<int64_t>(block_length(target), 0)),
                            {any, only, some});
    stack_close_frame();
  } else if (object_like(type)) {
    object_set_from_value(target, value, any, only, some);
  } else {
    if (!any && cell_type(value) == Type::unset) raise_error(error_id("script", "need-value"), target);
    if (any_path(type)) {
      stack_set_result_only(value);  // a set path takes its new value from the result cell
      PathState state;
      QEL_TRY(eval_path(target, nullptr, PathMode::set, false, case_sensitive, &state));
    } else {
      Cell word = target;
      word_set(word, value);
    }
  }
  stack_set_result_only(value);
  return {};
}

// bind word context /copy: a block's words (deep) or a single word bound to the context.
Status native_bind(const int32_t* refinements) {
  const NodeId context = context_of(value_stack.base[1]);
  Cell target = value_stack.base[0];
  if (cell_type(target) != Type::block) {
    if (context) bind_word(context, target);
    stack_set_result_only(target);
    return {};
  }
  if (refinement_flag(refinements[0])) target = *block_copy_deep(target, DeepCopy::series);
  if (context) {
    stack_set_result(target);  // the copy stays rooted in the result cell
    bind_block_deep(target, context, false);
  }
  stack_set_result_only(target);
  return {};
}

// in object word: the word bound to the object's or function's context, a refinement as a
// word!; none when the context lacks it.
Status native_in(const int32_t*) {
  Cell word = value_stack.base[1];
  set_value_type_byte(word, Type::word);
  const NodeId context = context_of(value_stack.base[0]);
  stack_set_result_only(context && bind_word(context, word) ? word : make_cell(Type::none));
  return {};
}

}  // namespace qel

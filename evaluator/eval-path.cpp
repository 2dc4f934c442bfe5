// eval-path.cpp: paths: the head word's value, the steps through each value's path-step action,
// functions met on the way, set and get paths.
#include "evaluator/eval-path.h"

#include "datatypes/series/series.h"
#include "evaluator/eval-support.h"
#include "evaluator/library-code.h"
#include "evaluator/trace.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"

namespace qel {

namespace {

// Element i of the path from its index; valid until the next evaluation or allocation.
inline Cell& path_element(const Cell& path, uint32_t i) { return series_buffer(path.w2)->head_cell()[path.w1 + i]; }

// The selector of a step: a get-word's value, a paren's result, else the element itself; pushed.
Status push_selector(const Cell& path, uint32_t i) {
  Cell element = path_element(path, i);
  switch (cell_type(element)) {
    case Type::get_word:
      stack_push_value(*word_value_read(path_element(path, i)));
      return {};
    case Type::paren:
      stack_open_frame(body_word(), kFrameInterpNative);
      QEL_TRY(eval_block(element, true));
      stack_close_frame();
      return {};
    default:
      stack_push_value(element);
      return {};
  }
}

// Where a step's answer lives, for the path-state record.
void note_place(PathState& state, const Cell* reached, const Cell& parent, const Cell& selector) {
  if (reached >= stack_begin() && reached < stack_end()) {
    state.place = PathPlace::stack;
    state.index = stack_index(reached);
  } else if (any_block_type(cell_type(parent)) && cell_type(selector) == Type::integer) {
    state.place = PathPlace::series;
    state.index = static_cast<uint32_t>(static_cast<int64_t>(parent.w1) + payload_i32(selector, 2) - 1);
  } else {
    state.place = PathPlace::elsewhere;
  }
}

// Traces one step's element and value (the caller has tested trace_enabled).
void trace_step(const Cell& path, bool library, uint32_t i, const Cell& selector) {
  if (library) return;
  trace_fire(kTraceFetchEvent, path, path.w1 + i, make_cell(Type::none), path_element(path, i));
  trace_fire(kTracePushEvent, path, path.w1 + i, make_cell(Type::none), selector);
}

}  // namespace

Status eval_path(const Cell& path_value, Code* code, PathMode mode, bool push, bool case_sensitive,
                 PathState* state) {
  GcRoot<Cell> held(path_value);  // the code holding the path may change while it runs
  const Cell& path = *held;
  const bool library = code ? code->library : is_library_code(path.w2);
  Code no_code{path, series_buffer_length(path.w2), series_buffer_length(path.w2), library};
  Code& args = code ? *code : no_code;
  Cell* entry_top = value_stack.top;
  const uint32_t length = series_buffer_length(path.w2) > path.w1 ? series_buffer_length(path.w2) - path.w1 : 0;
  if (length == 0) raise_error(error_id("script", "empty-path"));
  if (cell_type(path_element(path, 0)) != Type::word) raise_error(error_id("script", "word-first"), path);
  if (trace_enabled && !library) [[unlikely]] {
    trace_fire(kTraceEnterEvent, path, path.w1, make_cell(Type::none), make_cell(Type::none));
    trace_fire(kTraceFetchEvent, path, path.w1, make_cell(Type::none), path_element(path, 0));
  }

  // The value so far, its parent and what the parent was stepped by stay on the stack, rooted:
  // [value][parent][previous selector][selector].
  uint32_t first_step = 1;
  Cell* value = stack_push_value(make_cell(Type::none));
  Cell* parent = stack_push_value(make_cell(Type::none));
  Cell* previous_selector = stack_push_value(make_cell(Type::none));
  if (state && state->step > 0) {
    first_step = state->step;
    *value = state->value;
    *parent = state->parent;
  } else {
    const Cell head = path_element(path, 0);
    const Cell* head_value = word_value_read(path_element(path, 0));
    *value = *head_value;
    if (state) {
      state->place = PathPlace::context;
      state->index = head.w3;
    }
    if (callable_type(cell_type(*value))) {
      if (mode == PathMode::set) raise_error(error_id("script", "invalid-path-set"), path);
      if (mode == PathMode::get) raise_error(error_id("script", "invalid-path-get"), path);
      const Cell function = *value;
      value_stack.top = entry_top;
      const CallPath call{path, 0};
      QEL_TRY(eval_call_function(function, args, push, &call, head, nullptr, 0, false));
      if (trace_enabled && !library) [[unlikely]]
        trace_fire(kTraceExitEvent, path, path.w1 + length, make_cell(Type::none), *produced_cell(push));
      return {};
    }
    if (cell_type(*value) == Type::unset) raise_error(error_id("script", "unset-path"), path, head);
  }

  Cell previous = path_element(path, first_step - 1);
  *previous_selector = previous;
  for (uint32_t i = first_step; i < length; ++i) {
    value_stack.top = entry_top + 3;
    QEL_TRY(push_selector(path, i));
    Cell* selector = entry_top + 3;
    if (trace_enabled) [[unlikely]] trace_step(path, library, i, *selector);
    if (cell_type(*selector) == Type::unset) raise_error(error_id("script", "invalid-path"), path, path_element(path, i));
    const bool last = i + 1 == length;
    Cell* new_value = mode == PathMode::set && last ? value_stack.base : nullptr;
    const PathStep step{&path,
                        parent,
                        &previous,
                        previous_selector,
                        static_cast<int32_t>(i),
                        case_sensitive,
                        mode == PathMode::get,
                        last,
                        path_step_notifies(mode == PathMode::set, length, last, parent, &previous)};
    auto step_function = lookup_action_or_fail(*value, *selector, &path, static_cast<int32_t>(i));
    // A step may answer in the value's own cell: the value stepped through is kept, rooted, to
    // become the parent.
    Cell* stepped = stack_push_value(*value);
    Cell* reached = step_function(*value, *selector, new_value, step);
    if (state) note_place(*state, reached, *value, *selector);
    previous = path_element(path, i);
    *previous_selector = *selector;
    const Cell next = *reached;
    *parent = *stepped;
    *value = next;
    if (mode == PathMode::plain && callable_type(cell_type(next))) {
      const Cell name = cell_type(previous) == Type::word ? previous : make_cell(Type::none);
      const CallPath call{path, i};
      QEL_TRY(eval_call_function(next, args, true, &call, name, parent, 0, false));
      const Cell result = *stack_last_value();
      value_stack.top = entry_top;
      produce(result, push);
      return {};
    }
  }
  if (state) {
    state->value = *value;
    state->parent = *parent;
    state->step = length;
  }
  const Cell reached = *value;
  if (trace_enabled && !library) [[unlikely]]
    trace_fire(kTraceExitEvent, path, path.w1 + length, make_cell(Type::none), reached);
  value_stack.top = entry_top;
  produce(reached, push);
  return {};
}

}  // namespace qel

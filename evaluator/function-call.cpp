// function-call.cpp: calling function-like values from code: frames, argument fetching, the
// body of a function, and where the result goes.
#include <algorithm>
#include <optional>

#include "evaluator/argument-fetch.h"
#include "evaluator/conditional-natives.h"
#include "evaluator/eval-plan.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "evaluator/library-code.h"
#include "evaluator/interpreter.h"
#include "evaluator/routine.h"
#include "evaluator/scoped-restore.h"
#include "evaluator/trace.h"
#include "evaluator/native-table.h"
#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/contexts.h"
#include "runtime/gc-root.h"
#include "runtime/quit.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Opens the frame of a call: kind 1 for a function! (saving its context's values pointer), else
// kind 2; named by the name word, or <anon>. Inlined into its callers: it runs on every call.
[[gnu::always_inline]] inline void open_call_frame(const Cell& function, const Cell& name, const Code& code) {
  const Cell frame_name = cell_type(name) == Type::word ? name : anon_word();
  switch (cell_type(function)) {
    case Type::function:
      stack_open_call_frame(frame_name, function.w1, frame_bits(code, kFrameInterpCall));
      return;
    case Type::native: case Type::action: case Type::routine:
      stack_open_frame(frame_name, frame_bits(code, kFrameInterpNative));
      return;
    default:
      fatal_no_match_switch();
  }
}

// Fires `open` or `return` for a call site that is not library code.
void trace_call_site(uint32_t event, const Code& code, const Cell& name, const Cell& value) {
  if (code.library) return;
  trace_fire(event, code.value, code.index, event == kTraceOpenEvent ? make_cell(Type::none) : name, value);
}

}  // namespace

namespace {

// The call once its function is reachable: a prefix call keeps the function pushed below its
// frame; an infix call's left operand is where the frame opens. `fetch` pushes the arguments
// and calls a native's or an action's entry.
template <class Fetch>
[[gnu::always_inline]] inline Status call_function_by(const Cell& function, Code& code, bool push, const Cell& name,
                                                      bool infix, Fetch&& fetch) {
  if (trace_enabled) [[unlikely]] trace_call_site(kTraceOpenEvent, code, name, name);
  Cell* kept = infix ? nullptr : stack_push_value(function);
  Cell* left = value_stack.top;
  open_call_frame(function, name, code);
  if (infix) value_stack.top = value_stack.base + 1;  // the left operand is the first argument
  QEL_TRY(fetch());
  switch (cell_type(function)) {
    case Type::function:
      QEL_TRY(eval_function_body(function, name, 0));
      stack_close_call_frame();
      break;
    case Type::routine:
      // a routine that evaluates code lets its exits out as the exception
      QEL_TRY(exits_as_status([&] { eval_checked_call(function); }));
      stack_close_frame();
      break;
    default:
      stack_close_frame();
      break;
  }
  // The result is at the closed frame's base; a prefix call moves it over the function value.
  Cell* result = kept ? kept : left;
  *result = kept ? kept[1] : *left;
  value_stack.top = result + 1;
  if (!push) {
    *value_stack.base = *result;
    stack_keep_first();
  }
  if (trace_enabled) [[unlikely]] trace_call_site(kTraceReturnEvent, code, name, *produced_cell(push));
  return {};
}

[[gnu::always_inline]] inline Status call_function(const Cell& function, Code& code, bool push, const CallPath* path,
                                                   const Cell& name, uint32_t apply, bool infix) {
  return call_function_by(function, code, push, name, infix, [&]() -> Status {
    const ArgDescription& description = arg_description(function);
    if (plain_call(description, path, apply)) [[likely]] {
      QEL_TRY(fetch_plain_arguments(description, code, name, infix));
      return eval_after_arguments(function, description, code, name, apply, kNoPositions.data());
    }
    return eval_fetch_arguments(function, code, path, name, apply, infix);
  });
}

// An infix routine is not on the stack (its left operand is where the frame opens), and its
// description only it holds: it is rooted aside while it runs. Out of line, so that its second
// copy of the call does not widen the machine-stack frame of every other call.
[[gnu::noinline]] Status call_infix_routine(const Cell& function, Code& code, bool push, const Cell& name) {
  GcRoot<Cell> rooted(function);
  return call_function(function, code, push, nullptr, name, 0, true);
}

}  // namespace

Status eval_call_function(Cell function, Code& code, bool push, const CallPath* path, const Cell& name,
                          const Cell* parent, uint32_t apply, bool infix) {
  (void)parent;  // the body's object context matters only to compiled bodies
  if (infix && cell_type(function) == Type::routine) [[unlikely]] return call_infix_routine(function, code, push, name);
  return call_function(function, code, push, path, name, apply, infix);
}

Status eval_call_with_values(Cell function, Code& code, bool push, const Cell& name, const CallValues& values) {
  return call_function_by(function, code, push, name, false, [&]() -> Status {
    const ArgDescription& description = arg_description(function);
    const ArgEntry* entries = description.entries();
    if (!values.fills) {
      for (uint32_t k = 0; k < values.argument_count; ++k) {
        stack_push_value(values.arguments[k]);
        check_argument(description, entries[k], values.arguments[k], name);
      }
    } else {
      for (uint32_t k = 0; k < values.fill_count; ++k) {
        const uint8_t fill = values.fills[k];
        stack_push_value(fill < kFillFalse ? values.arguments[fill]
                         : fill == kFillNone ? make_cell(Type::none)
                                             : make_cell(Type::logic, fill == kFillTrue));
      }
      for (uint32_t k = 0; k < values.argument_count; ++k)
        check_argument(description, entries[values.entries[k]], values.arguments[k], name);
    }
    // A conditional goes straight to its branch: with tracing off nothing between the arguments
    // and its entry (the call event, locals, refinement positions) applies to it.
    if (cell_type(function) == Type::native && function.w1 <= kEitherSlot && !trace_enabled)
      return exits_as_status([&] { return run_conditional(function.w1); });
    return eval_after_arguments(function, description, code, name, 0, kNoPositions.data());
  });
}

namespace {

// A function's body with its arguments in the current kind-1 frame. `MayTrace`: the body's flags
// may switch tracing, and events may fire; without it neither happens (the caller has seen that
// tracing is off, the body unflagged and no callback).
template <bool MayTrace>
[[gnu::always_inline]] inline Status run_function_body(const Cell& function, const Cell& name) {
  *context_values_slot(function.w1) = stack_index(value_stack.base) + 1;
  stack_set_body_flag(true);
  if (MayTrace && (function.header & kFunctionTraceFlag)) trace_enabled = trace_saved;
  if (MayTrace && (function.header & kFunctionNoTraceFlag)) trace_enabled = 0;
  const Cell body = *function_more_cell(function, kMoreBody);
  const bool traced = MayTrace && trace_enabled && !is_library_code(body.w2);
  if (traced) [[unlikely]] trace_fire(kTracePrologEvent, body, -1, name, function);
  Status status = cell_type(body) == Type::block ? eval_block(body, true) : Status{};
  if (cell_type(body) != Type::block) stack_set_result(make_cell(Type::none));
  if (traced) [[unlikely]] trace_fire(kTraceEpilogEvent, body, -1, name, function);
  if (!status.ok() && status.code() != kThrowReturn && status.code() != kThrowExit) return status;
  stack_set_body_flag(false);
  return {};
}

}  // namespace

Status eval_function_body(const Cell& function, const Cell& name, uint32_t callback) {
  if (!callback && !trace_enabled && !(function.header & (kFunctionTraceFlag | kFunctionNoTraceFlag))) [[likely]]
    return run_function_body<false>(function, name);
  // A body that switches tracing by its flags or as a callback puts the switch back when it
  // ends; any other body leaves it as it was set inside (`trace false` suspends the events
  // beyond the body of `trace`).
  std::optional<ScopedRestore<uint32_t>> tracing;
  if (callback || (function.header & (kFunctionTraceFlag | kFunctionNoTraceFlag))) tracing.emplace(trace_enabled);
  if (trace_enabled && callback && !(callback & trace_callback_bits)) trace_enabled = 0;
  return run_function_body<true>(function, name);
}

void throw_if_exit(Status status) {
  if (!status.ok()) throw_code(status.code());
}

namespace {

// A function's body run as a callback. When its bit lets tracing go on into the body, `call`
// and `return` events of its own frame it, as argument fetching and the call site do for an
// ordinary call; there is no code around a callback, so they carry none.
Status callback_body(const Cell& function, const Cell& name, uint32_t callback) {
  const bool traced = trace_enabled && (callback & trace_callback_bits);
  const Cell none = make_cell(Type::none);
  if (traced) [[unlikely]] trace_fire(kTraceCallEvent, none, -1, name, function);
  QEL_TRY(eval_function_body(function, name, callback));
  if (traced) [[unlikely]] trace_fire(kTraceReturnEvent, none, -1, name, *value_stack.base);
  return {};
}

// Calls the function value with the arguments under a frame named by `name`, as a callback of
// the given bit; with `after`, copies the argument slots as the call left them there (the first
// slot holds the result by then).
Cell call_with_arguments(const Cell& function_value, std::span<const Cell> arguments, const Cell& name,
                         uint32_t callback, Cell* after, bool check_types = true) {
  const Cell function = cell_type(function_value) == Type::op ? op_function(function_value) : function_value;
  stack_push_value(function);  // held while it runs
  const Code none{make_cell(Type::block), 0, 0, false};
  open_call_frame(function, name, none);
  // The arguments as the first parameters; every other slot as an absent refinement leaves it.
  const ArgDescription& description = arg_description(function);
  const ArgEntry* entries = description.entries();
  const bool slots = has_slots(cell_type(function));
  uint32_t mandatory = 0;
  for (uint32_t k = 0; k < description.entry_count; ++k) {
    const ArgEntry& entry = entries[k];
    if (entry.kind == EntryKind::return_types) continue;
    if (entry.kind == EntryKind::parameter && mandatory < description.fixed_count) {
      const Cell argument = mandatory < arguments.size() ? arguments[mandatory] : make_cell(Type::none);
      if (check_types && !description.accepts(entry, cell_type(argument)))
        raise_error(error_id("script", "expect-arg"), name, datatype_cell(cell_type(argument)),
                    make_cell(Type::word, 0, entry.symbol, kUnresolved));
      stack_push_value(argument);
      ++mandatory;
    } else if (slots) {
      stack_push_value(entry.kind == EntryKind::refinement ? make_cell(Type::logic, 0) : make_cell(Type::none));
    }
  }
  Status status;
  int32_t absent[kMostRefinements];
  for (int32_t& position : absent) position = -1;
  switch (cell_type(function)) {
    case Type::function:
      function_init_locals(description.local_count);
      status = callback_body(function, name, callback);
      break;
    case Type::routine:
      eval_checked_call(function);
      break;
    case Type::action:
      action_entries[function.w1 - 1](absent);
      break;
    default:
      status = native_entry(function.w1)(absent);
      break;
  }
  throw_if_exit(status);
  const Cell result = *value_stack.base;
  if (after) std::copy_n(value_stack.base, std::min<size_t>(mandatory, arguments.size()), after);
  if (cell_type(function) == Type::function)
    stack_close_call_frame();
  else
    stack_close_frame();
  stack_drop(2);  // the result and the function value
  return result;
}

}  // namespace

Cell call_function_with(const Cell& function, std::span<const Cell> arguments) {
  return call_with_arguments(function, arguments, anon_word(), 0, nullptr);
}

Cell call_callback(const Cell& function, std::span<const Cell> arguments, uint32_t callback) {
  return call_with_arguments(function, arguments, anon_word(), callback, nullptr);
}

Cell call_function_named(const Cell& function, std::span<const Cell> arguments, const Cell& name, uint32_t callback) {
  return call_with_arguments(function, arguments, name, callback, nullptr);
}

Cell call_function_unchecked(const Cell& function, std::span<const Cell> arguments, const Cell& name,
                             uint32_t callback) {
  return call_with_arguments(function, arguments, name, callback, nullptr, false);
}

Cell call_function_updating(const Cell& function, std::span<Cell> arguments, uint32_t callback) {
  return call_with_arguments(function, arguments, anon_word(), callback, arguments.data());
}

}  // namespace qel

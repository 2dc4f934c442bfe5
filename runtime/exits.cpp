// exits.cpp: unwinding the language stacks for break, continue, return, exit, throw, errors and
// Ctrl+C's halt.
#include "runtime/exits.h"

#include <string>

#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/halt-exit.h"
#include "runtime/os.h"
#include "runtime/quit.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

inline bool is_loop(const CallFrame& frame) { return frame_kind(frame) == FrameKind::loop; }
inline bool is_body(const CallFrame& frame) { return frame.header & kFrameBodyMark; }
inline bool is_catch(const CallFrame& frame) { return frame_kind(frame) == FrameKind::catch_; }

// The innermost catch frame marked for the console, or null.
CallFrame* find_halt_target() {
  for (CallFrame* frame = call_stack.top - 1; frame >= call_stack_begin(); --frame)
    if (is_catch(*frame) && (frame->header & kFrameConsoleMark)) return frame;
  return nullptr;
}

// Pops the frames above the target (restoring function contexts) and empties the target's own
// frame: base = its own base, top = base. Answers that base, the target's result cell.
inline Cell* land_on(CallFrame* target) {
  Cell* own_base = frame_own_base(target);
  stack_pop_frames_to(static_cast<uint32_t>(target - call_stack_begin()) + 1);
  value_stack.base = value_stack.top = own_base;
  return own_base;
}

// The current frame's first cell, or unset! when the frame holds none.
Cell first_cell_or_unset() {
  return value_stack.top > value_stack.base ? value_stack.base[0] : make_cell(Type::unset);
}

[[noreturn]] void report_unhandled_error(const Cell& error) {
  std::string text = formed_error_text(error);
  write_standard_error(text + '\n');
  std::optional<std::string> title = services().script_title();
  services().show_message_box(title ? title->c_str() : kUnnamedProgramCaption, text.c_str());
  quit_return(-2);
}

}  // namespace

std::string formed_error_text(const Cell& error) {
  std::string text;
  if (trap_errors([&] { text = form_value_text(error); }).taken) return std::string(kUnformedErrorText);
  return text;
}

Status unwind_break(bool value_given, bool continue_loop) {
  CallFrame* loop = find_exit_target(is_loop);
  if (!loop) {
    if (continue_loop) raise_error(error_id("throw", "continue"));
    raise_error(error_id("throw", "break"));
  }
  Cell value = value_given && !continue_loop ? first_cell_or_unset() : make_cell(Type::unset);
  *land_on(loop) = value;
  return exit_with(continue_loop ? kThrowContinue : kThrowBreak);
}

Status unwind_exit(bool return_value) {
  CallFrame* body = find_exit_target(is_body);
  if (!body) raise_error(error_id("throw", "return"));
  Cell value = return_value ? first_cell_or_unset() : make_cell(Type::unset);
  *land_on(body) = value;
  return exit_with(return_value ? kThrowReturn : kThrowExit);
}

Status unwind_throw(uint32_t code) {
  if (!throw_mark()) set_throw_mark(call_stack_depth());
  Cell value = first_cell_or_unset();
  Cell name = value_stack.top > value_stack.base + 1 ? value_stack.base[1] : make_cell(Type::none);
  CallFrame* catcher = find_exit_target(is_catch);
  if (!catcher) raise_error(error_id("throw", "throw"), value);
  land_on(catcher);
  stack_push_value(value);
  stack_push_value(name);
  return exit_with(code);
}

bool halt_target_open() { return find_halt_target() != nullptr; }

void unwind_halt() {
  CallFrame* catcher = find_halt_target();
  if (!catcher) fatal_assertion();
  land_on(catcher);
  stack_push_value(word_from_c_string("halt-request"));
  stack_push_value(word_from_c_string("console"));
  throw_code(kThrowHalt);
}

void throw_error_value(const Cell& raised) {
  Cell error = raised;
  bool handled = false;
  if (!call_stack_empty()) {
    services().error_set_where(error, stack_caller_name());
    error_set_stack_mark(error);
    Cell* saved_top = value_stack.top;
    stack_unwind_to_kind(FrameKind::try_, false);
    CallFrame trap = call_stack.top[-1];
    stack_pop_frames_to(call_stack_depth() - 1);
    value_stack.base = stack_cell_at(trap.saved_base);
    value_stack.top = saved_top;
    FrameKind kind = frame_kind(trap);
    handled = kind == FrameKind::try_ || kind == FrameKind::try_all || !call_stack_empty();
  }
  if (!handled) report_unhandled_error(error);
  stack_push_value(error);
  throw_code(kThrowError);
}

Cell stack_caller_name() {
  uint32_t start = throw_mark() ? throw_mark() : call_stack_depth();
  set_throw_mark(0);
  for (uint32_t i = start; i > 0; --i) {
    const CallFrame& frame = call_stack_frames[i - 1];
    if (frame_is_named(frame)) return make_cell(Type::word, frame.word_context, frame.symbol, 0xFFFFFFFF);
  }
  return make_cell(Type::none);
}

void error_set_stack_mark(const Cell& error) {
  Cell* stack = services().error_stack_field(error);
  if (cell_type(*stack) != Type::block) *stack = make_cell(Type::integer, 0, call_stack_depth());
}

}  // namespace qel

// exits.h: non-local exits on the language stacks: break, continue, return, exit, throw and errors.
//
// Each exit first unwinds the call and value stacks to the frame that receives it (a loop, a
// function body, a catch, an error trap) and places its value in that frame's result cell; then
// its code travels to the C++ owner of that frame: break, continue, return, exit and throw as a
// returned Status, errors as the NonLocalExit exception (throw.h). An exit without a target, or
// with a try/all frame before its target, raises a throw-category error from the state in which
// it was called, so a surrounding trap sees an ordinary error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/call-stack.h"
#include "runtime/call-trace.h"
#include "runtime/cell.h"
#include "runtime/throw.h"
#include "runtime/value-stack.h"

namespace qel {

// The innermost frame that receives an exit, searched from the current frame down without
// changing anything; null when a try/all frame comes first or there is none.
template <class IsTarget>
CallFrame* find_exit_target(IsTarget is_target) {
  for (CallFrame* frame = call_stack.top - 1; frame >= call_stack_begin(); --frame) {
    if (is_target(*frame)) return frame;
    if (frame_kind(*frame) == FrameKind::try_all) return nullptr;
  }
  return nullptr;
}

// Break (value_given: the current frame's first cell goes to the loop's result; else unset!) or
// continue (always unset!) to the innermost loop frame.
Status unwind_break(bool value_given, bool continue_loop);

// Return (the current frame's first cell becomes the body's result) or exit (unset!) to the
// innermost function-body frame.
Status unwind_exit(bool return_value);

// Throws the current frame's first cell, named by its second cell (none when there is none), to
// the innermost catch frame with `code`. The catch frame's result cell gets the value and the
// next cell the name.
Status unwind_throw(uint32_t code);

// Raises an error value that already exists: names the caller in its `where`, marks the call
// stack in its `stack`, unwinds to the nearest try frame and throws kThrowError with the error
// pushed on the value stack. With no trap anywhere the formed error goes to stderr and the
// message box and the process exits with status 254.
[[noreturn]] void throw_error_value(const Cell& error);

// The word of the innermost frame not named <body> or <anon>, from the throw mark when it is set
// (then cleared), else from the current frame; none when there is none.
Cell stack_caller_name();

// Stores the call-stack depth as an integer! in the error's `stack` field unless that holds a
// block! already.
void error_set_stack_mark(const Cell& error);

// Runs `body` with errors trapped as try traps them: under a try frame (or the try/all frame of
// `frame_bits`), taking every code up to the error code. After an error the stacks are as on
// entry with the error pushed; after a normal end the try frame is closed and what the body
// pushed stays; after another exit the stacks stay where its unwinder put them, at its target.
// C++ code that takes errors traps them so: an error with no try frame under it ends the program.
template <class Body>
Caught trap_errors(Body&& body, uint32_t frame_bits = kFrameTry) {
  uint32_t depth = call_stack_depth();
  Cell* base = value_stack.base;
  Cell* top = value_stack.top;
  stack_open_frame(anon_symbol(), 0, frame_bits);
  Caught caught = catch_site(kThrowError, std::forward<Body>(body));
  if (caught.taken != 0 && caught.taken != kThrowError) return caught;
  stack_pop_frames_to(depth);  // frames a try/all inside left, when it did not take the error itself
  value_stack.base = base;
  if (caught.taken == kThrowError) {
    Cell error = *stack_last_value();
    value_stack.top = top;
    stack_push_value(error);
  }
  return caught;
}

// What stands for an error that cannot be formed at all (an error! value the error services did
// not make): the no-handler report and the console print it instead.
inline constexpr std::string_view kUnformedErrorText = "*** Error: the error could not be formed";
// The error's formed text; should forming fail in turn (a value the error services did not
// build), kUnformedErrorText.
std::string formed_error_text(const Cell& error);

// The caption of the no-handler message box: the script's title, else the program's own name
// (the name in call traces, without its leading space).
inline constexpr const char* kUnnamedProgramCaption = kUnnamedProgramTrace + 1;

}  // namespace qel

// halt-exit.h: Ctrl+C's halt as a non-local exit: its code, the mark of the frame it goes to, its
// unwinder (exits.cpp) and the catch that takes it.
#pragma once

#include <cstdint>
#include <utility>

#include "runtime/collector.h"
#include "runtime/interrupt.h"
#include "runtime/throw.h"

namespace qel {

// Above every trap's level (throw.h), so that try, try/all, loops, bodies and catch let it pass:
// only take_halt and the root take it. It travels as the exception only.
inline constexpr uint32_t kThrowHalt = 0x80000000;

// Call-frame header bit 29 (free in call-stack.h's layout): on the frame of a catch whose names
// hold console, the halt's target.
inline constexpr uint32_t kFrameConsoleMark = 0x20000000;

// Whether such a frame is open: the halt has a target.
bool halt_target_open();

// Unwinds to the innermost frame marked for the console, through every frame between (try/all
// included), leaves the word halt-request as its value and console as its name, as
// `throw/name 'halt-request 'console` would, and throws kThrowHalt. Only with a target open.
[[noreturn]] void unwind_halt();

// Runs `body` (answering a Status) for a catch frame marked for the console: a halt, which has
// landed on that frame, comes back as the user throw it stands for. A request made while no
// such catch was open is taken at the body's first safe point. `nested`: another such catch
// was open below this one when it opened (interrupt_note_catch_end).
template <class Body>
Status take_halt(bool nested, Body&& body) {
  if (interrupt_pending()) safepoint_signal();
  try {
    const Status status = std::forward<Body>(body)();
    interrupt_note_catch_end(false, nested);
    return status;
  } catch (const NonLocalExit& exit) {
    interrupt_note_catch_end(exit.code == kThrowHalt, nested);
    if (exit.code != kThrowHalt) throw;
    return exit_with(kThrowUser);
  }
}

}  // namespace qel

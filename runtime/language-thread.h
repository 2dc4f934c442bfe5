// language-thread.h: the thread that runs all language code, and the stack it runs on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qel {

// The language thread's reserved stack; deep recursion of the evaluator lives in it.
inline constexpr size_t kLanguageStackSize = size_t{256} << 20;
// check_stack_headroom raises once the stack pointer is this close to the stack's bottom.
inline constexpr size_t kStackHeadroom = size_t{1} << 20;

// Runs `body` on a new thread with a large stack and an alternate signal stack, joins it and
// answers its result. main runs the entry body this way; tests run faults this way.
int run_on_language_thread(const std::function<int()>& body, size_t stack_size = kLanguageStackSize);

// Gives the calling thread an alternate stack for the fault handlers and records its stack
// bounds, so a fault in its guard zone reads as a stack overflow.
void prepare_thread_for_runtime();

// The calling thread's headroom limit: the lowest frame address a check lets pass. Above every
// address until the thread's bounds are recorded (the first check records them), 0 when they
// cannot be read (no check then).
extern thread_local constinit uintptr_t stack_headroom_limit;

// The check's slow side: records the bounds on a thread's first check, then raises the
// stack-overflow error when the frame lies below the limit.
void check_stack_headroom_slow(uintptr_t frame);

// Raises the catchable internal stack-overflow error when the calling thread's stack is nearly
// used up. Every recursive routine calls it before it recurses: one compare on the way.
inline void check_stack_headroom() {
  const auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (frame < stack_headroom_limit) [[unlikely]] check_stack_headroom_slow(frame);
}

// True when `address` lies in the guard zone just below the calling thread's stack (the signal
// handler asks on the faulting thread).
bool in_stack_guard_zone(uintptr_t address);

}  // namespace qel

// os-threads.h: threads for code of other subsystems (a camera callback, say), behind a handle.
//
// Such threads use neither the runtime heap nor the catch scheme; everything else runs on the
// language thread. Handles are used from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

struct Thread;
using ThreadRoutine = uint32_t (*)(void* argument);

// thread_wait's time-out that never ends.
inline constexpr uint32_t kThreadWaitForever = 0xFFFFFFFF;

// Starts routine(argument) on a new thread; stack_size 0 takes the default. Answers the handle,
// or null on failure.
Thread* thread_start(ThreadRoutine routine, void* argument, size_t stack_size);

// Lets go of the handle; a thread still running carries on and cleans up after itself.
bool thread_close(Thread* thread);

// Ending another thread from outside is not possible safely here: always answers false.
bool thread_kill(Thread* thread);

// Ends the calling thread with `code` as its exit code (destructors of its frames run).
[[noreturn]] void thread_exit(uint32_t code);

// Waits up to `milliseconds` for the thread to end: 0 on time-out, -1 on failure (no handle,
// waiting for itself), 1 once it has ended, with its exit code stored when `exit_code` is
// given. Waiting again for an ended thread answers 1 and the same code.
int thread_wait(Thread* thread, uint32_t milliseconds, uint32_t* exit_code);

// The OS id of the calling thread.
uint32_t thread_current_id();

// Gives the processor to another ready thread.
void thread_yield();

}  // namespace qel

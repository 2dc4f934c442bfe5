// interrupt.cpp: the SIGINT handler, its flag and self-pipe, and what the language thread does
// with a pending request.
#include "runtime/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <utility>

#include "runtime/collector.h"
#include "runtime/halt-exit.h"
#include "runtime/os-time.h"
#include "runtime/quit.h"

namespace qel {

namespace {

// Exit status of a run stopped by a second Ctrl+C: the shell convention 128 + signal.
constexpr int kInterruptedStatus = 128 + SIGINT;

std::atomic<bool> pending{false};
int pipe_ends[2] = {-1, -1};
bool halted = false;  // Ctrl+C's halt stopped the run (interrupt_note_catch_end)

// Async-signal-safe: a flag, one byte written without blocking, the safe point's wake-up.
void on_interrupt(int) {
  if (pending.exchange(true)) quit_from_signal(kInterruptedStatus);
  const int saved = errno;
  [[maybe_unused]] const ssize_t wrote = ::write(pipe_ends[1], "i", 1);
  errno = saved;
  safepoint_signal();
}

void drain_pipe() {
  char bytes[64];
  while (::read(pipe_ends[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

void install_interrupt_handler() {
  if (pipe_ends[0] < 0 && ::pipe2(pipe_ends, O_NONBLOCK | O_CLOEXEC) != 0) pipe_ends[0] = pipe_ends[1] = -1;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
}

bool interrupt_pending() { return pending.load(std::memory_order_relaxed); }

// The pipe is emptied before the flag is taken: a request that comes between keeps its byte
// (a stale byte wakes a reader for nothing; a lost one would leave it asleep).
bool interrupt_take() {
  drain_pipe();
  return pending.exchange(false);
}

int interrupt_fd() { return pipe_ends[0]; }

// With no console catch open the request stays pending and the safe point clear: the catch
// that opens next asks for a safe point again (take_halt), and a read takes it.
void halt_if_interrupted() {
  if (!interrupt_pending() || !halt_target_open()) return;
  interrupt_take();
  unwind_halt();
}

void interrupt_note_catch_end(bool by_halt, bool nested) {
  if (by_halt || nested) halted = by_halt;
}

bool interrupt_halted() { return std::exchange(halted, false); }

bool interrupt_wait(double seconds) {
  if (interrupt_pending()) return true;
  drain_pipe();  // bytes of requests taken before would end the sleep at once
  if (!interrupt_pending()) os_sleep(seconds, interrupt_fd());
  return interrupt_pending();
}

}  // namespace qel

// os-threads.cpp: threads through pthreads, each behind a reference-counted record.
#include "runtime/os-threads.h"

#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <new>

namespace qel {

// The handle and the running thread each hold a reference; the last to let go frees the record.
// exit_code is written by the thread before it ends and read only after a join.
struct Thread {
  pthread_t id{};
  ThreadRoutine routine = nullptr;
  void* argument = nullptr;
  uint32_t exit_code = 0;
  bool joined = false;  // reaped: `id` no longer names a thread
  std::atomic<int> references{2};
};

namespace {

thread_local Thread* current_thread = nullptr;

void release(Thread* thread) {
  if (thread->references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete thread;
}

// Drops the running thread's reference however it ends: a return or thread_exit's unwinding.
struct RunningReference {
  Thread* thread;
  ~RunningReference() { release(thread); }
};

void* thread_main(void* argument) {
  auto* thread = static_cast<Thread*>(argument);
  RunningReference reference{thread};
  current_thread = thread;
  thread->exit_code = thread->routine(thread->argument);
  return nullptr;
}

// The CLOCK_MONOTONIC instant `milliseconds` from now (unaffected by changes of the wall clock).
timespec deadline_after(uint32_t milliseconds) {
  timespec deadline{};
  clock_gettime(CLOCK_MONOTONIC, &deadline);
  deadline.tv_sec += milliseconds / 1000;
  deadline.tv_nsec += static_cast<long>(milliseconds % 1000) * 1000000;
  if (deadline.tv_nsec >= 1000000000) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000;
  }
  return deadline;
}

// Joins within the time-out: 0 when joined, else the pthread error (ETIMEDOUT on time-out).
int join_within(pthread_t id, uint32_t milliseconds) {
  if (milliseconds == kThreadWaitForever) return pthread_join(id, nullptr);
  timespec deadline = deadline_after(milliseconds);
  return pthread_clockjoin_np(id, nullptr, CLOCK_MONOTONIC, &deadline);
}

}  // namespace

Thread* thread_start(ThreadRoutine routine, void* argument, size_t stack_size) {
  if (!routine) return nullptr;
  auto* thread = new (std::nothrow) Thread;
  if (!thread) return nullptr;
  thread->routine = routine;
  thread->argument = argument;
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) {
    delete thread;
    return nullptr;
  }
  size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
  bool started = (stack_size == 0 || pthread_attr_setstacksize(&attributes, std::max(stack_size, minimum)) == 0) &&
                 pthread_create(&thread->id, &attributes, thread_main, thread) == 0;
  pthread_attr_destroy(&attributes);
  if (!started) {
    delete thread;
    return nullptr;
  }
  return thread;
}

bool thread_close(Thread* thread) {
  if (!thread) return false;
  if (!thread->joined) pthread_detach(thread->id);
  release(thread);
  return true;
}

bool thread_kill(Thread*) { return false; }

void thread_exit(uint32_t code) {
  if (current_thread) current_thread->exit_code = code;
  pthread_exit(nullptr);
}

int thread_wait(Thread* thread, uint32_t milliseconds, uint32_t* exit_code) {
  if (!thread) return -1;
  if (!thread->joined) {
    int result = join_within(thread->id, milliseconds);
    if (result == ETIMEDOUT) return 0;
    if (result != 0) return -1;
    thread->joined = true;
  }
  if (exit_code) *exit_code = thread->exit_code;
  return 1;
}

uint32_t thread_current_id() { return static_cast<uint32_t>(gettid()); }

void thread_yield() { sched_yield(); }

}  // namespace qel

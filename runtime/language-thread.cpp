// language-thread.cpp: the language thread, per-thread stack bounds and the headroom check.
#include "runtime/language-thread.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>

#include "runtime/error-raise.h"
#include "runtime/quit.h"

namespace qel {

thread_local constinit uintptr_t stack_headroom_limit = UINTPTR_MAX;

namespace {

constexpr size_t kAlternateStackSize = 64 * 1024;
constexpr size_t kGuardZoneSize = 64 * 1024;

struct StackBounds {
  uintptr_t low = 0;      // lowest usable address
  bool recorded = false;  // the bounds were read (or could not be)
};

thread_local StackBounds stack_bounds;

// Reads the calling thread's stack bounds and sets its headroom limit (low + kStackHeadroom, or a
// quarter of a small stack); no limit when they cannot be read.
void record_stack_bounds() {
  stack_bounds.recorded = true;
  stack_headroom_limit = 0;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* address = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
    stack_bounds.low = reinterpret_cast<uintptr_t>(address);
    stack_headroom_limit = stack_bounds.low + (size > 2 * kStackHeadroom ? kStackHeadroom : size / 4);
  }
  pthread_attr_destroy(&attributes);
}

void install_alternate_stack() {
  stack_t current;
  if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE)) return;
  stack_t alternate{};
  alternate.ss_sp = std::malloc(kAlternateStackSize);  // lives as long as the thread
  if (!alternate.ss_sp) quit_with_runtime_error(kErrorOutOfMemory, 0);
  alternate.ss_size = kAlternateStackSize;
  sigaltstack(&alternate, nullptr);
}

struct ThreadStart {
  const std::function<int()>* body;
  int result;
};

void* thread_main(void* argument) {
  auto* start = static_cast<ThreadStart*>(argument);
  prepare_thread_for_runtime();
  start->result = (*start->body)();
  return nullptr;
}

}  // namespace

void prepare_thread_for_runtime() {
  install_alternate_stack();
  record_stack_bounds();
}

int run_on_language_thread(const std::function<int()>& body, size_t stack_size) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, stack_size);
  ThreadStart start{&body, 0};
  pthread_t thread;
  int failed = pthread_create(&thread, &attributes, thread_main, &start);
  pthread_attr_destroy(&attributes);
  if (failed) quit_with_runtime_error(kErrorOutOfMemory, 0);
  pthread_join(thread, nullptr);
  return start.result;
}

void check_stack_headroom_slow(uintptr_t frame) {
  if (!stack_bounds.recorded) record_stack_bounds();
  if (frame < stack_headroom_limit) raise_error(error_id("internal", "stack-overflow"));
}

bool in_stack_guard_zone(uintptr_t address) {
  return stack_bounds.low && address < stack_bounds.low + 4096 && address + kGuardZoneSize >= stack_bounds.low;
}

}  // namespace qel

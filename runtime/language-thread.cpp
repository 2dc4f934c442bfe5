// language-thread.cpp: the language thread, per-thread stack bounds and the headroom check.
#include "runtime/language-thread.h"

#include <pthread.h>
#include <signal.h>

#include <cstdlib>

#include "runtime/error-raise.h"
#include "runtime/quit.h"

namespace qel {

namespace {

constexpr size_t kAlternateStackSize = 64 * 1024;
constexpr size_t kGuardZoneSize = 64 * 1024;

struct StackBounds {
  uintptr_t low = 0;        // lowest usable address
  uintptr_t low_water = 0;  // headroom limit: low + kStackHeadroom
};

thread_local StackBounds stack_bounds;

void record_stack_bounds() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* address = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) == 0) {
    stack_bounds.low = reinterpret_cast<uintptr_t>(address);
    stack_bounds.low_water = stack_bounds.low + (size > 2 * kStackHeadroom ? kStackHeadroom : size / 4);
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

void check_stack_headroom() {
  if (!stack_bounds.low_water) record_stack_bounds();
  auto frame = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  if (frame < stack_bounds.low_water) raise_error(error_id("internal", "stack-overflow"));
}

bool in_stack_guard_zone(uintptr_t address) {
  return stack_bounds.low && address < stack_bounds.low + 4096 && address + kGuardZoneSize >= stack_bounds.low;
}

}  // namespace qel

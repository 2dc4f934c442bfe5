// os-pages.cpp: the page allocator's calls, with failures turned into the no-memory error.
#include "runtime/os-pages.h"

#include <sys/mman.h>

#include "runtime/error-raise.h"

namespace qel {

namespace {

bool fail_next = false;

// Answers true once after os_pages_fail_next, as if the system had refused.
bool injected_failure() {
  bool fail = fail_next;
  fail_next = false;
  return fail;
}

[[noreturn]] void refused() { raise_error(error_id("internal", "no-memory")); }

void* map(size_t size, int protection, int extra_flags) {
  if (injected_failure()) refused();
  void* start = mmap(nullptr, size, protection, MAP_PRIVATE | MAP_ANONYMOUS | extra_flags, -1, 0);
  if (start == MAP_FAILED) refused();
  return start;
}

}  // namespace

void* os_pages_get(size_t size) { return map(size, PROT_READ | PROT_WRITE, 0); }

void* os_pages_reserve(size_t size) { return map(size, PROT_NONE, MAP_NORESERVE); }

void os_pages_commit(void* start, size_t size) {
  if (injected_failure() || mprotect(start, size, PROT_READ | PROT_WRITE) != 0) refused();
}

void os_pages_release(void* start, size_t size) { munmap(start, size); }

void os_pages_discard(void* start, size_t size) { madvise(start, size, MADV_DONTNEED); }

void os_pages_retire(void* start, size_t size) {
  madvise(start, size, MADV_DONTNEED);
  mprotect(start, size, PROT_NONE);
}

void os_pages_fail_next() { fail_next = true; }

}  // namespace qel

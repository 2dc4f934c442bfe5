// memory-pages.cpp: the OS layer's page calls, with refusals turned into the no-memory error.
#include "runtime/memory-pages.h"

#include "runtime/error-raise.h"
#include "runtime/os-pages.h"

namespace qel {

namespace {

bool fail_next = false;

// Answers true once after os_pages_fail_next, as if the system had refused.
bool injected_failure() {
  bool fail = fail_next;
  fail_next = false;
  return fail;
}

// The pages, or the no-memory error when there are none.
void* granted(void* pages) {
  if (!pages) raise_error(error_id("internal", "no-memory"));
  return pages;
}

}  // namespace

void* os_pages_get(size_t size) { return granted(injected_failure() ? nullptr : os_virtual_alloc(size)); }

void* os_pages_reserve(size_t size) { return granted(injected_failure() ? nullptr : os_virtual_reserve(size)); }

void os_pages_commit(void* start, size_t size) {
  if (injected_failure() || !os_virtual_commit(start, size)) raise_error(error_id("internal", "no-memory"));
}

void* os_pages_get_reserved(size_t size, size_t reserved) {
  void* pages = os_pages_reserve(reserved);
  if (injected_failure() || !os_virtual_commit(pages, size)) {
    os_virtual_free(pages, reserved);
    raise_error(error_id("internal", "no-memory"));
  }
  return pages;
}

void os_pages_release(void* start, size_t size) { os_virtual_free(start, size); }

void os_pages_discard(void* start, size_t size) { os_virtual_discard(start, size); }

void os_pages_retire(void* start, size_t size) { os_virtual_retire(start, size); }

bool os_pages_move(void* from, size_t size, void* to) { return !injected_failure() && os_virtual_move(from, size, to); }

void os_pages_fail_next() { fail_next = true; }

}  // namespace qel

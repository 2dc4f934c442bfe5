// os-pages.cpp: page mapping through mmap/munmap; failures are return values, never throws.
#include "runtime/os-pages.h"

#include <sys/mman.h>

namespace qel {

void* os_virtual_alloc(size_t size) {
  if (size == 0) return nullptr;
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

bool os_virtual_free(void* address, size_t size) {
  return address && size && munmap(address, size) == 0;
}

void* os_virtual_reserve(size_t size) {
  if (size == 0) return nullptr;
  void* pages = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

bool os_virtual_commit(void* address, size_t size) {
  return mprotect(address, size, PROT_READ | PROT_WRITE) == 0;
}

void os_virtual_discard(void* address, size_t size) { madvise(address, size, MADV_DONTNEED); }

void os_virtual_retire(void* address, size_t size) {
  madvise(address, size, MADV_DONTNEED);
  mprotect(address, size, PROT_NONE);
}

}  // namespace qel

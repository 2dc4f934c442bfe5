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

}  // namespace qel

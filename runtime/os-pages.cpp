// os-pages.cpp: page mapping through mmap/munmap; failures are return values, never throws.
#include "runtime/os-pages.h"

#include <sys/mman.h>

#include <cstdint>

namespace qel {

namespace {

constexpr size_t kPageBytes = 4096;
constexpr size_t kHugePageBytes = size_t{2} << 20;

// Read-write zeroed pages, or null.
void* map_pages(size_t size) {
  void* pages = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return pages == MAP_FAILED ? nullptr : pages;
}

// Pages starting on a huge-page boundary, marked for huge pages: a large series (a long block,
// the arrays of a big table) then takes a few TLB entries and page faults instead of one per
// 4 KiB. The mapping is made a huge page longer and its excess unmapped at once, so what remains
// is exactly the rounded size, freed as any other mapping.
void* map_huge_aligned(size_t size) {
  const size_t rounded = (size + kPageBytes - 1) / kPageBytes * kPageBytes;
  auto* raw = static_cast<uint8_t*>(map_pages(rounded + kHugePageBytes));
  if (!raw) return nullptr;
  const uintptr_t at = reinterpret_cast<uintptr_t>(raw);
  auto* start = raw + ((kHugePageBytes - at % kHugePageBytes) % kHugePageBytes);
  if (start > raw) munmap(raw, static_cast<size_t>(start - raw));
  uint8_t* end = raw + rounded + kHugePageBytes;
  if (end > start + rounded) munmap(start + rounded, static_cast<size_t>(end - (start + rounded)));
  madvise(start, rounded, MADV_HUGEPAGE);  // advice only: without huge pages it still works
  return start;
}

}  // namespace

void* os_virtual_alloc(size_t size) {
  if (size == 0) return nullptr;
  if (size >= kHugePageBytes && size <= SIZE_MAX / 2) return map_huge_aligned(size);
  return map_pages(size);
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
  // A fresh inaccessible mapping in place: it drops the contents and, where the range's pages
  // were moved away, keeps the address space reserved.
  mmap(address, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED | MAP_NORESERVE, -1, 0);
}

bool os_virtual_move(void* from, size_t size, void* to) {
  // The source stays mapped, empty, until it is retired: no hole opens for another thread's
  // mapping to land in. A kernel without the flag refuses, and the caller copies instead.
  return mremap(from, size, size, MREMAP_MAYMOVE | MREMAP_FIXED | MREMAP_DONTUNMAP, to) != MAP_FAILED;
}

}  // namespace qel

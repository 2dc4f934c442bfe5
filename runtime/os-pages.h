// os-pages.h: memory taken directly from the operating system's page allocator, for node
// frames, series frames and big series. Never executable.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

inline constexpr size_t kPageSize = 4096;

// Rounds a byte count up to whole pages (the count must be below 2^63).
constexpr uint64_t page_round_up(uint64_t bytes) { return (bytes + kPageSize - 1) & ~uint64_t{kPageSize - 1}; }

// Each of these raises the catchable internal no-memory error when the system refuses.
void* os_pages_get(size_t size);            // fresh read-write pages
void* os_pages_reserve(size_t size);        // address space only: no access, nothing committed
void os_pages_commit(void* start, size_t size);  // makes reserved pages read-write

// These cannot fail in a way the runtime could act on; they return the pages' memory.
void os_pages_release(void* start, size_t size);  // unmaps
void os_pages_discard(void* start, size_t size);  // drops the contents, keeps them read-write (zero)
void os_pages_retire(void* start, size_t size);   // drops the contents and makes them inaccessible

// Test hook: the next request (get, reserve or commit) fails as if the system had refused.
void os_pages_fail_next();

}  // namespace qel

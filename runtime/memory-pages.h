// memory-pages.h: the memory manager's pages (node frames, series frames, big series), taken
// from the OS layer; a refusal is the catchable internal no-memory error.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

inline constexpr size_t kPageSize = 4096;

// Rounds a byte count up to whole pages (the count must be below 2^63).
constexpr uint64_t page_round_up(uint64_t bytes) { return (bytes + kPageSize - 1) & ~uint64_t{kPageSize - 1}; }

// Each of these raises internal no-memory when the system refuses.
void* os_pages_get(size_t size);                 // fresh read-write pages
void* os_pages_reserve(size_t size);             // address space only
void os_pages_commit(void* start, size_t size);  // makes reserved pages read-write
// `reserved` bytes of address space of which the first `size` are read-write.
void* os_pages_get_reserved(size_t size, size_t reserved);

void os_pages_release(void* start, size_t size);  // unmaps
void os_pages_discard(void* start, size_t size);  // contents dropped, pages kept read-write (zero)
void os_pages_retire(void* start, size_t size);   // contents dropped, pages made inaccessible
// Moves whole pages to `to` without copying them, leaving `from` unmapped; false when refused.
bool os_pages_move(void* from, size_t size, void* to);

// Test hook: the next request (get, reserve or commit) fails as if the system had refused.
void os_pages_fail_next();

}  // namespace qel

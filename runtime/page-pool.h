// page-pool.h: the pages of series frames and big series freed at a collection, kept mapped for
// the next cycle's frames and big series instead of being unmapped and mapped again.
//
// A kept mapping's pages are given back to the OS at once (they read zero when touched again):
// pages given up only lazily stayed counted in the process's resident memory until the OS wanted
// them, which raised its peak by the pool's size. The mapping stays, so a reuse takes no mapping
// call and keeps its huge-page alignment. Invariant: the pool's bytes stay within its cap, and
// a mapping kept at one collection and not reused by the end of the next one is unmapped then.
// Pooled bytes are not counted as taken from the OS.
#pragma once

#include <cstdint>

namespace qel {

// The pool holds at least this much when the live data is small, and a quarter of the live data
// when that is more.
inline constexpr uint64_t kPagePoolFloor = uint64_t{16} << 20;
constexpr uint64_t page_pool_cap(uint64_t live_bytes) {
  return live_bytes / 4 > kPagePoolFloor ? live_bytes / 4 : kPagePoolFloor;
}

// A kept mapping of exactly `size` bytes (page multiple), or null: the smallest one large enough,
// its excess unmapped.
void* page_pool_take(uint64_t size);

// Keeps a mapping of `size` bytes made by os_pages_get, dropping the oldest kept mappings to stay
// within `cap`; one larger than the cap is unmapped at once.
void page_pool_keep(void* start, uint64_t size, uint64_t cap);

// At the end of a collection: unmaps what was kept before it, which no allocation reused.
void page_pool_age();

// Unmaps every kept mapping (at exit and restart).
void page_pool_release_all();

// The bytes kept, and the number of mappings.
uint64_t page_pool_bytes();
uint64_t page_pool_mappings();

}  // namespace qel

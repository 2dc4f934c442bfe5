// heap.h: the runtime heap, from which the runtime's own tables come (series memory does not).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

// The largest block the runtime heap hands out; larger requests are out of memory (94).
inline constexpr size_t kHeapMaxBlock = size_t{1} << 46;

// Each of these ends the process with runtime error 94 at the caller's address on failure.
void* heap_allocate_checked(size_t size);
void* heap_allocate_zeroed(size_t size);
// A null pointer allocates; size 0 releases and answers null.
void* heap_resize(void* block, size_t size);

// As heap_resize, but answers null on failure and leaves the block as it was.
void* heap_try_resize(void* block, size_t size);

// Releases a live block; a pointer the heap did not hand out, or one already released, is ignored.
void heap_release(void* block);

// Releases every live block (at exit).
void heap_release_all();

// The bytes callers asked for over all live blocks, and the number of live blocks.
uint64_t heap_total_bytes();
size_t heap_live_blocks();

}  // namespace qel

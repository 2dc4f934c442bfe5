// os-pages.h: whole pages straight from the OS, for memory the runtime manages itself.
#pragma once

#include <cstddef>

namespace qel {

// Maps `size` bytes of zeroed read-write pages (never executable). Answers null on failure,
// including size 0.
void* os_virtual_alloc(size_t size);

// Unmaps pages mapped by os_virtual_alloc or os_virtual_reserve with the same size. Answers
// false on failure (a null or unaligned address, size 0).
bool os_virtual_free(void* address, size_t size);

// Reserves address space only: no access, nothing committed. Answers null on failure.
void* os_virtual_reserve(size_t size);

// Makes reserved pages read-write. Answers false on failure.
bool os_virtual_commit(void* address, size_t size);

// Drops the pages' contents (they read zero afterwards) and keeps them read-write.
void os_virtual_discard(void* address, size_t size);

// Drops the pages' contents and makes them inaccessible again (also over a range whose pages
// were moved away).
void os_virtual_retire(void* address, size_t size);

// Moves the pages of one mapping (or a part of one) to `to`, replacing whatever lay there, with
// their contents and without copying them; `from` stays mapped, empty, until it is retired.
// Answers false on failure.
bool os_virtual_move(void* from, size_t size, void* to);

}  // namespace qel

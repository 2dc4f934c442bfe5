// os-pages.h: whole pages straight from the OS, for memory the runtime manages itself.
#pragma once

#include <cstddef>

namespace qel {

// Maps `size` bytes of zeroed read-write pages (never executable). Answers null on failure,
// including size 0.
void* os_virtual_alloc(size_t size);

// Unmaps pages mapped by os_virtual_alloc with the same size. Answers false on failure
// (a null or unaligned address, size 0).
bool os_virtual_free(void* address, size_t size);

}  // namespace qel

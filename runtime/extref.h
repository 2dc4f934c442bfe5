// extref.h: external value slots: values that native code must keep alive and find again by
// number (1-based), held in a rooted block.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

inline constexpr int64_t kExtrefFirstCells = 100;

// extref-init: the block of 100 cells, all free.
void extref_init();

// Stores a copy of the value in a free cell (the block doubles when none is left); answers the
// cell's 1-based index, which the caller keeps.
uint32_t extref_alloc(const Cell& value);

// Frees the cell; index 0 is ignored. An index out of range or already free is error 98.
void extref_free(uint32_t index);

// The cell of an allocated index; valid until the next safe point. A free or out-of-range
// index is error 98.
Cell* extref_slot_address(uint32_t index);

// The block's node (a root of the collector) and its size in cells.
NodeId extref_block();
uint32_t extref_capacity();

}  // namespace qel

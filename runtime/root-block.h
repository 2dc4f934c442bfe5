// root-block.h: the root block, the collector's first root: the boot image's literals, the
// words made during start-up, and any value kept for the whole run.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

inline constexpr int64_t kRootBlockCells = 9695;

// root-block: makes the empty root block with room for 9,695 cells.
void root_block_init();

// The root block's node (0 before root_block_init).
NodeId root_block();
// Counts the root blocks made: what a cache of root slots is checked against.
uint32_t root_block_generation();

// Appends a value as a root slot (kept alive for the whole run); answers its 0-based position.
uint32_t root_slot_append(const Cell& value);

// The cell at a position; valid until the root block grows or a safe point passes.
Cell* root_slot(uint32_t position);

}  // namespace qel

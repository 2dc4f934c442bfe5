// hash.h: hash! (type 36, parent block!): a block whose cells are indexed by value, and the
// upkeep of that index which the series and block primitives call as they move cells.
//
// Invariant: the table of a hash! (the fourth word of its cell) holds every cell of the block
// exactly once, at its present position, so a search through it answers what a walk over the
// cells would. A cell written over is indexed again, which takes out the entry its position
// had; cells dropped, and several cells about to be written over, leave the index first (a
// probe compares with the cells at the positions the table holds, so none may hold another
// value meanwhile); shifted positions are synced, or the index rebuilt when a sync would pass
// 30,000 cells. Every upkeep call is a no-op for other values (and for a
// hash! that has no table).
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The table of a hash! value; 0 for any other value.
NodeId hash_table_of(const Cell& series);

// A new table over the cells of a hash! value, written into its cell (make, to, take, set
// operations).
void hash_index_new(Cell& series);

// Cells [position, total_before) moved up by `units` (a gap opened at position); the gap's
// cells are not indexed.
void hash_gap_opened(const Cell& series, int64_t position, int64_t units, int64_t total_before);
// `count` cells at `start` were cut; the cells after them moved down.
void hash_units_cut(const Cell& series, int64_t start, int64_t count, int64_t total_before);
// The cells [position, position + count) are about to be dropped, or written over together.
void hash_cells_leaving(const Cell& series, int64_t position, int64_t count);
// The cells [position, position + count) were written (into a gap, or over other cells): each
// is indexed at its position.
void hash_cells_written(const Cell& series, int64_t position, int64_t count);
// `count` cells moved within the block from `source` to `target` (their first position after
// the move); the cells between slid the other way.
void hash_cells_moved(const Cell& series, int64_t source, int64_t target, int64_t count);

// hash-init: registers hash! with its action row and element hooks.
void hash_init();

}  // namespace qel

// memory-stats.h: the figures of the stats and recycle natives.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// Bytes in use: the node table's slots in use, the used bytes of every series frame, and the
// size of every big series.
uint64_t memory_bytes_in_use();

// Mode 1 answers the bytes in use. Mode 2 and above also append five elements to the block
// `target`: a block of [free used total] blocks for the node frames (in nodes), the same for
// the series frames (in bytes), a block of the big series' sizes, the total taken from the OS,
// and the runtime heap's total. Every block is marked with the new-line flag. The figures are
// those from before the call's own allocations.
uint64_t memory_frame_stats(int mode, NodeId target);

// A figure as integer!, or as float! when it exceeds 2,147,483,647; memory_stats_item appends it.
Cell memory_stats_figure(uint64_t figure);
void memory_stats_item(NodeId block, uint64_t figure);

}  // namespace qel

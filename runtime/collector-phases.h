// collector-phases.h: the collector's own steps, shared between its files (not for other
// subsystems: they use runtime/collector.h).
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The mark bits, one per node id, beside the buffers rather than in their headers: marking a
// buffer does not touch it, and nothing needs clearing in the frames afterwards. Invariant:
// outside a collection every bit is clear.
extern uint64_t* mark_bits;
inline bool node_marked(NodeId node) { return (mark_bits[node / 64] >> (node % 64)) & 1; }

// Sizes the bits for every id made so far and sets the frames' mark counts to 0 (before marking);
// clears the bits (at the cycle's end).
void mark_bits_prepare();
void mark_bits_clear();

// Marks what the nodes pushed by the marking primitives hold, until none is left.
void mark_stack_drain();

// Slides the live buffers of every series frame down (and into the previous frame), freeing
// the nodes of dead ones and releasing emptied frames. A frame with nothing dead and nothing to
// spill is not walked.
void compact_frames();

// The torture mode's compaction: every frame's pages moved to fresh addresses (every buffer
// moves, the old ranges fault), then compacted.
void evacuate_frames();

}  // namespace qel

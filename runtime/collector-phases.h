// collector-phases.h: the collector's own steps, shared between its files (not for other
// subsystems: they use runtime/collector.h).
#pragma once

namespace qel {

// Marks what the nodes pushed by the marking primitives hold, until none is left.
void mark_stack_drain();

// Slides the live buffers of every series frame down (and into the previous frame), freeing
// the nodes of dead ones and releasing emptied frames.
void compact_frames();

// The torture mode's compaction: every live buffer copied into one fresh frame, every old frame
// made inaccessible.
void evacuate_frames();

}  // namespace qel

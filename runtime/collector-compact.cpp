// collector-compact.cpp: compaction of the series frames in address order, and the torture
// mode's evacuation.
//
// After marking, a frame holds live (marked) and dead buffers back to back. Dead buffers give
// their nodes back; live runs slide down, first into the previous frame when it has room, and
// their nodes are re-pointed. Head and tail are offsets, so a moved buffer needs nothing else.
// Node ids never change, so nothing outside the node table needs fixing.
#include <algorithm>
#include <cstring>
#include <span>

#include "runtime/collector-phases.h"
#include "runtime/memory.h"
#include "runtime/node-table.h"

namespace qel {

namespace {

SeriesBuffer* buffer_at(uint8_t* at) { return reinterpret_cast<SeriesBuffer*>(at); }
// A grown-away buffer has no node; a dead one's node is unmarked.
bool marked_at(uint8_t* at) {
  NodeId node = buffer_at(at)->node;
  return node && node_marked(node);
}

// How many buffers ahead of a walk through a frame the memory is asked for.
constexpr uint64_t kWalkAhead = 8;

// The buffer after the one at `at`. Each header's place depends on the previous capacity, so a
// walk would wait for memory at every step; it asks now for where the header kWalkAhead buffers
// on lies if they are all this one's size, as runs of like buffers are (inside the frame's
// mapping, or harmlessly past it).
uint8_t* walk_step(uint8_t* at) {
  uint64_t span = buffer_at(at)->span();
  __builtin_prefetch(at + kWalkAhead * span);
  return at + span;
}

// A dead buffer's node goes back to its frame (a grown-away buffer has none).
void bury(SeriesBuffer* buffer) {
  if ((buffer->flags & kSeriesLive) && buffer->node) node_free(buffer->node);
}

// Points the nodes of the buffers lying in [start, end) at their new places.
void repoint(uint8_t* start, uint8_t* end) {
  for (uint8_t* at = start; at < end; at += buffer_at(at)->span())
    node_slot(buffer_at(at)->node) = reinterpret_cast<uintptr_t>(at);
}

// Moves `bytes` of whole buffers from `from` to `to` (which may overlap) and re-points them.
void move_buffers(uint8_t* to, uint8_t* from, uint64_t bytes) {
  if (to == from) return;
  std::memmove(to, from, bytes);
  repoint(to, to + bytes);
}

// The end of the longest prefix of the run [start, end) that fits in `room` bytes; `count`
// becomes the number of buffers in it.
uint8_t* prefix_fitting(uint8_t* start, uint8_t* end, uint64_t room, uint32_t& count) {
  uint8_t* cut = start;
  for (count = 0; cut < end && static_cast<uint64_t>(cut - start) + buffer_at(cut)->span() <= room; ++count)
    cut += buffer_at(cut)->span();
  return cut;
}

// Compacts one frame; `previous` (null for the first frame) takes what fits of each live run
// while it has at least kFrameSpillRoom bytes free. Both frames' buffer counts are kept.
void compact_frame(SeriesFrame& frame, SeriesFrame* previous) {
  uint8_t* to = frame.area;
  uint8_t* at = frame.area;
  uint32_t kept = 0;
  while (at < frame.free) {
    while (at < frame.free && !marked_at(at)) {  // a run of dead buffers becomes free space
      bury(buffer_at(at));
      at = walk_step(at);
    }
    uint8_t* run = at;
    uint32_t live = 0;
    for (; at < frame.free && marked_at(at); ++live) at = walk_step(at);  // a run of live buffers
    if (previous && previous->room() >= kFrameSpillRoom) {
      uint32_t moved;
      uint8_t* cut = prefix_fitting(run, at, previous->room(), moved);
      move_buffers(previous->free, run, static_cast<uint64_t>(cut - run));
      previous->free += cut - run;
      previous->buffers += moved;
      live -= moved;
      run = cut;
    }
    move_buffers(to, run, static_cast<uint64_t>(at - run));
    to += at - run;
    kept += live;
  }
  frame.free = to;
  frame.buffers = kept;
  frame.touched = 0;
}

// A frame that compaction would leave as it is: untouched, every buffer in it marked, and no
// room in the previous frame to take a spill.
bool settled(const SeriesFrame& frame, const SeriesFrame* previous) {
  return !frame.touched && frame.marked == frame.buffers && !(previous && previous->room() >= kFrameSpillRoom);
}

// A frame the torture mode moved: the range its buffers lay in, and how far they went.
struct FrameMove {
  uintptr_t start;
  uintptr_t end;
  uintptr_t by;  // added modulo 2^64, so a move down works alike
};

// The frames moved before their nodes are re-pointed in one pass.
constexpr size_t kMovesAtOnce = 32;

// Points every node whose buffer lay in a moved frame (dead buffers' too: compaction buries them)
// at the buffer's new place. The node table is read in order, which costs far less than a chase
// from header to header through every buffer. Free and empty slots lie in no range.
void repoint_moved(std::span<const FrameMove> moves) {
  const uintptr_t low = moves.front().start;
  const uintptr_t span = moves.back().end - low;  // the frames are in address order
  std::span<const NodeFrame> frames = node_frames();
  for (size_t k = 0; k < frames.size(); ++k) {
    if (frames[k].released) continue;
    uintptr_t* slot = &node_slot(static_cast<NodeId>(k * kNodeFrameIds + 1));
    for (uintptr_t* end = slot + kNodeFrameIds; slot < end; ++slot) {
      if (*slot - low >= span) continue;
      for (const FrameMove& move : moves)
        if (*slot - move.start < move.end - move.start) {
          *slot += move.by;
          break;
        }
    }
  }
}

}  // namespace

void compact_frames() {
  for (size_t i = 0; i < memory.frames.size();) {
    SeriesFrame* previous = i ? &memory.frames[i - 1] : nullptr;
    if (!settled(memory.frames[i], previous)) compact_frame(memory.frames[i], previous);
    bool last = i + 1 == memory.frames.size();
    if (memory.frames[i].used() == 0 && !last) {
      series_frame_release(i);  // the next frame now follows frame i - 1
      continue;
    }
    ++i;
  }
  if (!memory.frames.empty()) memory.current = memory.frames.size() - 1;  // the most room, usually
}

void evacuate_frames() {
  for (size_t first = 0; first < memory.frames.size(); first += kMovesAtOnce) {
    FrameMove moves[kMovesAtOnce];
    size_t count = std::min(kMovesAtOnce, memory.frames.size() - first);
    for (size_t i = 0; i < count; ++i) {  // in address order, so the list stays in it
      SeriesFrame& frame = memory.frames[first + i];
      const uintptr_t from = reinterpret_cast<uintptr_t>(frame.area);
      const uintptr_t used_end = reinterpret_cast<uintptr_t>(frame.free);
      series_frame_move(frame);
      moves[i] = FrameMove{from, used_end, reinterpret_cast<uintptr_t>(frame.area) - from};
    }
    repoint_moved({moves, count});
  }
  compact_frames();
}

}  // namespace qel

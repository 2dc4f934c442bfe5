// collector-compact.cpp: compaction of the series frames in address order, and the torture
// mode's evacuation.
//
// After marking, a frame holds live (marked) and dead buffers back to back. Dead buffers give
// their nodes back; live runs slide down, first into the previous frame when it has room, and
// their nodes are re-pointed. Head and tail are offsets, so a moved buffer needs nothing else.
// Node ids never change, so nothing outside the node table needs fixing.
#include <cstring>

#include "runtime/collector-phases.h"
#include "runtime/memory.h"
#include "runtime/memory-pages.h"

namespace qel {

namespace {

// Room the torture mode leaves in its fresh frame for the allocations that follow.
constexpr uint64_t kTortureSlack = uint64_t{64} << 10;

SeriesBuffer* buffer_at(uint8_t* at) { return reinterpret_cast<SeriesBuffer*>(at); }
// A grown-away buffer has no node; a dead one's node is unmarked.
bool marked_at(uint8_t* at) {
  NodeId node = buffer_at(at)->node;
  return node && node_marked(node);
}

// How far ahead of a walk through a frame the memory is asked for.
constexpr uint64_t kWalkAhead = 1024;

// The buffer after the one at `at`. Each header's place depends on the previous capacity, so a
// walk would wait for memory at every step; it asks for the bytes well ahead instead (inside
// the frame's mapping or harmlessly past it).
uint8_t* walk_step(uint8_t* at) {
  __builtin_prefetch(at + kWalkAhead);
  return at + buffer_at(at)->span();
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
  uint64_t live = 0;
  for (const SeriesFrame& frame : memory.frames)
    for (uint8_t* at = frame.area; at < frame.free; at = walk_step(at)) {
      if (marked_at(at))
        live += buffer_at(at)->span();
      else
        bury(buffer_at(at));
    }
  size_t old_frames = memory.frames.size();
  series_frame_carve(page_round_up(live + kTortureSlack));  // becomes current; the old ones keep their order
  SeriesFrame& fresh = memory.frames[memory.current];
  for (size_t i = 0; i <= old_frames; ++i) {
    SeriesFrame& frame = memory.frames[i];
    if (&frame == &fresh) continue;
    for (uint8_t* at = frame.area; at < frame.free; at += buffer_at(at)->span()) {
      if (!marked_at(at)) continue;
      uint64_t span = buffer_at(at)->span();
      move_buffers(fresh.free, at, span);  // a copy: the old bytes stay until the frame is retired
      fresh.free += span;
      ++fresh.buffers;
    }
  }
  uint8_t* kept = fresh.area;
  for (size_t i = memory.frames.size(); i-- > 0;)
    if (memory.frames[i].area != kept) series_frame_release(i);
}

}  // namespace qel

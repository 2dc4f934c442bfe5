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
bool marked_at(uint8_t* at) { return buffer_at(at)->flags & kSeriesMark; }

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

// The end of the longest prefix of the run [start, end) that fits in `room` bytes.
uint8_t* prefix_fitting(uint8_t* start, uint8_t* end, uint64_t room) {
  uint8_t* cut = start;
  while (cut < end && static_cast<uint64_t>(cut - start) + buffer_at(cut)->span() <= room) cut += buffer_at(cut)->span();
  return cut;
}

// Compacts one frame; `previous` (null for the first frame) takes what fits of each live run
// while it has at least kFrameSpillRoom bytes free.
void compact_frame(SeriesFrame& frame, SeriesFrame* previous) {
  uint8_t* to = frame.area;
  uint8_t* at = frame.area;
  while (at < frame.free) {
    while (at < frame.free && !marked_at(at)) {  // a run of dead buffers becomes free space
      bury(buffer_at(at));
      at += buffer_at(at)->span();
    }
    uint8_t* run = at;
    while (at < frame.free && marked_at(at)) {  // a run of live buffers, unmarked as it is found
      buffer_at(at)->flags &= ~kSeriesMark;
      at += buffer_at(at)->span();
    }
    if (previous && previous->room() >= kFrameSpillRoom) {
      uint8_t* cut = prefix_fitting(run, at, previous->room());
      move_buffers(previous->free, run, static_cast<uint64_t>(cut - run));
      previous->free += cut - run;
      run = cut;
    }
    move_buffers(to, run, static_cast<uint64_t>(at - run));
    to += at - run;
  }
  frame.free = to;
}

}  // namespace

void compact_frames() {
  for (size_t i = 0; i < memory.frames.size();) {
    compact_frame(memory.frames[i], i ? &memory.frames[i - 1] : nullptr);
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
    for (uint8_t* at = frame.area; at < frame.free; at += buffer_at(at)->span()) {
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
      buffer_at(at)->flags &= ~kSeriesMark;
      uint64_t span = buffer_at(at)->span();
      move_buffers(fresh.free, at, span);  // a copy: the old bytes stay until the frame is retired
      fresh.free += span;
    }
  }
  uint8_t* kept = fresh.area;
  for (size_t i = memory.frames.size(); i-- > 0;)
    if (memory.frames[i].area != kept) series_frame_release(i);
}

}  // namespace qel

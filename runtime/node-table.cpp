// node-table.cpp: node frames over one reserved table: allocation from per-frame free lists,
// release of frames that emptied, remaking them when ids are needed again.
#include "runtime/node-table.h"

#include "runtime/error-raise.h"
#include "runtime/heap-array.h"
#include "runtime/memory.h"
#include "runtime/memory-pages.h"

namespace qel {

uintptr_t* node_slots = nullptr;
NodeFrame* node_current_frame = nullptr;
NodeId node_id_limit = 1;

namespace {

constexpr uint64_t kTableBytes = (uint64_t{kNodeFrameIds} * kNodeFrameLimit + 1) * sizeof(uintptr_t);
constexpr uint64_t kFrameBytes = uint64_t{kNodeFrameIds} * sizeof(uintptr_t);

HeapArray<NodeFrame> frames;
uint32_t frame_cycle = 0;  // the cycle count last seen, the birth cycle of new frames

NodeId first_id(size_t frame) { return static_cast<NodeId>(frame * kNodeFrameIds + 1); }
size_t frame_of(NodeId node) { return (node - 1) / kNodeFrameIds; }

uintptr_t free_link(NodeId next) { return (uintptr_t{next} << 1) | 1; }

// The frame's slots as whole pages: outward for making them usable, inward for giving them back
// (a page shared with a neighbour frame must keep the neighbour's slots).
uintptr_t slots_start(size_t frame) { return reinterpret_cast<uintptr_t>(&node_slots[first_id(frame)]); }
void commit_frame_pages(size_t frame) {
  uintptr_t start = slots_start(frame) & ~uintptr_t{kPageSize - 1};
  uintptr_t end = page_round_up(slots_start(frame) + kFrameBytes);
  os_pages_commit(reinterpret_cast<void*>(start), end - start);
}
void discard_frame_pages(size_t frame) {
  uintptr_t start = page_round_up(slots_start(frame));
  uintptr_t end = (slots_start(frame) + kFrameBytes) & ~uintptr_t{kPageSize - 1};
  if (end > start) os_pages_discard(reinterpret_cast<void*>(start), end - start);
}

// Threads the free list through every id of the frame in order and counts its memory.
void frame_build(size_t k) {
  NodeId first = first_id(k);
  for (NodeId id = first; id < first + kNodeFrameIds - 1; ++id) node_slots[id] = free_link(id + 1);
  node_slots[first + kNodeFrameIds - 1] = free_link(0);
  frames[k] = NodeFrame{first, 0, frame_cycle, 0, 0, 0};
  memory_os_add(kFrameBytes);
}

// Makes frame k the one where nodes are taken.
void make_current(size_t k) { node_current_frame = &frames[k]; }

// A frame for more ids: a released one remade, else a new one at the end.
size_t frame_make() {
  for (size_t k = 0; k < frames.size(); ++k)
    if (frames[k].released) {
      frame_build(k);
      return k;
    }
  if (frames.size() == kNodeFrameLimit) raise_error(error_id("internal", "no-memory"));
  size_t k = frames.size();
  commit_frame_pages(k);  // may raise: nothing has changed yet
  frames.resize(k + 1);   // may move the headers; the caller makes a frame current again
  node_id_limit = first_id(k + 1);
  frame_build(k);
  return k;
}

// The first frame with a free node, else a frame made for it.
size_t frame_with_free_node() {
  for (size_t k = 0; k < frames.size(); ++k)
    if (frames[k].free_head) return k;
  return frame_make();
}

}  // namespace

void node_table_init() {
  node_slots = static_cast<uintptr_t*>(os_pages_reserve(kTableBytes));
  frames.clear();
  node_current_frame = nullptr;
  node_id_limit = 1;
}

void node_table_release() {
  if (node_slots) os_pages_release(node_slots, kTableBytes);
  node_slots = nullptr;
  frames.release();
  node_current_frame = nullptr;
  node_id_limit = 1;
}

void node_frame_new() { make_current(frame_make()); }

NodeId node_alloc_from_another_frame() {
  make_current(frame_with_free_node());
  return node_alloc();
}

void node_free(NodeId node) {
  NodeFrame& frame = frames[frame_of(node)];
  node_slots[node] = free_link(frame.free_head);
  frame.free_head = node;
  --frame.in_use;
}

void node_frames_release_empty(uint32_t cycle) {
  frame_cycle = cycle;
  node_current_frame = nullptr;  // chosen below, or by the next allocation
  for (size_t k = 0; k < frames.size(); ++k) {
    NodeFrame& frame = frames[k];
    if (frame.released) continue;
    if (frame.in_use == 0) {  // every id died: the pages go back, the ids wait for a remake
      discard_frame_pages(k);
      frame = NodeFrame{0, 0, 0, 0, 0, 1};
      memory_os_add(-static_cast<int64_t>(kFrameBytes));
      continue;
    }
    frame.history = (frame.history << 1) | (frame.in_use == frame.last_in_use ? 1 : 0);
    frame.last_in_use = frame.in_use;
    if (!node_current_frame && frame.free_head) make_current(k);
  }
}

std::span<const NodeFrame> node_frames() { return {frames.data(), frames.size()}; }

uint64_t node_count_in_use() {
  uint64_t count = 0;
  for (const NodeFrame& frame : frames) count += frame.in_use;
  return count;
}

}  // namespace qel

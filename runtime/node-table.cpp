// node-table.cpp: node frames over one reserved table: free maps, the window of ids the fast path
// hands out, release of frames that emptied, remaking them when ids are needed again.
#include "runtime/node-table.h"

#include <algorithm>
#include <bit>

#include "runtime/error-raise.h"
#include "runtime/heap-array.h"
#include "runtime/memory.h"
#include "runtime/memory-pages.h"

namespace qel {

uintptr_t* node_slots = nullptr;
NodeWindow node_window{};
NodeId node_id_limit = 1;

namespace {

constexpr uint64_t kTableBytes = (uint64_t{kNodeFrameIds} * kNodeFrameLimit + 1) * sizeof(uintptr_t);
constexpr uint64_t kFrameBytes = uint64_t{kNodeFrameIds} * sizeof(uintptr_t);
constexpr uint32_t kLastWordIds = kNodeFrameIds - (kNodeMapWords - 1) * 64;

HeapArray<NodeFrame> frames;
size_t current = 0;        // the frame whose free ids the next window takes
uint32_t frame_cycle = 0;  // the cycle count last seen, the birth cycle of new frames

NodeId first_id(size_t frame) { return static_cast<NodeId>(frame * kNodeFrameIds + 1); }
size_t frame_of(NodeId node) { return (node - 1) / kNodeFrameIds; }

// Sets or clears the free bits of ids [from, to) of frame k (the range lies inside the frame).
void mark_free(size_t k, NodeId from, NodeId to, bool free) {
  uint64_t* map = frames[k].free_map;
  for (uint32_t i = from - first_id(k), end = to - first_id(k); i < end;) {
    uint32_t bits = std::min(64 - i % 64, end - i);
    uint64_t mask = (bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1) << (i % 64);
    map[i / 64] = free ? map[i / 64] | mask : map[i / 64] & ~mask;
    i += bits;
  }
}

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

// Marks every id of the frame free and counts its memory.
void frame_build(size_t k) {
  NodeId first = first_id(k);
  for (NodeId id = first; id < first + kNodeFrameIds; ++id) node_slots[id] = kFreeNodeSlot;
  NodeFrame& frame = frames[k];
  frame = NodeFrame{0, frame_cycle, 0, 0, 0, 0, {}};
  for (uint64_t& word : frame.free_map) word = ~uint64_t{0};
  frame.free_map[kNodeMapWords - 1] = (uint64_t{1} << kLastWordIds) - 1;
  memory_os_add(kFrameBytes);
}

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
  frames.resize(k + 1);
  node_id_limit = first_id(k + 1);
  frame_build(k);
  return k;
}

bool has_free_id(const NodeFrame& frame) { return !frame.released && frame.in_use < kNodeFrameIds; }

// The first frame with a free node, else a frame made for it.
size_t frame_with_free_node() {
  for (size_t k = 0; k < frames.size(); ++k)
    if (has_free_id(frames[k])) return k;
  return frame_make();
}

// The lowest run of consecutive free ids of frame k (which has one) becomes the window.
void window_open(size_t k) {
  NodeFrame& frame = frames[k];
  uint32_t word = frame.cursor;
  while (frame.free_map[word] == 0) ++word;
  frame.cursor = word;
  uint32_t start = word * 64 + static_cast<uint32_t>(std::countr_zero(frame.free_map[word]));
  uint32_t end = start;  // the run goes on word by word; the map has no bit past the last id
  while (end < kNodeFrameIds && (frame.free_map[end / 64] >> (end % 64)) & 1)
    end += static_cast<uint32_t>(std::countr_one(frame.free_map[end / 64] >> (end % 64)));
  node_window = NodeWindow{first_id(k) + start, first_id(k) + start, first_id(k) + end};
  mark_free(k, node_window.start, node_window.end, false);
}

}  // namespace

void node_table_init() {
  node_slots = static_cast<uintptr_t*>(os_pages_reserve(kTableBytes));
  frames.clear();
  current = 0;
  node_window = NodeWindow{};
  node_id_limit = 1;
}

void node_table_release() {
  if (node_slots) os_pages_release(node_slots, kTableBytes);
  node_slots = nullptr;
  frames.release();
  current = 0;
  node_window = NodeWindow{};
  node_id_limit = 1;
}

void node_frame_new() {
  node_window_close();
  current = frame_make();
}

NodeId node_alloc_from_new_window(uintptr_t slot) {
  node_window_close();
  if (current >= frames.size() || !has_free_id(frames[current])) current = frame_with_free_node();
  window_open(current);
  return node_alloc(slot);
}

void node_window_close() {
  NodeWindow& window = node_window;
  if (window.start == window.end) return;
  size_t k = frame_of(window.start);
  frames[k].in_use += window.next - window.start;
  mark_free(k, window.next, window.end, true);
  window = NodeWindow{};
}

void node_free(NodeId node) {
  node_window_close();
  size_t k = frame_of(node);
  NodeFrame& frame = frames[k];
  node_slots[node] = kFreeNodeSlot;
  // One bit, set in place: a collection frees every dead id through here, one at a time.
  const uint32_t bit = node - first_id(k);
  frame.free_map[bit / 64] |= uint64_t{1} << (bit % 64);
  if (bit / 64 < frame.cursor) frame.cursor = bit / 64;
  --frame.in_use;
}

void node_frames_release_empty(uint32_t cycle) {
  node_window_close();
  frame_cycle = cycle;
  current = frames.size();  // chosen below, or by the next allocation
  for (size_t k = 0; k < frames.size(); ++k) {
    NodeFrame& frame = frames[k];
    if (frame.released) continue;
    if (frame.in_use == 0) {  // every id died: the pages go back, the ids wait for a remake
      discard_frame_pages(k);
      frame = NodeFrame{0, 0, 0, 0, 1, 0, {}};
      memory_os_add(-static_cast<int64_t>(kFrameBytes));
      continue;
    }
    frame.history = (frame.history << 1) | (frame.in_use == frame.last_in_use ? 1 : 0);
    frame.last_in_use = frame.in_use;
    if (current == frames.size() && has_free_id(frame)) current = k;
  }
  if (current < frames.size()) window_open(current);  // ready for the next allocation
}

std::span<const NodeFrame> node_frames() { return {frames.data(), frames.size()}; }

uint32_t node_frame_in_use(size_t k) {
  const NodeWindow& window = node_window;
  uint32_t handed = window.start != window.end && frame_of(window.start) == k ? window.next - window.start : 0;
  return frames[k].in_use + handed;
}

uint64_t node_count_in_use() {
  uint64_t count = node_window.next - node_window.start;
  for (const NodeFrame& frame : frames) count += frame.in_use;
  return count;
}

}  // namespace qel

// node-table.h: the node table: NodeId -> series buffer address, in one reservation that
// never moves, handed out in node frames of 10,000 ids.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"

namespace qel {

inline constexpr uint32_t kNodeFrameIds = 10000;
// The reservation holds this many frames; ids run from 1 to kNodeFrameIds x kNodeFrameLimit.
inline constexpr uint32_t kNodeFrameLimit = 13000;

// A slot holds the address of its node's buffer (8-aligned), 0 for a node without a buffer yet,
// or 1 for a free node: the low bit keeps a free slot from ever being read as a buffer.
extern uintptr_t* node_slots;
inline constexpr uintptr_t kFreeNodeSlot = 1;

inline uintptr_t& node_slot(NodeId node) { return node_slots[node]; }
constexpr bool node_slot_is_free(uintptr_t slot) { return slot & 1; }

inline constexpr uint32_t kNodeMapWords = (kNodeFrameIds + 63) / 64;

// The side header of a node frame: the ids (frame k holds k x 10,000 + 1 to (k + 1) x 10,000).
struct NodeFrame {
  uint32_t in_use;       // ids handed out, less those handed out from the open node window
  uint32_t birth_cycle;  // collector cycle when the frame was made
  uint32_t last_in_use;  // in use at the last collection
  uint32_t history;      // one bit per collection, newest in bit 0: 1 when in_use did not change
  uint32_t released;     // 1 while its pages are given back; the ids wait for a remake
  uint32_t cursor;       // the words of the free map below this one hold no free id
  uint64_t free_map[kNodeMapWords];  // bit b of word w set: id first + 64 w + b is free
};

// The allocation fast path's run of consecutive free ids of one frame, taken out of its free
// map: [start, next) handed out (not yet in the frame's in_use), [next, end) still to hand out.
struct NodeWindow {
  NodeId start;
  NodeId next;
  NodeId end;
};
extern NodeWindow node_window;

// Reserves the table (memory-init) and gives it all back (release at exit).
void node_table_init();
void node_table_release();

// Makes a frame (the first one at start-up; node_alloc makes the others).
void node_frame_new();

// The next run of free ids (the lowest one of the current frame, else of the first frame with a
// free id, else of a frame made for it) becomes the window; answers its first id, linked to `slot`.
NodeId node_alloc_from_new_window(uintptr_t slot);

// A node whose slot holds `slot` (the buffer's address, or 0 for a node without a buffer yet);
// raises internal no-memory when the table is full. Constant time: the next id of the window.
inline bool node_window_has_id() { return node_window.next != node_window.end; }
inline NodeId node_window_take() { return node_window.next++; }  // its slot is the caller's to set
inline NodeId node_alloc(uintptr_t slot = 0) {
  if (!node_window_has_id()) [[unlikely]] return node_alloc_from_new_window(slot);
  NodeId node = node_window_take();
  node_slots[node] = slot;
  return node;
}

// Counts what the window handed out into its frame and puts its other ids back in the free map
// (the collector closes it; the next allocation opens another).
void node_window_close();

// Returns a node to its frame's free map. The window closes first, so the next allocation takes
// the lowest free ids of the current frame, this one among them.
void node_free(NodeId node);

// One past the highest id of the frames made so far.
extern NodeId node_id_limit;

// True for an id that names a node linked to a buffer (a released frame's slots read 0 or free).
inline bool node_is_in_use(NodeId node) {
  return node != 0 && node < node_id_limit && node_slots[node] != 0 && !node_slot_is_free(node_slots[node]);
}

// After a collection (the window closed): frames without a node in use give their pages back;
// the histories advance; the first frame with a free node becomes current, and the window opens
// on its lowest free ids.
void node_frames_release_empty(uint32_t cycle);

// The frames made so far, released ones included (statistics, tests).
std::span<const NodeFrame> node_frames();

// Nodes in use in frame k, and over all frames (both counting the window's).
uint32_t node_frame_in_use(size_t k);
uint64_t node_count_in_use();

}  // namespace qel

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
// or, for a free node, (next free id << 1) | 1: the low bit keeps a free slot from ever being
// read as a buffer.
extern uintptr_t* node_slots;

inline uintptr_t& node_slot(NodeId node) { return node_slots[node]; }
constexpr bool node_slot_is_free(uintptr_t slot) { return slot & 1; }

// The side header of a node frame: the ids (frame k holds k x 10,000 + 1 to (k + 1) x 10,000).
struct NodeFrame {
  NodeId free_head;      // first free id, 0 when none
  uint32_t in_use;
  uint32_t birth_cycle;  // collector cycle when the frame was made
  uint32_t last_in_use;  // in use at the last collection
  uint32_t history;      // one bit per collection, newest in bit 0: 1 when in_use did not change
  uint32_t released;     // 1 while its pages are given back; the ids wait for a remake
};

// Reserves the table (memory-init) and gives it all back (release at exit).
void node_table_init();
void node_table_release();

// Makes a frame (the first one at start-up; node_alloc makes the others).
void node_frame_new();

// The frame where nodes are taken (null before the first frame is made); kept by node-table.cpp.
extern NodeFrame* node_current_frame;
NodeId node_alloc_from_another_frame();

// A node whose slot is 0 (no buffer yet); raises internal no-memory when the table is full.
// Constant time: a pop from the current frame's free list.
inline NodeId node_alloc() {
  NodeFrame* frame = node_current_frame;
  if (!frame || !frame->free_head) [[unlikely]] return node_alloc_from_another_frame();
  NodeId node = frame->free_head;
  frame->free_head = static_cast<NodeId>(node_slots[node] >> 1);
  node_slots[node] = 0;
  ++frame->in_use;
  return node;
}

// Returns a node to its frame's free list.
void node_free(NodeId node);

// One past the highest id of the frames made so far.
extern NodeId node_id_limit;

// True for an id that names a node linked to a buffer (a released frame's slots read 0 or free).
inline bool node_is_in_use(NodeId node) {
  return node != 0 && node < node_id_limit && node_slots[node] != 0 && !node_slot_is_free(node_slots[node]);
}

// After a collection: frames without a node in use give their pages back; the histories
// advance; the first frame with a free node becomes current.
void node_frames_release_empty(uint32_t cycle);

// The frames made so far, released ones included (statistics, tests).
std::span<const NodeFrame> node_frames();

// Nodes in use over all frames.
uint64_t node_count_in_use();

}  // namespace qel

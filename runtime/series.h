// series.h: making series (a node linked to a new buffer), growing them, appending at the tail,
// and the byte-level operations with which the runtime uses a buffer as a growable array.
//
// Every function takes the node and re-reads the buffer through it, so a caller keeps the node
// (never a buffer or data address) across anything that may grow the series.
#pragma once

#include <bit>
#include <cstdint>
#include <string_view>

#include "runtime/cell.h"
#include "runtime/memory.h"
#include "runtime/node-table.h"
#include "runtime/series-buffer.h"

namespace qel {

// Links a new buffer to a fresh node. A refusal of the node leaves the buffer as dead space
// (node 0) until the next collection.
inline NodeId link_new_buffer(SeriesBuffer* buffer) {
  NodeId node = node_alloc(reinterpret_cast<uintptr_t>(buffer));
  buffer->node = node;
  return node;
}

// Allocation: each answers the new node. Sizes are checked in 64 bits; a request past the
// ceiling (2^31 - 1 bytes) raises internal no-memory before anything is allocated. The common
// case, a bump in the current frame's window and the next id of the node window, is inline and
// writes the header once, already linked.
NodeId new_series_node_slow(int64_t units, int64_t unit, int32_t head_offset);
inline NodeId new_series_node(int64_t units, int64_t unit, int32_t head_offset) {
  uint64_t need = fast_request_need(units, unit, head_offset);
  uint8_t* at;
  if (!window_fits(need, at) || !node_window_has_id()) [[unlikely]]
    return new_series_node_slow(units, unit, head_offset);
  window_take(at, need);
  NodeId node = node_window_take();
  buffer_start(at, need - kBufferHeaderBytes, unit, head_offset, 0, node);
  node_slot(node) = reinterpret_cast<uintptr_t>(at);
  return node;
}
inline NodeId new_cell_series(int64_t cells) { return new_series_node(cells, sizeof(Cell), 0); }
NodeId new_cell_series_unset(int64_t cells);  // every cell of the capacity unset!
inline NodeId new_byte_series(int64_t bytes) { return new_series_node(bytes == 0 ? 16 : bytes, 1, 0); }  // 0 gets 16
NodeId new_byte_series_filled(int64_t bytes, uint8_t fill);  // every byte of the capacity
inline NodeId new_string_series(int64_t units, int64_t unit) { return new_series_node(units, unit, 0); }
inline NodeId series_buffer_alloc_unit(int64_t units, int64_t unit) { return new_string_series(units, unit); }
NodeId new_heap_series(int64_t units, int64_t unit, int32_t head_offset);  // never moves
// A copy of the buffer's content at the same head and tail offsets, with its flags word.
NodeId copy_series_buffer(NodeId source);

// Growth to a new capacity in bytes (0: twice the current one, at least 16). The node is
// re-pointed at a fresh buffer holding the same length from its head; the old buffer loses its
// live bit and node link. A capacity below 1 raises no-memory; one below the live length is
// raised to it. Answers the new buffer.
SeriesBuffer* grow_series(NodeId node, int64_t new_capacity);
// The same, copying the old bytes from the old head on (at most what the new buffer holds).
SeriesBuffer* grow_series_copy(NodeId node, int64_t new_capacity);
// The same, then the bytes past the copied ones set to `fill`.
SeriesBuffer* grow_series_fill(NodeId node, int64_t new_capacity, uint8_t fill);

// Appends an unset! cell at the tail (growing by doubling when full); answers it. The cell is
// valid until the series grows or a safe point passes.
Cell* series_append_fresh_slot(NodeId node);
Cell* block_append_fresh_slot(const Cell& block);

// Advances the tail by n bytes (growing to 2n when the capacity is below n, else to twice the
// capacity, when they do not fit); answers the old tail address.
uint8_t* series_reserve_tail_bytes(NodeId node, int64_t n);

// (tail - head) / unit, a shift for the power-of-two units every series has.
inline uint32_t series_buffer_length(NodeId node) {
  const SeriesBuffer* buffer = series_buffer(node);
  const uint32_t bytes = buffer->tail - buffer->head;
  const uint32_t unit = buffer->unit();
  return unit != 0 && (unit & (unit - 1)) == 0 ? bytes >> std::countr_zero(unit) : bytes / unit;
}

// The byte-level table. Positions are 1-based; 32-bit word positions count 4-byte words from
// the head. A position outside the content is runtime error 98. Ids are 32 bits on this system,
// so the pointer forms of these operations are the 32-bit forms.
void series_buffer_clear(NodeId node);
void series_buffer_set_tail(NodeId node, uint32_t unit_position);
uint8_t* series_buffer_head(NodeId node);
void series_buffer_append_byte(NodeId node, uint8_t byte);
uint8_t series_buffer_pick_byte(NodeId node, uint32_t position);
void series_buffer_append_bytes(NodeId node, const void* bytes, int64_t n);
void series_buffer_append_int32(NodeId node, int32_t word);
void series_buffer_append_int32(const Cell& series, int32_t word);
int64_t series_buffer_find_int32(NodeId node, int32_t word);  // byte offset from head, or -1
int32_t series_buffer_pick_int32(NodeId node, uint32_t position);
void series_buffer_poke_int32(NodeId node, uint32_t position, int32_t word);
void series_buffer_insert_int32(NodeId node, uint32_t position, int32_t word);
void series_buffer_remove_bytes(NodeId node, uint32_t offset, uint32_t n);
bool series_buffer_remove_int32(NodeId node, int32_t word);  // false when absent
void series_buffer_set_flags(NodeId node, uint32_t bits);

// Appends ASCII text to a text buffer, each character one unit of the buffer's unit size.
void series_append_ascii(NodeId node, std::string_view text);

}  // namespace qel

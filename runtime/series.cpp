// series.cpp: making, growing and appending to series, and the byte-level table.
#include "runtime/series.h"

#include <algorithm>
#include <cstring>

#include "datatypes/series/string-unit.h"
#include "runtime/memory.h"
#include "runtime/quit.h"

namespace qel {

namespace {

// The largest capacity a buffer may have (a multiple of 16 under the ceiling).
constexpr int64_t kMaxCapacity = static_cast<int64_t>(kSeriesMaxBytes & ~uint64_t{15});

uint32_t content_bytes(const SeriesBuffer* buffer) { return buffer->tail - buffer->head; }

// Ends the process (98) unless `ok`: a position outside the content is a fault of the caller.
void require(bool ok) {
  if (!ok) fatal_assertion();
}

// The address of the 32-bit word at a 1-based position inside the content.
uint8_t* word_at(NodeId node, uint32_t position) {
  SeriesBuffer* buffer = series_buffer(node);
  require(position >= 1 && uint64_t{position} * 4 <= content_bytes(buffer));
  return buffer->head_address() + uint64_t{position - 1} * 4;
}

// The capacity a full buffer grows to so that `request` more bytes fit: twice its own, or twice
// the request when the request alone is larger; kept under the ceiling while the content fits.
int64_t growth_target(const SeriesBuffer* buffer, int64_t request) {
  int64_t capacity = buffer->capacity;
  int64_t target = std::max<int64_t>(capacity < request ? 2 * request : 2 * capacity, 16);
  if (target > kMaxCapacity && content_bytes(buffer) + request <= kMaxCapacity) target = kMaxCapacity;
  return target;
}

// Makes room for `request` more bytes at the tail; answers the (possibly new) buffer.
SeriesBuffer* room_at_tail(NodeId node, int64_t request) {
  SeriesBuffer* buffer = series_buffer(node);
  if (request < 0 || request > kMaxCapacity) raise_no_memory();
  if (buffer->tail + request <= buffer->capacity) return buffer;
  return grow_series_copy(node, growth_target(buffer, request));
}

// The one growth: in place where a big series has the room reserved, else a fresh buffer of the
// same kind (frame or heap) re-linked to the node.
SeriesBuffer* grow_buffer(NodeId node, int64_t new_capacity, bool copy) {
  SeriesBuffer* old = series_buffer(node);
  int64_t capacity = new_capacity == 0 ? std::max<int64_t>(2 * int64_t{old->capacity}, 16) : new_capacity;
  if (capacity < 1) raise_no_memory();
  uint32_t length = content_bytes(old);
  capacity = std::max<int64_t>(capacity, length);  // never below the live content
  int64_t unit = old->unit();
  int64_t units = (capacity + unit - 1) / unit;
  if (series_buffer_extend(old, units, unit)) return old;
  SeriesBuffer* fresh = (old->flags & kSeriesHeapHeld) ? heap_buffer_alloc(units, unit, 0)
                                                      : series_buffer_alloc_grown(units, unit);
  fresh->flags = (old->flags & ~kSeriesBig) | (fresh->flags & kSeriesBig);
  fresh->node = node;
  fresh->tail = fresh->head + length;
  if (copy) std::memcpy(fresh->data(), old->head_address(), std::min(old->capacity - old->head, fresh->capacity));
  node_slot(node) = reinterpret_cast<uintptr_t>(fresh);
  old->flags &= ~kSeriesLive;
  old->node = 0;
  return fresh;
}

}  // namespace

// A request the inline path does not take: the node linked after the buffer is made.
NodeId new_series_node_slow(int64_t units, int64_t unit, int32_t head_offset) {
  return link_new_buffer(series_buffer_alloc(units, unit, head_offset));
}

NodeId new_cell_series_unset(int64_t cells) {
  NodeId node = new_cell_series(cells);
  SeriesBuffer* buffer = series_buffer(node);
  std::fill_n(reinterpret_cast<Cell*>(buffer->data()), buffer->capacity / sizeof(Cell), Cell{kUnsetHeader});
  return node;
}

NodeId new_byte_series_filled(int64_t bytes, uint8_t fill) {
  NodeId node = new_byte_series(bytes);
  SeriesBuffer* buffer = series_buffer(node);
  std::memset(buffer->data(), fill, buffer->capacity);
  return node;
}

NodeId new_heap_series(int64_t units, int64_t unit, int32_t head_offset) {
  return link_new_buffer(heap_buffer_alloc(units, unit, head_offset));
}

NodeId copy_series_buffer(NodeId source) {
  SeriesBuffer* from = series_buffer(source);
  // As many bytes as the tail offset, so the head and tail offsets fit the copy.
  NodeId node = new_series_node(from->tail, 1, 0);
  SeriesBuffer* copy = series_buffer(node);
  // A copy is library code only when made while the library boots, whatever its source was.
  constexpr uint32_t kOwnFlags = kSeriesHeapHeld | kSeriesBig | kSeriesLibraryCode;
  copy->flags = (from->flags & ~kOwnFlags) | (copy->flags & (kSeriesBig | kSeriesLibraryCode));
  copy->head = from->head;
  copy->tail = from->tail;
  std::memcpy(copy->head_address(), from->head_address(), content_bytes(from));
  return node;
}

SeriesBuffer* grow_series(NodeId node, int64_t new_capacity) { return grow_buffer(node, new_capacity, false); }

SeriesBuffer* grow_series_copy(NodeId node, int64_t new_capacity) { return grow_buffer(node, new_capacity, true); }

SeriesBuffer* grow_series_fill(NodeId node, int64_t new_capacity, uint8_t fill) {
  SeriesBuffer* old = series_buffer(node);
  const uint32_t kept = old->capacity - old->head;  // from the head on: what the growth keeps
  SeriesBuffer* grown = grow_buffer(node, new_capacity, true);
  const uint32_t room = grown->capacity - grown->head;
  if (kept < room) std::memset(grown->head_address() + kept, fill, room - kept);
  return grown;
}

Cell* series_append_fresh_slot(NodeId node) {
  SeriesBuffer* buffer = room_at_tail(node, sizeof(Cell));
  auto* cell = buffer->tail_cell();
  cell->header = kUnsetHeader;
  buffer->tail += sizeof(Cell);
  return cell;
}

Cell* block_append_fresh_slot(const Cell& block) { return series_append_fresh_slot(block.w2); }

uint8_t* series_reserve_tail_bytes(NodeId node, int64_t n) {
  SeriesBuffer* buffer = room_at_tail(node, n);
  uint8_t* old_tail = buffer->tail_address();
  buffer->tail += static_cast<uint32_t>(n);
  return old_tail;
}

void series_buffer_clear(NodeId node) {
  SeriesBuffer* buffer = series_buffer(node);
  buffer->tail = buffer->head;
}

void series_buffer_set_tail(NodeId node, uint32_t unit_position) {
  SeriesBuffer* buffer = series_buffer(node);
  require(unit_position >= 1);
  uint64_t tail = buffer->head + uint64_t{unit_position - 1} * buffer->unit();
  require(tail <= buffer->capacity);
  buffer->tail = static_cast<uint32_t>(tail);
}

uint8_t* series_buffer_head(NodeId node) { return series_buffer(node)->head_address(); }

void series_buffer_append_byte(NodeId node, uint8_t byte) { *series_reserve_tail_bytes(node, 1) = byte; }

uint8_t series_buffer_pick_byte(NodeId node, uint32_t position) {
  SeriesBuffer* buffer = series_buffer(node);
  require(position >= 1 && position <= content_bytes(buffer));
  return buffer->head_address()[position - 1];
}

void series_buffer_append_bytes(NodeId node, const void* bytes, int64_t n) {
  // The source may lie in this very buffer: a grown-away buffer keeps its bytes until the next
  // collection, so the copy reads them after the growth all the same.
  std::memcpy(series_reserve_tail_bytes(node, n), bytes, static_cast<size_t>(n));
}

void series_buffer_append_int32(NodeId node, int32_t word) {
  std::memcpy(series_reserve_tail_bytes(node, sizeof word), &word, sizeof word);
}

void series_buffer_append_int32(const Cell& series, int32_t word) { series_buffer_append_int32(series.w2, word); }

int64_t series_buffer_find_int32(NodeId node, int32_t word) {
  SeriesBuffer* buffer = series_buffer(node);
  const uint8_t* head = buffer->head_address();
  for (uint32_t offset = 0; offset + sizeof word <= content_bytes(buffer); offset += sizeof word)
    if (std::memcmp(head + offset, &word, sizeof word) == 0) return offset;
  return -1;
}

int32_t series_buffer_pick_int32(NodeId node, uint32_t position) {
  int32_t word;
  std::memcpy(&word, word_at(node, position), sizeof word);
  return word;
}

void series_buffer_poke_int32(NodeId node, uint32_t position, int32_t word) {
  std::memcpy(word_at(node, position), &word, sizeof word);
}

void series_buffer_insert_int32(NodeId node, uint32_t position, int32_t word) {
  require(position >= 1 && uint64_t{position - 1} * 4 <= content_bytes(series_buffer(node)));
  SeriesBuffer* buffer = room_at_tail(node, sizeof word);
  uint8_t* at = buffer->head_address() + uint64_t{position - 1} * 4;
  std::memmove(at + sizeof word, at, static_cast<size_t>(buffer->tail_address() - at));
  std::memcpy(at, &word, sizeof word);
  buffer->tail += sizeof word;
}

void series_buffer_remove_bytes(NodeId node, uint32_t offset, uint32_t n) {
  SeriesBuffer* buffer = series_buffer(node);
  require(uint64_t{offset} + n <= content_bytes(buffer));
  uint8_t* at = buffer->head_address() + offset;
  std::memmove(at, at + n, content_bytes(buffer) - offset - n);
  buffer->tail -= n;
}

bool series_buffer_remove_int32(NodeId node, int32_t word) {
  int64_t offset = series_buffer_find_int32(node, word);
  if (offset < 0) return false;
  series_buffer_remove_bytes(node, static_cast<uint32_t>(offset), sizeof word);
  return true;
}

void series_buffer_set_flags(NodeId node, uint32_t bits) { series_buffer(node)->flags |= bits; }

void series_append_ascii(NodeId node, std::string_view text) {
  const unsigned unit = series_buffer(node)->unit();
  uint8_t* out = series_reserve_tail_bytes(node, static_cast<int64_t>(text.size() * unit));
  if (unit == 1) {
    std::memcpy(out, text.data(), text.size());
    return;
  }
  for (char c : text) {
    code_point_write(out, unit, static_cast<uint8_t>(c));
    out += unit;
  }
}

}  // namespace qel

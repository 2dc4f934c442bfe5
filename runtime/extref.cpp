// extref.cpp: the extref block. A free cell is an integer! holding the 0-based index of the
// next free cell (-1 ends the chain); a side table says which cells are in use, so a double
// free is caught before it could corrupt the chain.
#include "runtime/extref.h"

#include "runtime/heap-array.h"
#include "runtime/quit.h"
#include "runtime/series.h"

namespace qel {

namespace {

constexpr int32_t kEnd = -1;

NodeId block = 0;
int32_t free_head = kEnd;
HeapArray<uint8_t> in_use;  // one entry per cell: 1 while allocated

Cell* cell_at(uint32_t position) { return series_buffer(block)->head_cell() + position; }

// A free cell: an integer! naming the next free cell.
Cell free_link(int32_t next) { return make_cell(Type::integer, 0, std::bit_cast<uint32_t>(next)); }

// Chains cells [first, end) as free, in order, ahead of the current free list.
void chain_free(uint32_t first, uint32_t end) {
  for (uint32_t i = first; i < end; ++i) *cell_at(i) = free_link(i + 1 < end ? static_cast<int32_t>(i + 1) : free_head);
  free_head = static_cast<int32_t>(first);
  in_use.resize(end);
}

// Doubles the block, keeping every stored value, and chains the new cells.
void grow() {
  uint32_t cells = extref_capacity();
  SeriesBuffer* buffer = grow_series_copy(block, int64_t{cells} * 2 * sizeof(Cell));
  buffer->tail = buffer->head + cells * 2 * sizeof(Cell);
  chain_free(cells, cells * 2);
}

// The 0-based position of an allocated 1-based index; anything else is a fault of the caller.
uint32_t allocated_position(uint32_t index) {
  if (index == 0 || index > extref_capacity() || !in_use[index - 1]) fatal_assertion();
  return index - 1;
}

}  // namespace

void extref_init() {
  block = new_cell_series(kExtrefFirstCells);
  SeriesBuffer* buffer = series_buffer(block);
  buffer->tail = buffer->head + kExtrefFirstCells * sizeof(Cell);
  free_head = kEnd;
  in_use.release();
  chain_free(0, kExtrefFirstCells);
}

uint32_t extref_alloc(const Cell& value) {
  Cell copy = value;  // the value may lie in the block, which may grow
  if (free_head == kEnd) grow();
  uint32_t position = static_cast<uint32_t>(free_head);
  Cell* cell = cell_at(position);
  free_head = payload_i32(*cell, 2);  // the link is read before the copy overwrites it
  *cell = copy;
  in_use[position] = 1;
  return position + 1;
}

void extref_free(uint32_t index) {
  if (index == 0) return;
  uint32_t position = allocated_position(index);
  *cell_at(position) = free_link(free_head);
  free_head = static_cast<int32_t>(position);
  in_use[position] = 0;
}

Cell* extref_slot_address(uint32_t index) { return cell_at(allocated_position(index)); }

NodeId extref_block() { return block; }

uint32_t extref_capacity() { return static_cast<uint32_t>(in_use.size()); }

}  // namespace qel

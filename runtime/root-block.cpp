// root-block.cpp: the root block.
#include "runtime/root-block.h"

#include "runtime/quit.h"
#include "runtime/series.h"

namespace qel {

namespace {

NodeId root = 0;
uint32_t generation = 0;

}  // namespace

void root_block_init() {
  root = new_cell_series(kRootBlockCells);
  ++generation;
}

uint32_t root_block_generation() { return generation; }

NodeId root_block() { return root; }

uint32_t root_slot_append(const Cell& value) {
  Cell copy = value;  // the value may lie in the root block itself, which may grow
  *series_append_fresh_slot(root) = copy;
  return series_buffer_length(root) - 1;
}

Cell* root_slot(uint32_t position) {
  if (position >= series_buffer_length(root)) fatal_assertion();
  return series_buffer(root)->head_cell() + position;
}

}  // namespace qel

// memory-stats.cpp: the memory figures, gathered first and then built into blocks.
#include "runtime/memory-stats.h"

#include <bit>

#include "runtime/heap-array.h"
#include "runtime/heap.h"
#include "runtime/memory.h"
#include "runtime/node-table.h"
#include "runtime/series.h"

namespace qel {

namespace {

struct FrameFigures {
  uint64_t free;
  uint64_t used;
  uint64_t total;
};

// Appends a new block of room for `cells` to `parent`, flagged with the new line; answers it.
NodeId append_block(NodeId parent, int64_t cells) {
  NodeId block = new_cell_series(cells);
  Cell* cell = series_append_fresh_slot(parent);
  *cell = make_cell(Type::block, 0, block);
  cell->header |= kNewLineFlag;
  return block;
}

// A block of one [free used total] block per frame.
void append_frame_blocks(NodeId target, const HeapArray<FrameFigures>& frames) {
  NodeId list = append_block(target, static_cast<int64_t>(frames.size()));
  for (const FrameFigures& figures : frames) {
    NodeId row = append_block(list, 3);
    memory_stats_item(row, figures.free);
    memory_stats_item(row, figures.used);
    memory_stats_item(row, figures.total);
  }
}

}  // namespace

uint64_t memory_bytes_in_use() {
  uint64_t bytes = node_count_in_use() * sizeof(uintptr_t);
  for (const SeriesFrame& frame : memory.frames) bytes += frame.used();
  for (const BigSeries& big : memory.bigs) bytes += big.size;
  return bytes;
}

uint64_t memory_frame_stats(int mode, NodeId target) {
  uint64_t in_use = memory_bytes_in_use();
  if (mode < 2) return in_use;
  HeapArray<FrameFigures> node_figures;
  HeapArray<FrameFigures> series_figures;
  HeapArray<uint64_t> big_sizes;
  for (size_t k = 0; k < node_frames().size(); ++k) {
    uint32_t used = node_frame_in_use(k);
    if (!node_frames()[k].released) node_figures.push_back({kNodeFrameIds - used, used, kNodeFrameIds});
  }
  for (const SeriesFrame& frame : memory.frames) series_figures.push_back({frame.room(), frame.used(), frame.size()});
  for (const BigSeries& big : memory.bigs) big_sizes.push_back(big.size);
  uint64_t os_total = memory.os_total;
  uint64_t heap_total = heap_total_bytes();

  append_frame_blocks(target, node_figures);
  append_frame_blocks(target, series_figures);
  NodeId bigs = append_block(target, static_cast<int64_t>(big_sizes.size()));
  for (uint64_t size : big_sizes) memory_stats_item(bigs, size);
  memory_stats_item(target, os_total);
  memory_stats_item(target, heap_total);
  return in_use;
}

Cell memory_stats_figure(uint64_t figure) {
  if (figure <= 0x7FFFFFFF) return make_cell(Type::integer, 0, static_cast<uint32_t>(figure));
  Cell cell = make_cell(Type::float_);
  set_payload_f64(cell, static_cast<double>(figure));
  return cell;
}

void memory_stats_item(NodeId block, uint64_t figure) {
  const Cell value = memory_stats_figure(figure);
  *series_append_fresh_slot(block) = value;
}

}  // namespace qel

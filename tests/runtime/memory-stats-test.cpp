// Memory statistics: the bytes in use and the five elements of the report.
#include <gtest/gtest.h>

#include "memory-fixture.h"
#include "runtime/heap.h"
#include "runtime/memory-stats.h"
#include "runtime/node-table.h"

namespace qel {
namespace {

using MemoryStats = FrameLayoutTest;

Cell element(NodeId block, uint32_t index) { return series_buffer(block)->head_cell()[index]; }

TEST_F(MemoryStats, ModeOneIsTheSumOfItsParts) {
  new_byte_series(5000000);
  new_cell_series(100);
  uint64_t parts = node_count_in_use() * sizeof(uintptr_t) + memory.frames[0].used() + memory.bigs[0].size;
  ASSERT_EQ(memory.frames.size(), 1u);
  EXPECT_EQ(memory_frame_stats(1, 0), parts);
}

TEST_F(MemoryStats, ModeTwoAppendsFiveElements) {
  new_byte_series(3000000);
  uint64_t used = memory.frames[0].used();
  uint64_t nodes = node_count_in_use();
  uint64_t os_total = memory.os_total;
  NodeId target = new_cell_series(5);
  memory_frame_stats(2, target);
  ASSERT_EQ(series_buffer_length(target), 5u);
  for (uint32_t i = 0; i < 3; ++i) {
    EXPECT_EQ(cell_type(element(target, i)), Type::block);
    EXPECT_TRUE(element(target, i).header & kNewLineFlag);
  }
  NodeId node_frames_block = element(target, 0).w2;
  ASSERT_EQ(series_buffer_length(node_frames_block), 1u);
  NodeId node_row = element(node_frames_block, 0).w2;
  EXPECT_EQ(element(node_row, 0).w2, kNodeFrameIds - (nodes + 1));  // the target itself was counted after
  NodeId series_row = element(element(target, 1).w2, 0).w2;
  EXPECT_EQ(element(series_row, 1).w2, used + kBufferHeaderBytes + 80);
  EXPECT_EQ(element(series_row, 2).w2, kInitialFrameSize);
  EXPECT_EQ(element(element(target, 2).w2, 0).w2, memory.bigs[0].size);
  EXPECT_EQ(element(target, 3).w2, os_total);
  EXPECT_EQ(cell_type(element(target, 4)), Type::integer);
}

TEST_F(MemoryStats, FiguresAboveTheIntegerRangeAreFloats) {
  NodeId block = new_cell_series(2);
  memory_stats_item(block, 2147483647);
  memory_stats_item(block, 3000000000);
  EXPECT_EQ(cell_type(element(block, 0)), Type::integer);
  EXPECT_EQ(element(block, 0).w2, 2147483647u);
  EXPECT_EQ(cell_type(element(block, 1)), Type::float_);
  EXPECT_EQ(payload_f64(element(block, 1)), 3000000000.0);
}

}  // namespace
}  // namespace qel

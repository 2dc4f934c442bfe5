// Series buffers: allocation entry points, growth, appending, the byte-level table, bad sizes.
#include <gtest/gtest.h>

#include <vector>

#include "memory-fixture.h"
#include "runtime/node-table.h"

namespace qel {
namespace {

using SeriesTest = MemoryTest;

TEST_F(SeriesTest, HeadOffsetMinusOneStartsInTheMiddle) {
  SeriesBuffer* buffer = series_buffer(new_series_node(10, 16, -1));
  EXPECT_EQ(buffer->capacity, 160u);
  EXPECT_EQ(buffer->head, 80u);
  EXPECT_EQ(buffer->tail, buffer->head);
  EXPECT_TRUE(buffer->flags & kSeriesMiddleHead);
  EXPECT_EQ(buffer->flags & (kSeriesLive | kSeriesAllocated | kSeriesUnitMask), kSeriesLive | kSeriesAllocated | 16);
}

TEST_F(SeriesTest, NewSeriesSizes) {
  struct Row {
    NodeId node;
    uint32_t capacity;
    uint32_t unit;
  };
  const Row rows[] = {
      {new_byte_series(0), 16, 1},        {new_byte_series(17), 32, 1},
      {new_cell_series(3), 48, 16},       {new_string_series(5, 2), 16, 2},
      {new_string_series(5, 4), 32, 4},   {series_buffer_alloc_unit(3, 4), 16, 4},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(series_buffer(row.node)->capacity, row.capacity);
    EXPECT_EQ(series_buffer(row.node)->unit(), row.unit);
    EXPECT_EQ(series_buffer(row.node)->node, row.node);
  }
  NodeId unset = new_cell_series_unset(2);
  EXPECT_EQ(series_buffer(unset)->head_cell()[1].header, kUnsetHeader);
  NodeId filled = new_byte_series_filled(5, 0xEE);
  EXPECT_EQ(series_buffer(filled)->data()[15], 0xEE);
}

TEST_F(SeriesTest, AppendingToAFullBlockDoublesItAndRetiresTheOldBuffer) {
  NodeId block = new_cell_series(8);
  for (uint32_t i = 0; i < 8; ++i) *series_append_fresh_slot(block) = make_cell(Type::integer, 0, i);
  SeriesBuffer* old = series_buffer(block);
  Cell* ninth = series_append_fresh_slot(block);
  EXPECT_EQ(ninth->header, kUnsetHeader);
  SeriesBuffer* grown = series_buffer(block);
  EXPECT_EQ(grown->capacity, 256u);
  EXPECT_EQ(series_buffer_length(block), 9u);
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(grown->head_cell()[i].w2, i);
  EXPECT_FALSE(old->flags & kSeriesLive);
  EXPECT_EQ(old->node, 0u);
  EXPECT_EQ(grown->node, block);
}

TEST_F(SeriesTest, ReservingTailBytesGrowsByTheRule) {
  struct Row {
    int64_t reserve;
    uint32_t capacity;
  };
  const Row rows[] = {{40, 80}, {10, 64}, {100, 208}};  // from a full 32-byte buffer
  for (const Row& row : rows) {
    NodeId node = new_byte_series(32);
    series_reserve_tail_bytes(node, 32);
    uint8_t* old_tail = series_reserve_tail_bytes(node, row.reserve);
    SeriesBuffer* buffer = series_buffer(node);
    EXPECT_EQ(buffer->capacity, row.capacity) << row.reserve;
    EXPECT_EQ(old_tail, buffer->head_address() + 32);
    EXPECT_EQ(buffer->tail - buffer->head, 32 + row.reserve);
  }
  NodeId small = new_byte_series(16);
  series_reserve_tail_bytes(small, 100);
  EXPECT_EQ(series_buffer(small)->capacity, 208u);
}

TEST_F(SeriesTest, AnEmptyZeroCapacityBlockTakesAppends) {
  NodeId block = new_cell_series(0);
  EXPECT_EQ(series_buffer(block)->capacity, 0u);
  *series_append_fresh_slot(block) = make_cell(Type::integer, 0, 5);
  EXPECT_EQ(series_buffer_length(block), 1u);
  EXPECT_EQ(series_buffer(block)->head_cell()->w2, 5u);
}

TEST_F(SeriesTest, GrowthNeverCutsTheContentNorCopiesPastTheNewBuffer) {
  NodeId node = byte_series_of("0123456789abcdefghijklmnopqrstuvwxyz");  // 36 bytes in 48
  grow_series_copy(node, 16);  // asked below the live length
  EXPECT_EQ(text_of(node), "0123456789abcdefghijklmnopqrstuvwxyz");
  EXPECT_GE(series_buffer(node)->capacity, 36u);
  NodeId middle = new_series_node(64, 1, -1);  // head at 32 of 64
  series_buffer_append_bytes(middle, "abcd", 4);
  grow_series_fill(middle, 128, '.');
  SeriesBuffer* buffer = series_buffer(middle);
  EXPECT_EQ(text_of(middle), "abcd");
  EXPECT_EQ(buffer->data()[32], '.');  // the 32 bytes from the old head to its end were copied
  EXPECT_EQ(buffer->data()[127], '.');
}

TEST_F(SeriesTest, GrowthDoublesAndKeepsFlags) {
  NodeId node = new_byte_series(16);
  series_buffer_set_flags(node, kSeriesOwned);
  SeriesBuffer* grown = grow_series(node, 0);
  EXPECT_EQ(grown->capacity, 32u);
  EXPECT_TRUE(grown->flags & kSeriesOwned);
  EXPECT_EQ(series_buffer(node), grown);
}

TEST_F(SeriesTest, HeapSeriesStayOnTheHeapWhenTheyGrow) {
  NodeId node = new_heap_series(4, 4, 0);
  EXPECT_TRUE(series_buffer(node)->flags & kSeriesHeapHeld);
  series_buffer_append_int32(node, 7);
  grow_series_copy(node, 1000);
  EXPECT_TRUE(series_buffer(node)->flags & kSeriesHeapHeld);
  EXPECT_EQ(series_buffer_pick_int32(node, 1), 7);
}

TEST_F(SeriesTest, CopyKeepsOffsetsFlagsAndContent) {
  NodeId source = new_series_node(64, 1, -1);
  series_buffer_append_bytes(source, "xyz", 3);
  series_buffer_set_flags(source, kSeriesOwned);
  NodeId copy = copy_series_buffer(source);
  SeriesBuffer* buffer = series_buffer(copy);
  EXPECT_NE(copy, source);
  EXPECT_EQ(buffer->head, 32u);
  EXPECT_LE(buffer->tail, buffer->capacity);
  EXPECT_EQ(text_of(copy), "xyz");
  EXPECT_TRUE(buffer->flags & kSeriesOwned);
}

TEST_F(SeriesTest, ByteLevelTable) {
  NodeId words = new_byte_series(0);
  for (int32_t word : {7, 9, 7}) series_buffer_append_int32(words, word);
  EXPECT_EQ(series_buffer_find_int32(words, 9), 4);
  EXPECT_EQ(series_buffer_find_int32(words, 8), -1);
  EXPECT_EQ(series_buffer_find_int32(new_byte_series(4), 0), -1);
  series_buffer_insert_int32(words, 1, 5);  // 5 7 9 7
  series_buffer_insert_int32(words, 5, 6);  // 5 7 9 7 6
  series_buffer_poke_int32(words, 3, 8);    // 5 7 8 7 6
  EXPECT_TRUE(series_buffer_remove_int32(words, 7));  // 5 8 7 6
  EXPECT_FALSE(series_buffer_remove_int32(words, 42));
  std::vector<int32_t> content;
  for (uint32_t i = 1; i <= 4; ++i) content.push_back(series_buffer_pick_int32(words, i));
  EXPECT_EQ(content, (std::vector<int32_t>{5, 8, 7, 6}));
  EXPECT_EQ(series_buffer_length(words), 16u);

  NodeId bytes = byte_series_of("hello");
  series_buffer_append_byte(bytes, '!');
  EXPECT_EQ(series_buffer_pick_byte(bytes, 6), '!');
  series_buffer_remove_bytes(bytes, 1, 2);
  EXPECT_EQ(text_of(bytes), "hlo!");
  series_buffer_set_tail(bytes, 3);
  EXPECT_EQ(text_of(bytes), "hl");
  EXPECT_EQ(series_buffer_head(bytes), series_buffer(bytes)->head_address());
  series_buffer_clear(bytes);
  EXPECT_EQ(series_buffer_length(bytes), 0u);
  series_buffer_append_int32(make_cell(Type::binary, 0, bytes), 0x01020304);
  EXPECT_EQ(series_buffer_pick_byte(bytes, 1), 4);
}

TEST_F(SeriesTest, AppendingASeriesToItselfAcrossGrowth) {
  NodeId node = byte_series_of("abcdefghijklmnop");  // full: 16 of 16
  series_buffer_append_bytes(node, series_buffer_head(node), 16);
  EXPECT_EQ(text_of(node), "abcdefghijklmnopabcdefghijklmnop");
}

TEST_F(SeriesTest, SizesBeyondTheCeilingRaiseAndChangeNothing) {
  NodeId block = new_cell_series(2);
  *series_append_fresh_slot(block) = make_cell(Type::integer, 0, 1);
  SeriesBuffer* before = series_buffer(block);
  uint64_t used = memory.frames[memory.current].used();
  uint64_t nodes = node_count_in_use();
  uint64_t os_total = memory.os_total;
  EXPECT_TRUE(raises_no_memory([] { new_cell_series(int64_t{1} << 31); }));
  EXPECT_TRUE(raises_no_memory([] { new_cell_series(int64_t{1} << 27); }));  // 2 GB of cells
  EXPECT_TRUE(raises_no_memory([] { new_byte_series(-1); }));
  EXPECT_TRUE(raises_no_memory([&] { grow_series_copy(block, int64_t{4} << 30); }));
  EXPECT_TRUE(raises_no_memory([&] { grow_series(block, -5); }));
  EXPECT_TRUE(raises_no_memory([&] { series_reserve_tail_bytes(block, int64_t{1} << 31); }));
  EXPECT_EQ(series_buffer(block), before);
  EXPECT_EQ(series_buffer_length(block), 1u);
  EXPECT_EQ(memory.frames[memory.current].used(), used);
  EXPECT_EQ(node_count_in_use(), nodes);
  EXPECT_EQ(memory.os_total, os_total);
}

TEST_F(SeriesTest, PositionsOutsideTheContentAreAssertionFailures) {
  NodeId words = new_byte_series(8);
  series_buffer_append_int32(words, 1);
  EXPECT_EXIT(series_buffer_pick_int32(words, 2), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(series_buffer_poke_int32(words, 0, 1), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(series_buffer_remove_bytes(words, 2, 3), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(series_buffer_insert_int32(words, 3, 1), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(series_buffer_pick_byte(words, 5), ::testing::ExitedWithCode(98), "assertion failed");
}

}  // namespace
}  // namespace qel

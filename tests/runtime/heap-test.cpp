// The runtime heap: resize rules, foreign and double releases, out of memory.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "runtime/heap.h"

namespace qel {
namespace {

TEST(Heap, ResizeOfNullAllocatesAndToZeroReleases) {
  size_t before = heap_live_blocks();
  void* block = heap_resize(nullptr, 40);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(heap_live_blocks(), before + 1);
  std::memset(block, 0xAB, 40);
  EXPECT_EQ(heap_resize(block, 0), nullptr);
  EXPECT_EQ(heap_live_blocks(), before);
}

TEST(Heap, ResizeKeepsContentAndTracksSize) {
  uint64_t before = heap_total_bytes();
  auto* block = static_cast<uint8_t*>(heap_allocate_checked(16));
  for (int i = 0; i < 16; ++i) block[i] = static_cast<uint8_t>(i);
  block = static_cast<uint8_t*>(heap_resize(block, 100000));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(block[i], i);
  EXPECT_EQ(heap_total_bytes(), before + 100000);
  heap_release(block);
  EXPECT_EQ(heap_total_bytes(), before);
}

TEST(Heap, DoubleAndForeignReleasesChangeNothing) {
  void* kept = heap_allocate_zeroed(64);
  void* released = heap_allocate_checked(32);
  size_t live = heap_live_blocks();
  heap_release(released);
  heap_release(released);
  int local = 0;
  heap_release(&local);
  heap_release(nullptr);
  EXPECT_EQ(heap_live_blocks(), live - 1);
  EXPECT_EQ(static_cast<uint8_t*>(kept)[63], 0);
  heap_release(kept);
}

TEST(Heap, TryResizeAnswersNullAndKeepsTheBlock) {
  auto* block = static_cast<char*>(heap_allocate_checked(8));
  std::strcpy(block, "kept");
  EXPECT_EQ(heap_try_resize(block, SIZE_MAX - 8), nullptr);
  EXPECT_STREQ(block, "kept");
  heap_release(block);
}

TEST(Heap, ManyBlocksReleaseInAnyOrder) {
  std::vector<void*> blocks;
  for (int i = 0; i < 10000; ++i) blocks.push_back(heap_allocate_checked(64));
  size_t live = heap_live_blocks();
  for (size_t i = 0; i < blocks.size(); i += 2) heap_release(blocks[i]);
  for (size_t i = 1; i < blocks.size(); i += 2) heap_release(blocks[i]);
  EXPECT_EQ(heap_live_blocks(), live - blocks.size());
}

TEST(HeapDeathTest, HugeRequestIsOutOfMemory) {
  EXPECT_EXIT(heap_allocate_checked(SIZE_MAX - 8), ::testing::ExitedWithCode(94),
              "\\*\\*\\* Runtime Error 94: out of memory\n\\*\\*\\* at: [0-9A-F]{8}h");
  void* block = heap_allocate_checked(8);
  EXPECT_EXIT(heap_resize(block, SIZE_MAX / 2), ::testing::ExitedWithCode(94), "out of memory");
  heap_release(block);
}

}  // namespace
}  // namespace qel

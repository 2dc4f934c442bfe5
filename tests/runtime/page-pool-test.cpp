// The page pool: freed frame and big-series mappings kept for the next cycle, within a cap.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "memory-fixture.h"
#include "runtime/gc-root.h"
#include "runtime/memory-pages.h"
#include "runtime/page-pool.h"

namespace qel {
namespace {

constexpr uint64_t kMiB = uint64_t{1} << 20;

// The pool alone, on pages of its own; emptied after each test.
class PagePool : public ::testing::Test {
 protected:
  void TearDown() override { page_pool_release_all(); }
};

// Resident pages of a mapping, as the OS counts them.
size_t resident_pages(void* start, uint64_t size) {
  std::vector<unsigned char> states(size / kPageSize);
  if (mincore(start, size, states.data()) != 0) return SIZE_MAX;
  return static_cast<size_t>(std::count_if(states.begin(), states.end(), [](unsigned char s) { return s & 1; }));
}

// A kept mapping leaves the process's resident memory at once (its peak would otherwise count
// the pool), and comes back zeroed and writable.
TEST_F(PagePool, AKeptMappingIsTakenAgainWritableAndCut) {
  auto* pages = static_cast<uint8_t*>(os_pages_get(3 * kMiB));
  std::memset(pages, 5, 3 * kMiB);
  ASSERT_EQ(resident_pages(pages, 3 * kMiB), 3 * kMiB / kPageSize);
  page_pool_keep(pages, 3 * kMiB, kPagePoolFloor);
  EXPECT_EQ(resident_pages(pages, 3 * kMiB), 0u);
  EXPECT_EQ(page_pool_bytes(), 3 * kMiB);
  EXPECT_EQ(page_pool_take(4 * kMiB), nullptr);  // none large enough
  EXPECT_EQ(page_pool_take(kMiB), pages);        // the rest is unmapped
  EXPECT_EQ(page_pool_bytes(), 0u);
  EXPECT_EQ(pages[0], 0);
  std::memset(pages, 7, kMiB);
  EXPECT_EQ(pages[kMiB - 1], 7);
  os_pages_release(pages, kMiB);
}

TEST_F(PagePool, TheSmallestLargeEnoughMappingIsTaken) {
  void* large = os_pages_get(4 * kMiB);
  void* small = os_pages_get(2 * kMiB);
  page_pool_keep(large, 4 * kMiB, kPagePoolFloor);
  page_pool_keep(small, 2 * kMiB, kPagePoolFloor);
  EXPECT_EQ(page_pool_take(2 * kMiB), small);
  EXPECT_EQ(page_pool_mappings(), 1u);
  os_pages_release(small, 2 * kMiB);
}

TEST_F(PagePool, TheCapDropsTheOldestAndRefusesWhatCannotFit) {
  void* first = os_pages_get(2 * kMiB);
  void* second = os_pages_get(2 * kMiB);
  page_pool_keep(first, 2 * kMiB, 3 * kMiB);
  page_pool_keep(second, 2 * kMiB, 3 * kMiB);  // the first goes to make room
  EXPECT_EQ(page_pool_bytes(), 2 * kMiB);
  EXPECT_EQ(page_pool_take(2 * kMiB), second);
  page_pool_keep(second, 2 * kMiB, kMiB);  // larger than the cap: unmapped at once
  EXPECT_EQ(page_pool_bytes(), 0u);
  EXPECT_EQ(page_pool_mappings(), 0u);
}

TEST_F(PagePool, AMappingUnusedForAWholeCycleIsUnmapped) {
  page_pool_keep(os_pages_get(kMiB), kMiB, kPagePoolFloor);
  page_pool_age();
  EXPECT_EQ(page_pool_bytes(), kMiB);  // kept at this collection: waits for the next
  page_pool_keep(os_pages_get(2 * kMiB), 2 * kMiB, kPagePoolFloor);
  page_pool_age();
  EXPECT_EQ(page_pool_bytes(), 2 * kMiB);  // the older one went
  page_pool_age();
  EXPECT_EQ(page_pool_mappings(), 0u);
}

TEST(PagePoolCap, AFloorThenAQuarterOfTheLiveData) {
  EXPECT_EQ(page_pool_cap(0), kPagePoolFloor);
  EXPECT_EQ(page_pool_cap(4 * kPagePoolFloor), kPagePoolFloor);
  EXPECT_EQ(page_pool_cap(40 * kPagePoolFloor), 10 * kPagePoolFloor);
}

using PagePoolInMemory = FrameLayoutTest;

TEST_F(PagePoolInMemory, ABigSeriesFreedAtACollectionLendsItsPagesToTheNext) {
  SeriesBuffer* first = series_buffer(new_byte_series(3000000));
  uint64_t os_total = memory.os_total;
  collect_now();
  EXPECT_EQ(page_pool_bytes(), page_round_up(3000000 + kBufferHeaderBytes));
  EXPECT_LT(memory.os_total, os_total);  // kept pages are not counted as taken
  NodeId second = new_byte_series(3000000);
  EXPECT_EQ(series_buffer(second), first);
  EXPECT_EQ(memory.os_total, os_total);
  EXPECT_EQ(page_pool_bytes(), 0u);
}

TEST_F(PagePoolInMemory, AnEmptiedFrameLendsItsPagesToTheNextFrame) {
  while (memory.frames.size() < 3) new_byte_series(300000);  // frames of garbage
  std::vector<uint8_t*> areas;
  for (const SeriesFrame& frame : memory.frames) areas.push_back(frame.area);
  collect_now();
  ASSERT_EQ(memory.frames.size(), 1u);  // the last frame stays, the other two are kept
  ASSERT_EQ(page_pool_mappings(), 2u);
  const uint64_t pooled = page_pool_bytes();
  uint8_t* stays = memory.frames[0].area;
  while (memory.frames.size() < 2) new_byte_series(300000);
  const SeriesFrame& fresh = memory.frames[memory.frames[0].area == stays ? 1 : 0];
  EXPECT_NE(std::find(areas.begin(), areas.end(), fresh.area), areas.end());
  EXPECT_EQ(page_pool_bytes(), pooled - fresh.size());
}

// Makes a big series of garbage and collects: answers the bytes the pool then keeps.
uint64_t pooled_after_big_garbage() {
  new_byte_series(3000000);
  collect_now();
  return page_pool_bytes();
}

TEST_F(PagePoolInMemory, FreedPagesAreUnmappedByTheCollectionAfterTheNext) {
  ASSERT_GT(pooled_after_big_garbage(), 0u);
  collect_now();
  EXPECT_EQ(page_pool_bytes(), 0u);
}

TEST_F(PagePoolInMemory, TheTortureModeKeepsNothing) {
  collector_set_torture(true);
  EXPECT_EQ(pooled_after_big_garbage(), 0u);
}

TEST_F(PagePoolInMemory, ReleasingAllMemoryEmptiesThePool) {
  ASSERT_GT(pooled_after_big_garbage(), 0u);
  memory_release_all();
  EXPECT_EQ(page_pool_bytes(), 0u);
  memory_init();
  memory_first_frames();
}

}  // namespace
}  // namespace qel

// Safe points, NoGcScope, the root guards' shadow stack, and the torture mode.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <csignal>
#include <memory>
#include <vector>

#include "memory-fixture.h"
#include "runtime/gc-root.h"
#include "runtime/memory-pages.h"

namespace qel {
namespace {

using SafePoint = MemoryTest;
using TortureOff = FrameLayoutTest;

TEST_F(SafePoint, ARequestedCollectionWaitsForASafePoint) {
  collector_set_torture(false);
  gc_safepoint();
  EXPECT_EQ(collector_cycles(), 0u);  // nothing requested
  collector_request();
  EXPECT_EQ(collector_cycles(), 0u);
  gc_safepoint();
  EXPECT_EQ(collector_cycles(), 1u);
  EXPECT_FALSE(collector_requested());
}

TEST_F(SafePoint, NoGcScopeDefersCollection) {
  {
    NoGcScope hold;
    collector_request();
    gc_safepoint();
    EXPECT_FALSE(collect_now());
    EXPECT_EQ(collector_cycles(), 0u);
  }
  EXPECT_TRUE(collector_requested());
  gc_safepoint();
  EXPECT_EQ(collector_cycles(), 1u);
}

TEST_F(SafePoint, GuardsAreLastInFirstOut) {
  auto older = std::make_unique<GcRoot<NodeId>>(1);
  auto newer = std::make_unique<GcRoot<NodeId>>(2);
  EXPECT_EXIT(older.reset(), ::testing::ExitedWithCode(98), "assertion failed");
  newer.reset();
  older.reset();
}

TEST_F(SafePoint, AFullShadowStackRaisesStackOverflow) {
  std::vector<std::unique_ptr<GcRoot<NodeId>>> guards;
  for (size_t i = 0; i < kGcRootLimit; ++i) guards.push_back(std::make_unique<GcRoot<NodeId>>());
  EXPECT_EQ(trap_errors([] { GcRoot<NodeId> one_more; }).taken, kThrowError);
  EXPECT_EQ(stand_in_last_error().id, error_id("internal", "stack-overflow"));
  stack_drop(1);
  while (!guards.empty()) guards.pop_back();
}

// Keeps a cell address into a block across a safe point, then reads through it.
uint32_t read_through_stale_pointer() {
  NodeId text = byte_series_of("text");
  NodeId block = new_cell_series(1);
  *series_append_fresh_slot(block) = string_cell(text);
  GcRoot<Cell> root(block_cell(block));
  volatile Cell* stale = series_buffer(block)->head_cell();
  collector_request();
  gc_safepoint();
  return stale->w2;
}

TEST_F(SafePoint, AStalePointerFaultsUnderTorture) {
#if defined(__SANITIZE_ADDRESS__)  // the sanitizer's own handler reports the fault and exits
  auto faulted = [](int status) { return WIFEXITED(status) && WEXITSTATUS(status) != 0; };
  const char* report = "SEGV";
#else
  auto faulted = ::testing::KilledBySignal(SIGSEGV);
  const char* report = "";
#endif
  EXPECT_EXIT(
      {
        collector_set_torture(true);
        read_through_stale_pointer();
      },
      faulted, report);
}

TEST_F(TortureOff, AStalePointerGoesUnnoticedWithoutTorture) {
  EXPECT_NE(read_through_stale_pointer(), 0u);  // nothing died before it, so nothing moved
}

TEST_F(SafePoint, TortureMovesEveryLiveBufferAndKeepsItsContent) {
  collector_set_torture(true);
  NodeId text = byte_series_of("moved");
  GcRoot<NodeId> root(text);
  SeriesBuffer* before = series_buffer(text);
  gc_safepoint();
  EXPECT_EQ(collector_cycles(), 1u);
  EXPECT_NE(series_buffer(text), before);
  EXPECT_EQ(text_of(text), "moved");
  gc_safepoint();
  EXPECT_EQ(collector_cycles(), 2u);
  EXPECT_EQ(text_of(text), "moved");
  EXPECT_EQ(memory.frames.size(), 1u);  // the old frames are retired
}

TEST_F(SafePoint, TortureCopiesAFrameWhoseMoveIsRefused) {
  collector_set_torture(true);
  NodeId text = byte_series_of("copied");
  GcRoot<NodeId> root(text);
  gc_safepoint();  // every frame is the torture mode's own from here
  SeriesBuffer* before = series_buffer(text);
  os_pages_fail_next();  // the move of the first frame
  gc_safepoint();
  EXPECT_NE(series_buffer(text), before);
  EXPECT_EQ(text_of(text), "copied");
}

}  // namespace
}  // namespace qel

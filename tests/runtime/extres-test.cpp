// External resources: kinds, slots, release exactly once, growth, misuse.
#include <gtest/gtest.h>

#include <vector>

#include "memory-fixture.h"
#include "runtime/gc-root.h"

namespace qel {
namespace {

std::vector<void*> released;
void record_release(void* object) { released.push_back(object); }

class Extres : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    released.clear();
    kind = extres_kind_register("counting", record_release);
  }
  uint32_t kind = 0;
  int objects[3] = {};
};

TEST_F(Extres, AnUnreachableHandleIsReleasedOnceAndItsSlotTakenNext) {
  uint32_t dropped = extres_slot_acquire(&objects[0], kind);
  uint32_t kept = extres_slot_acquire(&objects[1], kind);
  {
    GcRoot<Cell> handle(make_cell(Type::handle, 0, 0, kept));
    collect_now();
    collect_now();
  }
  EXPECT_EQ(released, std::vector<void*>{&objects[0]});
  EXPECT_EQ(extres_slot_acquire(&objects[2], kind), dropped);
  EXPECT_EQ(extres_slot_object(kept), &objects[1]);
}

TEST_F(Extres, SettingReleasesOnlyADifferentOldObject) {
  uint32_t slot = extres_slot_acquire(&objects[0], kind);
  extres_slot_set(slot, &objects[0]);
  EXPECT_TRUE(released.empty());
  extres_slot_set(slot, &objects[1]);
  EXPECT_EQ(released, std::vector<void*>{&objects[0]});
  extres_slot_release(slot, false);
  EXPECT_EQ(released.size(), 1u);
  uint32_t again = extres_slot_acquire(&objects[2], kind);
  extres_slot_release(again, true);
  EXPECT_EQ(released.back(), &objects[2]);
}

TEST_F(Extres, ARestartReleasesWhatTheLiveSlotsHeld) {
  extres_slot_acquire(&objects[0], kind);
  extres_slot_release(extres_slot_acquire(&objects[1], kind), false);
  extres_slot_acquire(&objects[2], kind);
  start_memory_afresh();
  EXPECT_EQ(released, (std::vector<void*>{&objects[2], &objects[0]}));
}

TEST_F(Extres, TheTableDoublesWhenTheFreeListIsAboutToRunOut) {
  for (int i = 1; i < 1000; ++i) extres_slot_acquire(&objects[0], kind);
  EXPECT_EQ(extres_slot_capacity(), 1000u);
  extres_slot_acquire(&objects[0], kind);  // the 1,000th
  EXPECT_EQ(extres_slot_capacity(), 2000u);
  for (int i = 1001; i < 2000; ++i) extres_slot_acquire(&objects[0], kind);
  EXPECT_EQ(extres_slot_capacity(), 2000u);
  extres_slot_acquire(&objects[0], kind);  // the 2,000th
  EXPECT_EQ(extres_slot_capacity(), 4000u);
}

TEST_F(Extres, ForEachVisitsTheLiveSlotsOfAKind) {
  static std::vector<void*> visited;
  visited.clear();
  uint32_t other = extres_kind_register("other", nullptr);
  extres_slot_acquire(&objects[0], kind);
  extres_slot_acquire(&objects[1], other);
  uint32_t gone = extres_slot_acquire(&objects[2], kind);
  extres_slot_release(gone, false);
  extres_for_each(kind, [](uint32_t, void* object) { visited.push_back(object); });
  EXPECT_EQ(visited, std::vector<void*>{&objects[0]});
  extres_release_object(other, &objects[1]);  // a kind without a release
  extres_release_object(0, &objects[1]);
  EXPECT_TRUE(released.empty());
}

TEST_F(Extres, MisuseIsAnAssertionFailure) {
  uint32_t slot = extres_slot_acquire(&objects[0], kind);
  extres_slot_release(slot, false);
  EXPECT_EXIT(extres_slot_release(slot, false), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(extres_slot_release(5000, false), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(extres_slot_set(slot, &objects[1]), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(
      {
        for (int i = 0; i < 20; ++i) extres_kind_register("more", nullptr);
      },
      ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_FALSE(extres_slot_mark(slot, nullptr));  // a stale handle's free slot is passed over
  EXPECT_FALSE(extres_slot_mark(5000, nullptr));
}

}  // namespace
}  // namespace qel

// External value slots: 1-based indexes, the free chain, doubling, rooting, misuse.
#include <gtest/gtest.h>

#include <set>

#include "memory-fixture.h"

namespace qel {
namespace {

using Extref = MemoryTest;

Cell integer(uint32_t value) { return make_cell(Type::integer, 0, value); }

TEST_F(Extref, IndexesAreOneBasedAndFreedOnesComeBackFirst) {
  EXPECT_EQ(extref_alloc(integer(10)), 1u);
  EXPECT_EQ(extref_alloc(integer(20)), 2u);
  EXPECT_EQ(extref_alloc(integer(30)), 3u);
  extref_free(2);
  extref_free(0);  // ignored
  EXPECT_EQ(extref_alloc(integer(40)), 2u);
  EXPECT_EQ(extref_alloc(integer(50)), 4u);
  EXPECT_EQ(extref_slot_address(3)->w2, 30u);
}

TEST_F(Extref, TheHundredAndFirstDoublesTheBlockKeepingEveryValue) {
  for (uint32_t i = 1; i <= 100; ++i) ASSERT_EQ(extref_alloc(integer(i * 7)), i);
  EXPECT_EQ(extref_capacity(), 100u);
  EXPECT_EQ(extref_alloc(*extref_slot_address(5)), 101u);  // a value from the block itself
  EXPECT_EQ(extref_capacity(), 200u);
  EXPECT_EQ(series_buffer_length(extref_block()), 200u);
  for (uint32_t i = 1; i <= 100; ++i) EXPECT_EQ(extref_slot_address(i)->w2, i * 7);
  EXPECT_EQ(extref_slot_address(101)->w2, 35u);
  std::set<uint32_t> rest;
  for (int i = 0; i < 99; ++i) rest.insert(extref_alloc(integer(0)));
  EXPECT_EQ(rest.size(), 99u);
  EXPECT_EQ(*rest.begin(), 102u);
  EXPECT_EQ(*rest.rbegin(), 200u);
  EXPECT_EQ(extref_alloc(integer(0)), 201u);
}

TEST_F(Extref, StoredValuesSurviveCollections) {
  uint32_t index = extref_alloc(string_cell(byte_series_of("kept")));
  NodeId dropped = byte_series_of("dropped");
  uint32_t freed = extref_alloc(string_cell(dropped));
  extref_free(freed);
  collect_now();
  collect_now();
  EXPECT_EQ(text_of(extref_slot_address(index)->w2), "kept");
  EXPECT_FALSE(collector_is_marked(dropped));
  EXPECT_FALSE(node_is_in_use(dropped));
}

TEST_F(Extref, MisuseIsAnAssertionFailure) {
  uint32_t index = extref_alloc(integer(1));
  extref_free(index);
  EXPECT_EXIT(extref_free(index), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(extref_free(101), ::testing::ExitedWithCode(98), "assertion failed");
  EXPECT_EXIT(extref_slot_address(index), ::testing::ExitedWithCode(98), "assertion failed");
}

}  // namespace
}  // namespace qel

// Series ownership: owning walks, release, notification, and weak entries.
#include <gtest/gtest.h>

#include <vector>

#include "memory-fixture.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/gc-root.h"
#include "runtime/hash-table.h"
#include "runtime/ownership.h"
#include "runtime/symbols.h"

namespace qel {
namespace {

std::vector<OwnerChange> changes;
void record_change(const OwnerChange& change) { changes.push_back(change); }

class Ownership : public MemoryTest {
 protected:
  void SetUp() override {
    MemoryTest::SetUp();
    changes.clear();
    services().object_fire_on_change = record_change;
  }
  void TearDown() override {
    reset_services();
    MemoryTest::TearDown();
  }

  // An object with one field, with or without a change record.
  static Cell object_with_field(const char* field, bool change_record) {
    NodeId context = context_make(2, false, false, 0, kObjectContext);
    Cell object = make_cell(Type::object, context, 0, change_record ? new_cell_series(1) : 0);
    context_owner(context) = object;
    context_add_word(symbol_intern_cstring(field), context);
    return object;
  }
  static Cell field_word(const Cell& object) { return *context_word_at(object.w1, 0); }
  static uint32_t entries() { return table_record(ownership_table()).count; }
};

Cell action_word() { return make_cell(Type::word, 0, symbol_intern_cstring("append"), kUnresolved); }

TEST_F(Ownership, ABlockHoldingItselfIsOwnedAndReleased) {
  GcRoot<Cell> owner(object_with_field("data", true));
  NodeId node = new_cell_series(2);
  Cell block = make_cell(Type::block, 0, node);
  *series_append_fresh_slot(node) = block;
  *series_append_fresh_slot(node) = string_cell(byte_series_of("text"));
  series_set_owned(block, *owner, field_word(*owner));
  EXPECT_EQ(entries(), 2u);
  EXPECT_TRUE(series_buffer(node)->flags & kSeriesOwned);
  EXPECT_TRUE(series_buffer(owner->w1)->flags & kSeriesOwnerMark);
  EXPECT_EQ(cycle_stack_depth(), 0u);
  const Cell* entry = series_owner_lookup(node);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry[1].w1, owner->w1);
  EXPECT_EQ(entry[2].w2, symbol_intern_cstring("data"));
  series_clear_owned(block);
  EXPECT_EQ(entries(), 0u);
  EXPECT_FALSE(series_buffer(node)->flags & kSeriesOwned);
  EXPECT_EQ(notify_owner_change(block, action_word(), make_cell(Type::none), 0, 1), 0);
  EXPECT_TRUE(changes.empty());
}

TEST_F(Ownership, TheFirstOwnerWins) {
  GcRoot<Cell> first(object_with_field("a", true)), second(object_with_field("b", true));
  NodeId node = new_cell_series(1);
  GcRoot<Cell> block(make_cell(Type::block, 0, node));
  series_set_owned(*block, *first, field_word(*first));
  series_set_owned(*block, *second, field_word(*second));
  EXPECT_EQ(entries(), 1u);
  EXPECT_EQ(notify_owner_change(*block, action_word(), make_cell(Type::none), 3, 2), 1);
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].owner.w1, first->w1);
  EXPECT_EQ(changes[0].index, 3);
  EXPECT_EQ(changes[0].part, 2);
  EXPECT_EQ(changes[0].value.w2, node);
}

TEST_F(Ownership, AnOwnerWithoutChangeRecordIsNotTold) {
  GcRoot<Cell> owner(object_with_field("a", false));
  GcRoot<Cell> text(string_cell(byte_series_of("x")));
  series_set_owned(*text, *owner, field_word(*owner));
  EXPECT_EQ(notify_owner_change(*text, action_word(), make_cell(Type::none), 0, 1), 0);
  GcRoot<Cell> unowned(string_cell(byte_series_of("y")));
  EXPECT_EQ(notify_owner_change(*unowned, action_word(), make_cell(Type::none), 0, 1), 0);
}

TEST_F(Ownership, NestedObjectsAreWalkedUnderTheirOwnWords) {
  GcRoot<Cell> owner(object_with_field("outer", true));
  Cell inner = object_with_field("inner", false);
  GcRoot<Cell> kept_inner(inner);
  NodeId text = byte_series_of("deep");
  Cell inner_value = string_cell(text);
  context_set_value(inner.w1, field_word(inner), inner_value);
  NodeId node = new_cell_series(2);
  GcRoot<Cell> block(make_cell(Type::block, 0, node));
  *series_append_fresh_slot(node) = inner;
  *series_append_fresh_slot(node) = *owner;  // an object sharing the owner's context is skipped
  series_set_owned(*block, *owner, field_word(*owner));
  const Cell* entry = series_owner_lookup(text);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry[2].w2, symbol_intern_cstring("inner"));
  EXPECT_EQ(entry[1].w1, owner->w1);
  EXPECT_EQ(entries(), 2u);
}

TEST_F(Ownership, ImagesAreFlaggedInTheirCell) {
  GcRoot<Cell> owner(object_with_field("a", true));
  GcRoot<Cell> image(make_cell(Type::image, 0, byte_series_of("pixels")));
  series_set_owned(*image, *owner, field_word(*owner));
  EXPECT_TRUE(image->header & kImageOwnedFlag);
  EXPECT_EQ(notify_owner_change(*image, action_word(), make_cell(Type::none), 0, 1), 1);
  series_clear_owned(*image);
  EXPECT_EQ(notify_owner_change(*image, action_word(), make_cell(Type::none), 0, 1), 0);
}

TEST_F(Ownership, EntriesDieWithTheirOwner) {
  NodeId node = new_cell_series(1);
  *series_append_fresh_slot(node) = string_cell(byte_series_of("inner"));
  {
    GcRoot<Cell> owner(object_with_field("a", true));
    GcRoot<Cell> block(make_cell(Type::block, 0, node));
    series_set_owned(*block, *owner, field_word(*owner));
    ASSERT_TRUE(collect_now());
    EXPECT_EQ(entries(), 2u) << "a living owner keeps its entries";
    EXPECT_TRUE(node_is_in_use(node));
  }
  GcRoot<NodeId> block_only(node);  // the block outlives its owner
  ASSERT_TRUE(collect_now());
  EXPECT_EQ(entries(), 0u);
  EXPECT_FALSE(series_buffer(node)->flags & kSeriesOwned);
  block_only.set(0);
  ASSERT_TRUE(collect_now());
  EXPECT_FALSE(node_is_in_use(node)) << "the table holds nothing alive";
}

TEST_F(Ownership, ABlockOnlyItsOwnerHeldGoesWithIt) {
  NodeId node = new_cell_series(1);
  {
    GcRoot<Cell> owner(object_with_field("a", true));
    Cell block = make_cell(Type::block, 0, node);
    context_set_value(owner->w1, field_word(*owner), block);
    series_set_owned(block, *owner, field_word(*owner));
    ASSERT_TRUE(collect_now());
    EXPECT_EQ(entries(), 1u);
  }
  ASSERT_TRUE(collect_now());
  EXPECT_EQ(entries(), 0u);
  EXPECT_FALSE(node_is_in_use(node));
}

TEST_F(Ownership, OwningTooDeepRaisesCatchably) {
  GcRoot<Cell> owner(object_with_field("a", true));
  GcRoot<Cell> block(make_cell(Type::block, 0, new_cell_series(1)));
  Cell inner = *block;
  for (int depth = 0; depth < 5000; ++depth) {
    Cell next = make_cell(Type::block, 0, new_cell_series(1));
    *series_append_fresh_slot(inner.w2) = next;
    inner = next;
  }
  EXPECT_TRUE(raises_error(error_id("internal", "too-deep"), [&] { series_set_owned(*block, *owner, field_word(*owner)); }));
  EXPECT_EQ(cycle_stack_depth(), 0u);
}

}  // namespace
}  // namespace qel

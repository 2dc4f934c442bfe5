// Owner notifications of the modifying series and block actions: each action's word pair with
// its position and count, the after-call rules, and an owner that changes the series it is told
// about.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "block-fixture.h"
#include "runtime/collector.h"
#include "runtime/gc-root.h"
#include "runtime/ownership.h"

namespace qel::testing {
namespace {

// What the owner was told: the action word, the index and the count.
struct Told {
  std::string action;
  int32_t index;
  int32_t part;
  bool operator==(const Told&) const = default;
};
std::vector<Told> told;
// Run on each notification after it is recorded (the owner's handler).
std::function<void(const OwnerChange&)> handler;

void record_change(const OwnerChange& change) {
  told.push_back({std::string(symbol_name(change.action.w2)), change.index, change.part});
  if (handler) handler(change);
}

std::ostream& operator<<(std::ostream& out, const Told& t) {
  return out << t.action << " " << t.index << " " << t.part;
}

class SeriesNotify : public BlockTest {
 protected:
  void SetUp() override {
    BlockTest::SetUp();
    services().object_fire_on_change = record_change;
    told.clear();
    handler = nullptr;
  }
  void TearDown() override {
    handler = nullptr;
    BlockTest::TearDown();
  }

  // An object with one field, with or without a change record.
  static Cell owner_object(bool change_record) {
    NodeId context = context_make(2, false, false, 0, kObjectContext);
    Cell object = make_cell(Type::object, context, 0, change_record ? new_cell_series(1) : 0);
    context_owner(context) = object;
    context_add_word(symbol_intern_cstring("data"), context);
    return object;
  }
  // Gives the block to an owner (kept alive by the caller's root).
  static void own(Cell& block, const Cell& owner) { series_set_owned(block, owner, *context_word_at(owner.w1, 0)); }
};

TEST_F(SeriesNotify, EveryModifyingActionTellsItsWordsPositionAndCount) {
  struct Row {
    const char* what;
    std::function<void(Cell&)> change;
    std::vector<Told> expected;
  };
  auto one = [](const Cell& cell) { return std::array{cell}; };
  const Row rows[] = {
      {"append", [](Cell& b) { call(Act::Append, b, word_cell("x")); }, {{"append", 3, 1}, {"appended", 3, 1}}},
      {"insert", [&](Cell& b) { call(Act::Insert, at_index(b, 1), load("x y")); },
       {{"insert", 1, 2}, {"inserted", 1, 2}}},
      {"change", [&](Cell& b) { call(Act::Change, at_index(b, 1), load("x y")); },
       {{"change", 1, 2}, {"changed", 1, 2}}},
      {"clear", [](Cell& b) { call(Act::Clear, at_index(b, 1)); }, {{"clear", 1, 2}, {"cleared", 1, 0}}},
      {"poke", [](Cell& b) { call(Act::Poke, b, integer_cell(2), word_cell("x")); }, {{"poke", 1, 1}, {"poked", 1, 1}}},
      {"remove", [&](Cell& b) { call(Act::Remove, {ref<Act::Remove>("part", one(integer_cell(2)))}, at_index(b, 1)); },
       {{"remove", 1, 2}, {"removed", 1, 0}}},
      {"reverse", [](Cell& b) { call(Act::Reverse, b); }, {{"reverse", 0, 3}, {"reversed", 0, 3}}},
      {"take", [](Cell& b) { call(Act::Take, {ref<Act::Take>("last")}, b); }, {{"take", 2, 1}, {"taken", 2, 1}}},
      {"move", [](Cell& b) { call(Act::Move, b, at_index(b, 2)); }, {{"move", 0, 1}, {"moved", 2, 1}}},
      {"put existing", [](Cell& b) { call(Act::Put, b, word_cell("a"), integer_cell(1)); },
       {{"put", 1, 1}, {"put-ed", 1, 1}}},
      {"put new", [](Cell& b) { call(Act::Put, b, word_cell("q"), integer_cell(1)); }, {{"put", 3, 1}}},
      {"sort", [](Cell& b) { call(Act::Sort, b); }, {{"sort", 0, 3}, {"sorted", 0, 3}}},
      {"swap", [&](Cell& b) { call(Act::Swap, b, load("z")); }, {{"swap", 0, 1}, {"swaped", 0, 1}}},
      {"trim", [](Cell& b) { call(Act::Trim, b); }, {{"trim", 0, 3}, {"trimmed", 0, 0}}},
      {"random", [](Cell& b) { call(Act::Random, b); }, {{"random", 0, 3}, {"randomized", 0, 3}}},
  };
  GcRoot<Cell> owner(owner_object(true));
  for (const Row& row : rows) {
    Cell block = load("a b c");
    own(block, *owner);
    told.clear();
    row.change(block);
    EXPECT_EQ(told, row.expected) << row.what;
  }
}

TEST_F(SeriesNotify, AfterCallsFollowTheBeforeCalls) {
  // An owner without a change record hears nothing.
  GcRoot<Cell> silent(owner_object(false));
  Cell quiet = load("a b");
  own(quiet, *silent);
  call(Act::Append, quiet, word_cell("x"));
  call(Act::Clear, quiet);
  EXPECT_TRUE(told.empty());
  // move tells the target it moved even when the origin has no owner.
  GcRoot<Cell> owner(owner_object(true));
  Cell origin = load("a b"), target = load("x");
  own(target, *owner);
  call(Act::Move, origin, target);
  EXPECT_EQ(told, (std::vector<Told>{{"moved", 0, 1}}));
  // Released, a series tells nobody.
  told.clear();
  series_clear_owned(target);
  call(Act::Append, target, word_cell("y"));
  EXPECT_TRUE(told.empty());
}

TEST_F(SeriesNotify, AnOwnerThatChangesTheSeriesItIsToldAbout) {
  GcRoot<Cell> owner(owner_object(true));
  GcRoot<Cell> block(load("a b"));
  own(*block, *owner);
  // Before each change the owner appends to the series and reaches a safe point.
  handler = [&](const OwnerChange& change) {
    std::string action(symbol_name(change.action.w2));
    if (action == "append" || action == "insert" || action == "change" || action == "sort") {
      for (int i = 0; i < 20; ++i) block_append_copy(change.value, word_cell("h"));
      gc_safepoint();
    }
    if (action == "clear" || action == "take" || action == "remove") {
      block_truncate(change.value, 1);
      gc_safepoint();
    }
  };
  call(Act::Append, *block, word_cell("x"));
  EXPECT_EQ(block_total_cells(*block), 23);
  EXPECT_EQ(mold(*block_cell_at(*block, 22)), "x");
  call(Act::Insert, *block, word_cell("y"));
  EXPECT_EQ(mold(*block_cell_at(*block, 0)), "y");
  EXPECT_EQ(block_total_cells(*block), 44);
  call(Act::Change, at_index(*block, 43), load("p q"));
  EXPECT_EQ(block_total_cells(*block), 64);
  call(Act::Take, {ref<Act::Take>("last")}, *block);  // the owner left nothing to take
  EXPECT_EQ(block_total_cells(*block), 1);
  call(Act::Append, *block, word_cell("z"));
  call(Act::Remove, at_index(*block, 5));
  call(Act::Clear, at_index(*block, 3));
  EXPECT_EQ(block_total_cells(*block), 1);
  call(Act::Sort, *block);
  EXPECT_EQ(block_total_cells(*block), 21);
}

TEST_F(SeriesNotify, ModifyAndReflectTheOwner) {
  GcRoot<Cell> owner(owner_object(true));
  GcRoot<Cell> block(load("a b"));
  Cell owned = word_cell("owned");
  EXPECT_EQ(cell_type(call(Act::Reflect, *block, owned)), Type::none);
  Cell record = load("");
  block_append_copy(record, *owner);
  block_append_copy(record, *context_word_at(owner->w1, 0));
  call(Act::Modify, *block, owned, record);
  Cell reflected = call(Act::Reflect, *block, owned);
  ASSERT_EQ(cell_type(reflected), Type::block);
  EXPECT_EQ(block_cell_at(reflected, 0)->w1, owner->w1);
  EXPECT_EQ(symbol_name(block_cell_at(reflected, 1)->w2), "data");
  call(Act::Append, *block, word_cell("x"));
  EXPECT_EQ(told.size(), 2u);
  call(Act::Modify, *block, owned, make_cell(Type::none));
  EXPECT_EQ(cell_type(call(Act::Reflect, *block, owned)), Type::none);
  EXPECT_EQ(error_of([&] { call(Act::Modify, *block, owned, load("1 2")); }), error_id("script", "invalid-arg"));
  call(Act::Modify, *block, word_cell("other"), record);  // other fields change nothing
  EXPECT_EQ(cell_type(call(Act::Reflect, *block, owned)), Type::none);
}

}  // namespace
}  // namespace qel::testing

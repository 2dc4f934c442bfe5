// The series model and series!'s actions, on blocks: positions and lengths, navigation, pick and
// poke, remove, reverse, take, copy and move.
#include <gtest/gtest.h>

#include <limits>

#include "block-fixture.h"

namespace qel::testing {
namespace {

using SeriesActions = BlockTest;

constexpr ErrorId kOutOfRange = error_id("script", "out-of-range");
constexpr ErrorId kInvalidArg = error_id("script", "invalid-arg");
constexpr ErrorId kInvalidRefineArg = error_id("script", "invalid-refine-arg");

Cell float_cell(double x) {
  Cell cell = make_cell(Type::float_);
  set_payload_f64(cell, x);
  return cell;
}

TEST_F(SeriesActions, AnIndexPastAShrunkTailReadsAsLengthZeroAndIsWrittenBack) {
  Cell block = load("a b c d");
  Cell far = at_index(block, 3);
  call(Act::Clear, at_index(block, 1));
  EXPECT_EQ(series_length_from_index(far, false), 0);
  EXPECT_EQ(series_index(far), 1);
  EXPECT_EQ(series_length_from_index(far, true), 1);
  Cell length = call(Act::LengthQ, at_index(block, 3));
  EXPECT_EQ(payload_i32(length, 2), 0);
  EXPECT_TRUE(series_at_tail(at_index(block, 3)));
  EXPECT_TRUE(series_advance(far, 1));  // at the tail, and nothing past it
  EXPECT_EQ(series_index(far), 1);
}

TEST_F(SeriesActions, AtAndSkipClampWithoutOverflow) {
  struct Row {
    Act act;
    int32_t from;
    int32_t offset;
    int32_t index;
  };
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const Row rows[] = {
      {Act::Skip, 1, kMax, 3}, {Act::Skip, 2, kMin, 0}, {Act::Skip, 1, -kMax, 0}, {Act::Skip, 0, -5, 0},
      {Act::At, 2, kMax, 3},   {Act::At, 1, kMin, 0},   {Act::At, 1, 1, 1},       {Act::At, 1, 0, 1},
      {Act::At, 1, -1, 0},     {Act::At, 0, 3, 2},      {Act::Skip, 3, 1, 3},
  };
  Cell block = load("a b c");
  for (const Row& row : rows) {
    Cell moved = call(row.act, at_index(block, row.from), integer_cell(row.offset));
    EXPECT_EQ(series_index(moved), row.index) << row.from << " by " << row.offset;
  }
}

TEST_F(SeriesActions, NavigationActions) {
  Cell block = load("a b c");
  EXPECT_EQ(series_index(call(Act::Next, at_index(block, 3))), 3);
  EXPECT_EQ(series_index(call(Act::Back, at_index(block, 0))), 0);
  EXPECT_EQ(series_index(call(Act::Back, at_index(block, 9))), 2);  // from the tail
  EXPECT_EQ(series_index(call(Act::Tail, block)), 3);
  EXPECT_EQ(series_index(call(Act::Head, at_index(block, 2))), 0);
  EXPECT_EQ(payload_i32(call(Act::IndexQ, at_index(block, 2)), 2), 3);
  EXPECT_EQ(call(Act::HeadQ, block).w1, 1u);
  EXPECT_EQ(call(Act::TailQ, at_index(block, 3)).w1, 1u);
  EXPECT_EQ(call(Act::TailQ, at_index(block, 2)).w1, 0u);
}

TEST_F(SeriesActions, PickAndPokePositions) {
  struct Row {
    int32_t from;
    int32_t n;
    const char* picked;  // nullptr: none, and poke is out of range
  };
  const Row rows[] = {
      {0, 1, "a"},  {0, 3, "c"},  {0, 4, nullptr}, {0, 0, nullptr}, {1, -1, "a"},
      {1, -2, nullptr}, {3, -2, "b"}, {2, 1, "c"},  {9, -1, "c"},    {0, std::numeric_limits<int32_t>::min(), nullptr},
  };
  for (const Row& row : rows) {
    Cell block = load("a b c");
    Cell picked = call(Act::Pick, at_index(block, row.from), integer_cell(row.n));
    if (!row.picked) {
      EXPECT_EQ(cell_type(picked), Type::none) << row.from << " " << row.n;
      EXPECT_EQ(error_of([&] { call(Act::Poke, at_index(block, row.from), integer_cell(row.n), word_cell("z")); }),
                kOutOfRange);
      EXPECT_EQ(mold(block), "[a b c]");
      continue;
    }
    EXPECT_EQ(picked.w2, word_cell(row.picked).w2) << row.from << " " << row.n;
    Cell poked = call(Act::Poke, at_index(block, row.from), integer_cell(row.n), word_cell("z"));
    EXPECT_EQ(poked.w2, word_cell("z").w2);
    EXPECT_EQ(call(Act::Pick, at_index(block, row.from), integer_cell(row.n)).w2, word_cell("z").w2);
  }
}

TEST_F(SeriesActions, NavigationRows) {
  EXPECT_EQ(mold(call(Act::Skip, load("a b c"), integer_cell(-5))), "[a b c]");
  EXPECT_EQ(mold(call(Act::Pick, call(Act::Tail, load("a b c")), integer_cell(-2))), "b");
  Cell block = load("1 2 3 4");
  call(Act::Remove, {ref<Act::Remove>("part", std::array{integer_cell(2)})}, at_index(block, 1));
  EXPECT_EQ(mold(block), "[1 4]");
  Cell keyed = load("a 1 b 2 c 3");
  call(Act::Remove, {ref<Act::Remove>("key", std::array{word_cell("b")})}, keyed);
  EXPECT_EQ(mold(keyed), "[a 1 c 3]");
  Cell missing = call(Act::Remove, {ref<Act::Remove>("key", std::array{word_cell("q")})}, keyed);
  EXPECT_EQ(cell_type(missing), Type::none);
  EXPECT_EQ(mold(keyed), "[a 1 c 3]");
  Cell records = load("1 2 3 4 5 6");
  call(Act::Reverse, {ref<Act::Reverse>("skip", std::array{integer_cell(3)})}, records);
  EXPECT_EQ(mold(records), "[4 5 6 1 2 3]");
  Cell whole = load("1 2 3");
  call(Act::Reverse, {ref<Act::Reverse>("skip", std::array{integer_cell(3)})}, whole);
  EXPECT_EQ(mold(whole), "[1 2 3]");  // one record: unchanged
  Cell plain = load("1 2 3 4 5");
  call(Act::Reverse, {ref<Act::Reverse>("part", std::array{integer_cell(3)})}, at_index(plain, 1));
  EXPECT_EQ(mold(plain), "[1 4 3 2 5]");
}

TEST_F(SeriesActions, BadArgumentsChangeNothing) {
  struct Row {
    const char* what;
    std::function<void(Cell&)> call;
    ErrorId error;
  };
  const Row rows[] = {
      {"poke past the tail", [](Cell& b) { call(Act::Poke, b, integer_cell(4), word_cell("x")); }, kOutOfRange},
      {"reverse/skip 0",
       [](Cell& b) { call(Act::Reverse, {ref<Act::Reverse>("skip", std::array{integer_cell(0)})}, b); }, kOutOfRange},
      {"reverse/skip not dividing",
       [](Cell& b) { call(Act::Reverse, {ref<Act::Reverse>("skip", std::array{integer_cell(2)})}, b); },
       kInvalidRefineArg},
      {"remove/part by a block",
       [](Cell& b) { call(Act::Remove, {ref<Act::Remove>("part", std::array{load("x")})}, b); }, kInvalidRefineArg},
      {"skip by a float", [](Cell& b) { call(Act::Skip, b, float_cell(1.0)); }, kInvalidArg},
      {"copy/part by a float",
       [](Cell& b) { call(Act::Copy, {ref<Act::Copy>("part", std::array{float_cell(1.0)})}, b); }, kInvalidRefineArg},
      {"swap with a non-block", [](Cell& b) { call(Act::Swap, b, integer_cell(1)); }, kInvalidArg},
      {"reflect another field", [](Cell& b) { call(Act::Reflect, b, word_cell("spec")); },
       error_id("internal", "not-done")},
  };
  for (const Row& row : rows) {
    Cell block = load("a b c");
    EXPECT_EQ(error_of([&] { row.call(block); }), row.error) << row.what;
    EXPECT_EQ(mold(block), "[a b c]") << row.what;
  }
}

TEST_F(SeriesActions, TakeRows) {
  struct Row {
    const char* block;
    int32_t from;
    std::optional<int32_t> part;
    bool last;
    const char* taken;
    const char* left;
  };
  const Row rows[] = {
      {"a b c", 0, {}, true, "c", "[a b]"},
      {"a b c", 0, {}, false, "a", "[b c]"},
      {"a b c d", 2, -2, false, "[a b]", "[c d]"},
      {"a b c d", 0, 2, true, "[c d]", "[a b]"},
      {"a b c d", 1, 9, false, "[b c d]", "[a]"},
      {"a b c", 3, {}, false, "none", "[a b c]"},
  };
  for (const Row& row : rows) {
    Cell block = load(row.block);
    std::array part{integer_cell(row.part.value_or(0))};
    Refinements both = {ref<Act::Take>("part", part), ref<Act::Take>("last")};
    Refinements part_only = {ref<Act::Take>("part", part)};
    Refinements last_only = {ref<Act::Take>("last")};
    Cell taken = call(Act::Take, row.part ? (row.last ? both : part_only) : (row.last ? last_only : Refinements{}),
                      at_index(block, row.from));
    EXPECT_EQ(mold(taken), row.taken) << row.block << " " << row.from;
    EXPECT_EQ(mold(block), row.left) << row.block << " " << row.from;
  }
}

TEST_F(SeriesActions, EveryTakeAnswersASeriesOfItsOwn) {
  // A kept result of take is not overwritten by the next take.
  Cell block = load("[a] [b]");
  Cell first = call(Act::Take, block);
  Cell second = call(Act::Take, block);
  EXPECT_EQ(mold(first), "[a]");
  EXPECT_EQ(mold(second), "[b]");
  Cell words = load("x y z");
  Cell x = call(Act::Take, {ref<Act::Take>("part", std::array{integer_cell(1)})}, words);
  Cell y = call(Act::Take, {ref<Act::Take>("part", std::array{integer_cell(1)})}, words);
  EXPECT_NE(x.w2, y.w2);
  EXPECT_EQ(mold(x), "[x]");
  EXPECT_EQ(mold(y), "[y]");
}

TEST_F(SeriesActions, CopyPartRows) {
  struct Row {
    int32_t from;
    Cell part;
    const char* copied;
  };
  Cell block = load("a b c d e");
  const Row rows[] = {
      {1, integer_cell(-1), "[a]"},   {0, pair_cell(3, 5), "[c d]"}, {0, pair_cell(5, 3), "[]"},
      {1, integer_cell(-9), "[a]"},   {4, integer_cell(9), "[e]"},   {9, integer_cell(2), "[]"},
      {1, at_index(block, 3), "[b c]"}, {3, at_index(block, 1), "[b c]"}, {0, pair_cell(-1, 2), "[a b c]"},
  };
  for (const Row& row : rows) {
    Cell copy = call(Act::Copy, {ref<Act::Copy>("part", std::array{row.part})}, at_index(block, row.from));
    EXPECT_EQ(mold(copy), row.copied) << row.from;
  }
  Cell marked = load("a b");
  marked.header |= kNewLineFlag;
  EXPECT_TRUE(call(Act::Copy, marked).header & kNewLineFlag);
}

TEST_F(SeriesActions, MoveBetweenBlocks) {
  Cell a = load("x y z"), c = load("1 2");
  Cell result = call(Act::Move, {ref<Act::Move>("part", std::array{integer_cell(2)})}, a, c);
  EXPECT_EQ(result.w2, c.w2);
  EXPECT_EQ(mold(c), "[x y 1 2]");
  EXPECT_EQ(mold(a), "[z]");
  call(Act::Move, at_index(a, 1), c);  // a source at its tail moves nothing
  EXPECT_EQ(mold(c), "[x y 1 2]");
  EXPECT_EQ(error_of([&] { call(Act::Move, a, integer_cell(1)); }), error_id("script", "expect-arg"));
}

TEST_F(SeriesActions, MoveWithinOneBlock) {
  struct Row {
    int32_t from;
    int32_t count;
    int32_t to;
    const char* after;
  };
  const Row rows[] = {
      {0, 3, 4, "[d e a b c]"},  // fewer units after the target than are moved
      {0, 1, 1, "[b a c d e]"},  // after the unit at the target
      {0, 2, 5, "[c d e a b]"},  // to the tail
      {3, 2, 1, "[a d e b c]"},  // before the source
      {1, 3, 2, "[a b c d e]"},  // a target inside the moved span
      {2, 1, 2, "[a b c d e]"},  // onto itself
      {0, 2, 9, "[c d e a b]"},  // past the tail: the tail
  };
  for (const Row& row : rows) {
    Cell block = load("a b c d e");
    call(Act::Move, {ref<Act::Move>("part", std::array{integer_cell(row.count)})}, at_index(block, row.from),
         at_index(block, row.to));
    EXPECT_EQ(mold(block), row.after) << row.from << " " << row.count << " " << row.to;
  }
}

TEST_F(SeriesActions, RandomShufflesAndPicks) {
  Cell block = load("1 2 3 4 5 6 7 8");
  call(Act::Random, block);
  Cell sorted = call(Act::Sort, call(Act::Copy, block));
  EXPECT_EQ(mold(sorted), "[1 2 3 4 5 6 7 8]");
  Cell one = call(Act::Random, {ref<Act::Random>("only")}, at_index(block, 6));
  EXPECT_EQ(cell_type(one), Type::integer);
  EXPECT_EQ(cell_type(call(Act::Random, {ref<Act::Random>("only")}, at_index(block, 8))), Type::none);
  EXPECT_EQ(cell_type(call(Act::Random, {ref<Act::Random>("seed")}, block)), Type::unset);
}

}  // namespace
}  // namespace qel::testing

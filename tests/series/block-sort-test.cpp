// block! sort: the default order, /part, /skip, /all, /compare by offset and by function, and
// what a /compare function may do: fail, keep its records, reach a safe point, cut the series.
#include <gtest/gtest.h>

#include <vector>

#include "block-fixture.h"
#include "runtime/collector.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"

namespace qel::testing {
namespace {

// What the /compare function double does with its two arguments.
enum class Behaviour { subtract, divide_by_zero, keep_records, collect, cut_series };
Behaviour behaviour = Behaviour::subtract;
std::vector<Cell> kept;       // argument cells the double keeps
std::vector<std::string> kept_molds;
Cell cut_target;              // the series the double cuts

Cell integer_of(int32_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(n)); }

// The integer an argument stands for: the argument itself, or the first cell inside it (its
// record's under /all, a nested block's).
int32_t key_of(Cell argument) {
  while (cell_type(argument) == Type::block) argument = *block_cell_at(argument, 0);
  return payload_i32(argument, 2);
}

// Like a function call, the double first pushes its arguments, which roots them.
Cell compare_double(const Cell&, std::span<const Cell> given, uint32_t) {
  Cell* args = value_stack.top;
  for (const Cell& arg : given) stack_push_value(arg);
  struct Drop {
    ~Drop() { stack_drop(2); }
  } drop;
  switch (behaviour) {
    case Behaviour::divide_by_zero: raise_error(error_id("math", "zero-divide"));
    case Behaviour::keep_records:
      if (kept.empty()) {
        kept.assign(args, args + 2);
        for (const Cell& arg : kept) {
          kept_molds.push_back(BlockTest::text_of(call_action(Act::Mold, std::array{arg})));
          stack_drop(1);
        }
      }
      break;
    case Behaviour::collect: gc_safepoint(); break;
    case Behaviour::cut_series: block_truncate(cut_target, 1); break;
    case Behaviour::subtract: break;
  }
  return integer_of(key_of(args[0]) - key_of(args[1]));
}

class BlockSort : public BlockTest {
 protected:
  void SetUp() override {
    BlockTest::SetUp();
    services().eval_function_body = compare_double;
    behaviour = Behaviour::subtract;
    kept.clear();
    kept_molds.clear();
  }
  static Cell function() { return make_cell(Type::function); }
  static std::array<Cell, 1> one(const Cell& cell) { return {cell}; }
};

TEST_F(BlockSort, Rows) {
  struct Row {
    const char* block;
    int32_t from;
    std::optional<int32_t> part, skip, compare;
    bool all, reverse, stable, by_function;
    const char* sorted;
  };
  const Row rows[] = {
      {"3 1.5 2", 0, {}, {}, {}, false, false, false, false, "[1.5 2 3]"},
      {"b 2 a 1", 0, {}, {}, {}, false, false, false, false, "[1 2 a b]"},
      {"4 3 2 1", 0, 2, {}, {}, false, false, false, false, "[3 4 2 1]"},
      {"4 3 2 1", 3, -2, {}, {}, false, false, false, false, "[4 2 3 1]"},
      {"4 3 2 1", 2, -9, {}, {}, false, false, false, false, "[3 4 2 1]"},
      {"1 z 2 y 3 x", 0, {}, 2, 2, false, false, false, false, "[3 x 2 y 1 z]"},
      {"2 b 1 c 1 a", 0, {}, 2, {}, true, false, false, false, "[1 a 1 c 2 b]"},
      {"2 a 1 b 2 c 1 d", 0, {}, 2, 1, false, false, true, false, "[1 b 1 d 2 a 2 c]"},
      {"1 3 2", 0, {}, {}, {}, false, true, false, false, "[3 2 1]"},
      {"1 4 2 3", 0, {}, {}, {}, false, false, false, true, "[4 3 2 1]"},
      {"1 4 2 3", 0, {}, {}, {}, false, true, true, true, "[1 2 3 4]"},
      {"2 x 1 y 3 z", 0, {}, 2, {}, true, false, true, true, "[3 z 2 x 1 y]"},
      {"", 0, {}, {}, {}, false, false, false, false, "[]"},
  };
  for (const Row& row : rows) {
    const std::array part{integer_of(row.part.value_or(0))}, skip{integer_of(row.skip.value_or(0))};
    const std::array compare{row.by_function ? function() : integer_of(row.compare.value_or(0))};
    Cell sorted = call(Act::Sort,
                       {{1, row.skip.has_value(), skip}, {2, row.compare || row.by_function, compare},
                        {3, row.part.has_value(), part}, {4, row.all}, {5, row.reverse}, {6, row.stable}},
                       at_index(load(row.block), row.from));
    EXPECT_EQ(mold(at_index(sorted, 0)), row.sorted) << row.block;
  }
}

TEST_F(BlockSort, BadRefinementsLeaveTheBlock) {
  struct Row {
    const char* block;
    std::optional<int32_t> skip;
    std::optional<Cell> compare;
    bool all;
    ErrorId error;
  };
  const Row rows[] = {
      {"1 2 3", 2, {}, false, error_id("script", "invalid-refine-arg")},
      {"1 2", {}, {}, true, error_id("script", "bad-refines")},
      {"1 2", {}, integer_of(1), false, error_id("script", "bad-refines")},
      {"1 2 3 4", 2, integer_of(1), true, error_id("script", "bad-refines")},
      {"1 2 3 4", 2, integer_of(0), false, error_id("script", "out-of-range")},
      {"1 2 3 4", 2, integer_of(3), false, error_id("script", "out-of-range")},
      {"1 2", {}, word_cell("x"), false, error_id("script", "invalid-refine-arg")},
      {"2 1", {}, function(), false, error_id("math", "zero-divide")},
  };
  behaviour = Behaviour::divide_by_zero;
  for (const Row& row : rows) {
    Cell block = load(row.block);
    const std::array skip{integer_of(row.skip.value_or(0))};
    const std::array compare{row.compare.value_or(integer_of(0))};
    ErrorId error = error_of([&] {
      call(Act::Sort, {{1, row.skip.has_value(), skip}, {2, row.compare.has_value(), compare}, {4, row.all}}, block);
    });
    EXPECT_EQ(error, row.error) << row.block;
    EXPECT_EQ(mold(block), std::string("[") + row.block + "]");
  }
}

TEST_F(BlockSort, EveryComparisonGetsRecordBlocksOfItsOwn) {
  behaviour = Behaviour::keep_records;
  Cell block = load("3 c 1 a 2 b");
  call(Act::Sort, {{1, true, one(integer_of(2))}, {2, true, one(function())}, {4, true}}, block);
  EXPECT_EQ(mold(block), "[3 c 2 b 1 a]");
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_NE(kept[0].w2, kept[1].w2);
  for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(mold(kept[i]), kept_molds[i]);
}

TEST_F(BlockSort, AFunctionThatReachesSafePoints) {
  behaviour = Behaviour::collect;
  GcRoot<Cell> block(load("5 3 9 1 7 2 8 4 6 0 11 10"));
  GcRoot<Cell> nested(load("[3] [1] [2]"));
  call(Act::Sort, {{2, true, one(function())}}, *block);
  EXPECT_EQ(mold(*block), "[11 10 9 8 7 6 5 4 3 2 1 0]");
  call(Act::Sort, {{1, true, one(integer_of(1))}, {2, true, one(function())}, {4, true}, {6, true}}, *nested);
  EXPECT_EQ(mold(*nested), "[[3] [2] [1]]");
}

TEST_F(BlockSort, AFunctionThatCutsTheSeriesWins) {
  behaviour = Behaviour::cut_series;
  cut_target = load("3 1 2");
  call(Act::Sort, {{2, true, one(function())}}, cut_target);
  EXPECT_EQ(mold(cut_target), "[3]");
}

}  // namespace
}  // namespace qel::testing

// The block core: growth, insertion order, finding, the mold loop with new-line markers and
// limits, the structural comparison and deep copies.
#include <gtest/gtest.h>

#include "block-fixture.h"
#include "runtime/cycle-guard.h"

namespace qel::testing {
namespace {

using BlockCore = BlockTest;

TEST_F(BlockCore, AFullBlockGrowsToTwiceTheNeed) {
  Cell block;
  block_make_at(block, 3);
  for (int i = 0; i < 3; ++i) block_append_copy(block, integer_cell(i));
  ASSERT_EQ(series_buffer_of(block)->capacity, 3 * sizeof(Cell));  // full
  block_insert_value(block, integer_cell(9), false, true);
  EXPECT_EQ(series_buffer_of(block)->capacity, 2 * (3 * sizeof(Cell) + sizeof(Cell)));
  EXPECT_EQ(mold(block), "[9 0 1 2]");
}

TEST_F(BlockCore, AdvancingInsertsKeepTheirOrder) {
  Cell block = load("x y");
  series_set_index(block, 1);
  for (const char* name : {"a", "b", "c"}) block_insert_value(block, word_cell(name), true, false);
  EXPECT_EQ(series_index(block), 4);
  EXPECT_EQ(mold(at_index(block, 0)), "[x a b c y]");
}

TEST_F(BlockCore, FindingValuesAndWords) {
  Cell block = load("a 1 b 2 c");
  EXPECT_EQ(block_find_value(block, word_cell("b")).w2, 2u);
  EXPECT_EQ(cell_type(block_find_value(block, word_cell("c"))), Type::none);  // the match is last
  EXPECT_EQ(cell_type(block_find_value(block, word_cell("q"))), Type::none);
  EXPECT_EQ(block_find_word(block, word_cell("B"), false).w2, 2u);
  EXPECT_EQ(cell_type(block_find_word(block, word_cell("B"), true)), Type::none);
  Cell from_b = at_index(block, 2);
  EXPECT_TRUE(block_remove_value(from_b, word_cell("a"), true));  // before index + 1
  EXPECT_FALSE(block_remove_value(from_b, word_cell("c"), false));
  EXPECT_FALSE(block_remove_value(from_b, word_cell("q"), false));
  EXPECT_EQ(mold(at_index(block, 0)), "[1 b 2]");
}

TEST_F(BlockCore, MoldCellsWithMarkersAndLimits) {
  struct Row {
    const char* block;
    bool only;
    bool flat;
    const char* molded;
  };
  const Row rows[] = {
      {"\na b c", false, false, "[\n    a b c\n]"},
      {"\na\nb\nc", false, false, "[\n    a\n    b\n    c\n]"},
      {"a b\nc", false, false, "[a b\nc]"},
      {"\na b\nc", true, false, "a b\nc"},
      {"\na b\nc", false, true, "[a b c]"},
      {"a [b\nc] d", false, false, "[a [b\nc] d]"},
      {"a [\nb c] d", false, false, "[a [\n    b c\n] d]"},
      {"\na [\nb c]", false, false, "[\n    a [\n        b c\n    ]\n]"},
      {"", false, false, "[]"},
  };
  for (const Row& row : rows) {
    Cell molded = call(Act::Mold, {{0, row.only}, {2, row.flat}}, load(row.block));  // /only and /flat
    EXPECT_EQ(text_of(molded), row.molded) << row.block;
  }
}

TEST_F(BlockCore, MoldLimitsCountEveryUnit) {
  // The walk stops before a cell once the limit is used up; what it answers counts every unit.
  struct Row {
    const char* block;
    int32_t limit;
    int32_t left;
  };
  const Row rows[] = {
      {"a b c", 2, -1},    // "a", the space and "b"; then no more cells
      {"a\nb", 2, -1},     // "a", the line feed and "b"
      {"\na", 5, -2},      // line feed, one indent, "a", then the closing line feed
      {"a b c", 100, 95},  // everything: five units
  };
  for (const Row& row : rows) {
    Cell output = make_cell(Type::string, 0, new_string_series(16, 1));
    int32_t left = block_mold_cells(load(row.block), output, false, false, false, true, row.limit, 0);
    EXPECT_EQ(left, row.left) << row.block << " " << row.limit;
  }
  // mold/part cuts exactly at a space, a line feed and an indent.
  const std::pair<const char*, int32_t> cuts[] = {{"a b c", 3}, {"a\nb", 3}, {"\na", 6}};
  const char* cut_texts[] = {"[a ", "[a\n", "[\n    "};
  for (size_t i = 0; i < std::size(cuts); ++i) {
    Cell molded = call(Act::Mold, {ref<Act::Mold>("part", std::array{integer_cell(cuts[i].second)})},
                       load(cuts[i].first));
    EXPECT_EQ(text_of(molded), cut_texts[i]) << cuts[i].first;
  }
}

TEST_F(BlockCore, StructuralComparison) {
  auto compare = [](const char* a, const char* b, int32_t op) { return block_compare_cells(load(a), load(b), op); };
  EXPECT_EQ(compare("a 1", "a 1", kCompareEqual), 0);
  EXPECT_EQ(compare("a 1", "a 1 2", kCompareEqual), 1);  // equality of different lengths
  EXPECT_EQ(compare("a 1", "a 1 2", kCompareLesser), -1);
  EXPECT_EQ(compare("a 2", "a 10", kCompareLesser), -1);
  EXPECT_EQ(compare("1 [2]", "1.0 [2]", kCompareEqual), 0);
  EXPECT_EQ(compare("1", "a", kCompareSort), -1);  // integer! before word! by type id
  EXPECT_EQ(compare("a", "1", kCompareSort), 1);
  EXPECT_EQ(compare("a", "1", kCompareEqual), 1);
  Cell block = load("a b");
  EXPECT_EQ(block_compare_cells(block, block, kCompareSame), 0);
  EXPECT_EQ(block_compare_cells(block, load("a b"), kCompareSame), -1);
}

TEST_F(BlockCore, TheCycleStackDecidesNestedComparisons) {
  Cell a = load("x"), b = load("x");
  {
    CyclePush walking(a.w2);
    EXPECT_EQ(block_compare_cells(a, b, kCompareEqual), -1);  // a on the stack, b not
    CyclePush also(b.w2);
    EXPECT_EQ(block_compare_cells(a, b, kCompareEqual), 0);
  }
  // Blocks that hold themselves compare equal without walking for ever.
  Cell self_a = load("1"), self_b = load("1");
  block_append_copy(self_a, self_a);
  block_append_copy(self_b, self_b);
  EXPECT_EQ(block_compare_cells(self_a, self_b, kCompareEqual), 0);
  EXPECT_EQ(cycle_stack_depth(), 0u);
}

TEST_F(BlockCore, DeepCopies) {
  Cell empty = load("");
  set_value_type_byte(empty, Type::paren);
  Cell* copy = block_copy_deep(empty, DeepCopy::blocks);
  EXPECT_EQ(cell_type(*copy), Type::paren);
  EXPECT_EQ(series_buffer_of(*copy)->capacity, sizeof(Cell));
  stack_drop(1);
  Cell nested = load("a [b (c)] x/y");
  Cell* blocks = block_copy_deep(at_index(nested, 0), DeepCopy::blocks);
  EXPECT_NE(block_cell_at(*blocks, 1)->w2, block_cell_at(nested, 1)->w2);
  Cell inner = *block_cell_at(*blocks, 1);
  EXPECT_EQ(block_cell_at(inner, 1)->w2, block_cell_at(*block_cell_at(nested, 1), 1)->w2);  // the paren is shared
  EXPECT_EQ(block_cell_at(*blocks, 2)->w2, block_cell_at(nested, 2)->w2);
  Cell* paths = block_copy_deep(nested, DeepCopy::blocks_paths);
  EXPECT_NE(block_cell_at(*paths, 2)->w2, block_cell_at(nested, 2)->w2);
  EXPECT_EQ(mold(*paths), "[a [b (c)] x/y]");
}

TEST_F(BlockCore, CopyByTypes) {
  Cell block = load("[a] (b) [c]");
  Cell copy = call(Act::Copy, {ref<Act::Copy>("types", std::array{datatype_cell(Type::paren)})}, block);
  EXPECT_EQ(block_cell_at(copy, 0)->w2, block_cell_at(block, 0)->w2);
  EXPECT_NE(block_cell_at(copy, 1)->w2, block_cell_at(block, 1)->w2);
  EXPECT_EQ(mold(copy), "[[a] (b) [c]]");
}

}  // namespace
}  // namespace qel::testing

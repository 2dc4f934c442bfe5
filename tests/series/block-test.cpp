// block!'s actions: make, to, form, mold, find, select, put, path steps, append, insert, change,
// take, swap, trim, copy and the set operations.
#include <gtest/gtest.h>

#include "block-fixture.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block.h"
#include "runtime/cycle-guard.h"

namespace qel::testing {
namespace {

using BlockActions = BlockTest;

constexpr ErrorId kNoCycle = error_id("internal", "no-cycle");
constexpr ErrorId kNoMemory = error_id("internal", "no-memory");

TEST_F(BlockActions, FindRows) {
  enum : uint32_t { kOnly = 1, kCase = 2, kLast = 4, kReverse = 8, kTail = 16, kMatch = 32 };
  struct Row {
    const char* block;
    int32_t from;
    const char* value;  // read as a block: its one cell, or the block itself with `sequence`
    bool sequence;
    uint32_t refinements;
    std::optional<int32_t> skip;
    const char* found;
  };
  const Row rows[] = {
      {"a b c d", 0, "c d", true, 0, {}, "[c d]"},
      {"a b c d", 0, "b c", true, kTail, {}, "[d]"},
      {"a b a b", 0, "a", false, kLast, {}, "[a b]"},
      {"a b a b", 4, "b", false, kReverse, {}, "[b]"},
      {"a 1 b 1 1 c", 0, "1", false, 0, 2, "[1 c]"},
      {"[a] a", 0, "a", true, kOnly, {}, "[[a] a]"},
      {"a A", 0, "A", false, kCase, {}, "[A]"},
      {"a b c", 0, "b", false, kMatch, {}, "none"},
      {"a b c", 1, "b", false, kMatch, {}, "[b c]"},
      {"1 2 1", 0, "1", false, kLast, {}, "[1]"},
      {"1 2", 0, "1", false, kTail, {}, "[2]"},
      {"a b c", 3, "c", false, 0, {}, "none"},
      {"", 0, "c", false, 0, {}, "none"},
      {"a b", 0, "q", false, 0, {}, "none"},
      {"a b c", 0, "", true, 0, {}, "none"},
  };
  auto on = [](uint32_t set, uint32_t bit) { return (set & bit) != 0; };
  for (const Row& row : rows) {
    Cell value = load(row.value);
    if (!row.sequence) value = *block_cell_at(value, 0);
    const std::array skip{integer_cell(row.skip.value_or(0))};
    Cell found = call(Act::Find,
                      {{1, on(row.refinements, kOnly)}, {2, on(row.refinements, kCase)}, {6, row.skip.has_value(), skip},
                       {7, on(row.refinements, kLast)}, {8, on(row.refinements, kReverse)},
                       {9, on(row.refinements, kTail)}, {10, on(row.refinements, kMatch)}},
                      at_index(load(row.block), row.from), value);
    EXPECT_EQ(mold(found), row.found) << row.block << " / " << row.value;
  }
  EXPECT_EQ(mold(call(Act::Find, load("a 1 b"), datatype_cell(Type::integer))), "[1 b]");
  EXPECT_EQ(error_of([&] { call(Act::Find, {ref<Act::Find>("skip", std::array{integer_cell(0)})}, load("a b"),
                              word_cell("a")); }),
            error_id("script", "out-of-range"));
  Cell limited = load("a b c d");
  EXPECT_EQ(mold(call(Act::Find, {ref<Act::Find>("part", std::array{integer_cell(2)})}, limited, word_cell("c"))),
            "none");
  EXPECT_EQ(mold(call(Act::Find, {ref<Act::Find>("part", std::array{at_index(limited, 2)})}, limited,
                      word_cell("c"))),
            "[c d]");  // a position in the same block is the last cell searched
}

TEST_F(BlockActions, SelectAndPut) {
  EXPECT_EQ(mold(call(Act::Select, load("x 10 y 20"), word_cell("y"))), "20");
  EXPECT_EQ(mold(call(Act::Select, load("a b c d"), load("b c"))), "d");
  EXPECT_EQ(mold(call(Act::Select, load("x 10 y"), word_cell("y"))), "none");
  Cell block = load("x 1");
  Cell put = call(Act::Put, block, word_cell("x"), integer_cell(5));
  EXPECT_EQ(payload_i32(put, 2), 5);
  call(Act::Put, block, word_cell("z"), integer_cell(6));
  EXPECT_EQ(mold(block), "[x 5 z 6]");
  Cell last = load("k");
  call(Act::Put, last, word_cell("k"), integer_cell(1));
  EXPECT_EQ(mold(last), "[k 1]");
}

TEST_F(BlockActions, PathStepsReadAndWriteLikeABlock) {
  Cell block = load("k 1 [n] 2");
  auto step = lookup_action_or_fail(block, block, nullptr, -1);
  PathStep get{nullptr, nullptr, nullptr, nullptr, -1, false, true, true, false};
  PathStep set = get;
  set.get = false;
  Cell k = word_cell("k");
  EXPECT_EQ(payload_i32(*step(block, k, nullptr, get), 2), 1);
  Cell two = integer_cell(2);
  EXPECT_EQ(mold(*step(block, two, nullptr, get)), "1");
  Cell seven = integer_cell(7);
  step(block, k, &seven, set);
  EXPECT_EQ(mold(block), "[k 7 [n] 2]");
  EXPECT_EQ(error_of([&] {
              Cell z = word_cell("z");
              step(block, z, &seven, set);
            }),
            error_id("script", "bad-path-set"));
  Cell nested = *block_cell_at(block, 2);
  EXPECT_EQ(mold(*step(block, nested, nullptr, get)), "2");  // any other key selects /only
}

TEST_F(BlockActions, AppendInsertAndChangeRows) {
  auto part = [](int32_t n) { return std::array{integer_cell(n)}; };
  Cell a = load("a");
  call(Act::Append, {ref<Act::Append>("part", part(2))}, a, load("b c d"));
  EXPECT_EQ(mold(a), "[a b c]");
  Cell d = load("a");
  call(Act::Append, {ref<Act::Append>("dup", part(3))}, d, word_cell("b"));
  EXPECT_EQ(mold(d), "[a b b b]");
  Cell inserted = call(Act::Insert, at_index(load("x y"), 1), word_cell("q"));
  EXPECT_EQ(series_index(inserted), 2);
  EXPECT_EQ(mold(at_index(inserted, 0)), "[x q y]");
  Cell appended = call(Act::Append, at_index(load("x y"), 2), load("z"));
  EXPECT_EQ(series_index(appended), 0);
  Cell only = load("");
  call(Act::Append, {ref<Act::Append>("only")}, only, load(""));
  EXPECT_EQ(mold(only), "[[]]");
  Cell unchanged = load("");
  call(Act::Append, unchanged, load(""));
  EXPECT_EQ(mold(unchanged), "[]");
  EXPECT_EQ(mold(call(Act::Change, load("a b c"), load("x y"))), "[c]");
  EXPECT_EQ(mold(at_index(call(Act::Change, {ref<Act::Change>("part", part(2))}, load("a b c"), word_cell("x")), 0)),
            "[x c]");
  EXPECT_EQ(mold(at_index(call(Act::Change, {ref<Act::Change>("dup", part(3))}, load("a b"), word_cell("z")), 0)),
            "[z z z]");
  EXPECT_EQ(mold(at_index(call(Act::Change, {ref<Act::Change>("part", part(2))}, at_index(load("a b"), 1),
                               word_cell("x")), 0)),
            "[a x]");
}

TEST_F(BlockActions, AValueFromTheSameBlockIsTakenBeforeAnythingMoves) {
  Cell b = load("x y z");
  call(Act::Insert, at_index(b, 1), b);
  EXPECT_EQ(mold(b), "[x x y z y z]");
  Cell c = load("x y z");
  call(Act::Append, c, at_index(c, 1));
  EXPECT_EQ(mold(c), "[x y z y z]");
  Cell d = load("a b c d");
  call(Act::Change, at_index(d, 1), at_index(d, 2));
  EXPECT_EQ(mold(d), "[a c d d]");
  Cell e = load("a b c d");
  call(Act::Change, {ref<Act::Change>("dup", std::array{integer_cell(2)})}, at_index(e, 3), at_index(e, 1));
  EXPECT_EQ(mold(e), "[a b c b c d b c d]");
}

TEST_F(BlockActions, SizesPastTheCeilingRaiseNoMemoryAndChangeNothing) {
  Cell a = load("");
  EXPECT_EQ(error_of([&] { call(Act::Append, {ref<Act::Append>("dup", std::array{integer_cell(2147483647)})}, a,
                                word_cell("x")); }),
            kNoMemory);
  EXPECT_EQ(mold(a), "[]");
  EXPECT_EQ(error_of([&] { call(Act::Insert, {ref<Act::Insert>("dup", std::array{integer_cell(1073741824)})}, a,
                                load("a b")); }),
            kNoMemory);
  EXPECT_EQ(mold(a), "[]");
  EXPECT_EQ(error_of([&] { call(Act::Change, {ref<Act::Change>("dup", std::array{integer_cell(200000000)})}, a,
                                word_cell("x")); }),
            kNoMemory);
  EXPECT_EQ(mold(a), "[]");
}

TEST_F(BlockActions, MakeAndTo) {
  Cell made = call(Act::Make, datatype_cell(Type::block), integer_cell(3));
  EXPECT_EQ(mold(made), "[]");
  EXPECT_GE(series_buffer_of(made)->capacity, 3 * sizeof(Cell));
  EXPECT_EQ(error_of([&] { call(Act::Make, datatype_cell(Type::block), word_cell("x")); }),
            error_id("script", "bad-make-arg"));
  EXPECT_EQ(mold(call(Act::To, datatype_cell(Type::get_path), load("x y"))), ":x/y");
  EXPECT_EQ(mold(call(Act::Next, call(Act::To, datatype_cell(Type::path), load("a b c")))), "b/c");
  EXPECT_EQ(mold(call(Act::To, datatype_cell(Type::paren), load("1 2"))), "(1 2)");
  EXPECT_EQ(mold(call(Act::To, datatype_cell(Type::block), integer_cell(1))), "[1]");
  Cell copied = call(Act::Make, datatype_cell(Type::block), at_index(load("a b c"), 1));
  EXPECT_EQ(mold(copied), "[b c]");
  Cell types = make_cell(Type::typeset);
  typeset_set(types, Type::float_);
  typeset_set(types, Type::integer);
  EXPECT_EQ(mold(call(Act::To, datatype_cell(Type::block), types)), "[integer! float!]");
  EXPECT_EQ(mold(call(Act::Find, load("a 1 b"), types)), "[1 b]");
}

TEST_F(BlockActions, FormAndMold) {
  EXPECT_EQ(form(load("1 [2 3] 4")), "1 2 3 4");
  EXPECT_EQ(mold(load("1 [2 3] (4)")), "[1 [2 3] (4)]");
  Cell self = load("a");
  block_append_copy(self, self);
  EXPECT_EQ(mold(self), "[a [...]]");
  EXPECT_EQ(form(self), "a ...");
  EXPECT_EQ(cycle_stack_depth(), 0u);
}

TEST_F(BlockActions, DeepCopiesAreIndependentAndRefuseCycles) {
  Cell b = load("[1] 2");
  Cell c = call(Act::Copy, {ref<Act::Copy>("deep")}, b);
  call(Act::Append, call(Act::Pick, c, integer_cell(1)), integer_cell(9));
  EXPECT_EQ(mold(b), "[[1] 2]");
  EXPECT_EQ(mold(c), "[[1 9] 2]");
  // A cycle through two blocks.
  Cell two = load("x [y]");
  call(Act::Append, {ref<Act::Append>("only")}, call(Act::Pick, two, integer_cell(2)), two);
  EXPECT_EQ(error_of([&] { call(Act::Copy, {ref<Act::Copy>("deep")}, two); }), kNoCycle);
  // take/deep of a block holding a block that holds itself.
  Cell self = load("1");
  call(Act::Append, {ref<Act::Append>("only")}, self, self);
  Cell holder = load("");
  call(Act::Append, {ref<Act::Append>("only")}, holder, self);
  EXPECT_EQ(error_of([&] { call(Act::Take, {ref<Act::Take>("deep")}, holder); }), kNoCycle);
  EXPECT_EQ(cycle_stack_depth(), 0u);
  // The same block twice, not nested, is no cycle.
  Cell inner = load("q");
  Cell twice = load("");
  call(Act::Append, {ref<Act::Append>("only")}, twice, inner);
  call(Act::Append, {ref<Act::Append>("only")}, twice, inner);
  EXPECT_EQ(mold(call(Act::Copy, {ref<Act::Copy>("deep")}, twice)), "[[q] [q]]");
}

TEST_F(BlockActions, SwapAndTrim) {
  Cell a = load("1 2"), b = load("x y");
  call(Act::Swap, at_index(a, 1), b);
  EXPECT_EQ(mold(a), "[1 x]");
  EXPECT_EQ(mold(b), "[2 y]");
  call(Act::Swap, at_index(a, 2), b);  // at the tail: nothing
  EXPECT_EQ(mold(a), "[1 x]");
  Cell t = load("none 1 none none 2 none");
  call(Act::Trim, at_index(t, 1));
  EXPECT_EQ(mold(t), "[none 1 2]");
}

TEST_F(BlockActions, SetOperations) {
  struct Row {
    int32_t op;
    const char* first;
    const char* second;
    bool case_;
    std::optional<int32_t> skip;
    const char* result;
  };
  const Row rows[] = {
      {kSetUnique, "1 2 1 3 2", "", false, {}, "[1 2 3]"},
      {kSetIntersect, "1 2 3", "2 3 4", false, {}, "[2 3]"},
      {kSetExclude, "1 2 3", "2", false, {}, "[1 3]"},
      {kSetUnion, "1 2", "2 3 1", false, {}, "[1 2 3]"},
      {kSetDifference, "1 2 3", "2 4", false, {}, "[1 3 4]"},
      {kSetUnique, "a 1 a 2 b 3", "", false, 2, "[a 1 b 3]"},
      {kSetUnique, "a A a", "", true, {}, "[a A]"},
      {kSetUnique, "a A a", "", false, {}, "[a]"},
      {kSetUnique, "[x] [x] [y]", "", false, {}, "[[x] [y]]"},
      {kSetUnique, "", "", false, {}, "[]"},
  };
  for (const Row& row : rows) {
    Cell skip = integer_cell(row.skip.value_or(0));
    Cell result = block_set_operation(row.op, load(row.first), load(row.second), row.case_, row.skip ? &skip : nullptr);
    EXPECT_EQ(mold(result), row.result) << row.op << " " << row.first;
  }
  Cell paren = load("1 1");
  set_value_type_byte(paren, Type::paren);
  EXPECT_EQ(mold(block_set_operation(kSetUnique, paren, load(""), false, nullptr)), "(1)");
  EXPECT_EQ(mold(block_set_operation(kSetUnion, load("1"), paren, false, nullptr)), "(1)");
  Cell zero = integer_cell(0);
  EXPECT_EQ(error_of([&] { block_set_operation(kSetUnique, load("1"), load(""), false, &zero); }),
            error_id("script", "invalid-refine-arg"));
}

TEST_F(BlockActions, PathsAndParens) {
  struct Row {
    const char* text;
    const char* molded;
    const char* formed;
  };
  const Row rows[] = {
      {"a/b/c", "a/b/c", "a/b/c"}, {"'a/b/c", "'a/b/c", "a/b/c"}, {":a/b/c", ":a/b/c", "a/b/c"},
      {"a/b/c:", "a/b/c:", "a/b/c"}, {"(1 2)", "(1 2)", "1 2"},     {"()", "()", ""},
  };
  for (const Row& row : rows) {
    Cell value = *block_cell_at(load(row.text), 0);
    EXPECT_EQ(mold(value), row.molded) << row.text;
    EXPECT_EQ(form(value), row.formed) << row.text;
  }
  Cell empty = call(Act::Make, datatype_cell(Type::path), integer_cell(3));
  EXPECT_EQ(mold(empty), "");
  EXPECT_GE(series_buffer_of(empty)->capacity, 3 * sizeof(Cell));
  EXPECT_EQ(error_of([&] { call(Act::Make, datatype_cell(Type::path), word_cell("x")); }),
            error_id("script", "bad-make-arg"));
  // path! and lit-path! are equal under the path equalities only.
  Cell path = *block_cell_at(load("a/b"), 0), lit = *block_cell_at(load("'a/b"), 0);
  EXPECT_TRUE(compare_values(path, lit, kComparePath));
  EXPECT_TRUE(compare_values(path, lit, kComparePathCase));
  EXPECT_FALSE(compare_values(path, lit, kCompareEqual));
  // A path is navigated and changed like a block.
  call(Act::Append, path, word_cell("c"));
  call(Act::Poke, path, integer_cell(1), word_cell("z"));
  EXPECT_EQ(mold(path), "z/b/c");
  EXPECT_EQ(mold(call(Act::Skip, path, integer_cell(2))), "c");
  EXPECT_EQ(mold(call(Act::Copy, at_index(path, 1))), "b/c");
  // random, sort and trim are no path actions; trim is none of paren!'s.
  EXPECT_EQ(error_of([&] { call(Act::Sort, path); }), error_id("script", "expect-arg"));
  EXPECT_EQ(error_of([&] { call(Act::Trim, *block_cell_at(load("(1)"), 0)); }), error_id("script", "expect-arg"));
  EXPECT_EQ(mold(call(Act::Sort, *block_cell_at(load("(2 1)"), 0))), "(1 2)");
}

}  // namespace
}  // namespace qel::testing

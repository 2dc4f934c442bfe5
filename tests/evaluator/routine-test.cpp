// routine-test.cpp: routine! values: calls with machine values, the checked call's errors, the
// boxing by return type, cell-address routines, form, mold and op! over a routine.
#include "eval-fixture.h"

#include "evaluator/argument-fetch.h"

namespace qel::testing {
namespace {

class RoutineTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    const uint32_t add = register_routine("add", [](std::span<const RoutineArgument> args) {
      return RoutineResult{args[0].integer + args[1].integer, 0};
    });
    const uint32_t half = register_routine("half", [](std::span<const RoutineArgument> args) {
      return RoutineResult{0, args[0].real / 2};
    });
    const uint32_t negative = register_routine("negative", [](std::span<const RoutineArgument> args) {
      return RoutineResult{args[0].integer < 0, 0};
    });
    const uint32_t swap_cells = register_routine("swap-cells", [](std::span<const RoutineArgument> args) {
      std::swap(*args[0].cell, *args[1].cell);
      return RoutineResult{};
    });
    const uint32_t type_of = register_routine("type-of", [](std::span<const RoutineArgument> args) {
      return RoutineResult{static_cast<int64_t>(cell_type(*args[0].cell)), 0};
    });
    define("add-ints", routine_value_build(load("a [integer!] b [integer!]"), make_cell(Type::none), add,
                                           kReturnInteger, false));
    define("half", routine_value_build(load("x [float! integer!]"), make_cell(Type::none), half, kReturnFloat, false));
    define("negative", routine_value_build(load("n [integer!]"), make_cell(Type::none), negative, kReturnLogic, false));
    define("swap-cells", routine_value_build(load("a b"), make_cell(Type::none), swap_cells, kReturnNothing, true));
    define("type-id", routine_value_build(load("v [any-type!]"), make_cell(Type::none), type_of, kReturnInteger, false));
    // A type block that opens with a datatype! value, not a word.
    const Cell odd_spec = load("v []");
    block_append_copy(*block_cell_at(odd_spec, 1), datatype_cell(Type::integer));
    define("odd", routine_value_build(odd_spec, make_cell(Type::none), type_of, kReturnInteger, false));
  }
};

TEST_F(RoutineTest, EntriesAreFoundByTheirNames) {
  // The test's entries follow the library's, in the order they were registered.
  const uint32_t first = find_routine("add").value();
  EXPECT_EQ(find_routine("half"), std::optional<uint32_t>(first + 1));
  EXPECT_EQ(find_routine("type-of"), std::optional<uint32_t>(first + 4));
  EXPECT_TRUE(find_routine("block?"));
  EXPECT_EQ(find_routine("Half"), std::nullopt);
  EXPECT_EQ(find_routine("missing"), std::nullopt);
}

TEST_F(RoutineTest, CallsPassMachineValuesAndBoxTheirResults) {
  expect_molds({
      {"add-ints 2 3", "5"},
      {"add-ints 2 add-ints 3 4", "9"},
      {"negative -4", "true"},
      {"negative 4", "false"},
      {"type-id 'w", "15"},
      {"type-id none", "3"},
      {"a: make op! :add-ints 2 a 3 a 4", "9"},
  });
  EXPECT_EQ(eval_mold("half 3.0"), mold(float_cell(1.5)));
}

TEST_F(RoutineTest, CheckedCallsRefuseByTheTypeBlocksFirstWord) {
  // half's description admits integer!, but the first word of its type block is float!.
  const Outcome half = run("half 3");
  EXPECT_ERROR(half, "script", "expect-arg");
  ASSERT_EQ(half.args.size(), 3u);
  EXPECT_EQ(mold(half.args[0]), "half");
  EXPECT_EQ(mold(half.args[1]), "integer!");
  EXPECT_EQ(mold(half.args[2]), "x");
  EXPECT_ERROR(run("odd 1"), "script", "invalid-type-spec");
}

TEST_F(RoutineTest, CellAddressRoutinesWorkOnTheFrame) {
  // The result cell is the first argument's cell: after the swap it holds the second argument.
  EXPECT_EQ(eval_mold("swap-cells 1 2"), "2");
}

TEST_F(RoutineTest, FormMoldAndTheCountAtFullWidth) {
  EXPECT_EQ(form(value_of("add-ints")), "?routine?");
  EXPECT_EQ(mold(value_of("add-ints")), "routine [a [integer!] b [integer!]] none");
  // Forty parameters: more than five header bits could count.
  std::string spec;
  for (int i = 0; i < 40; ++i) spec += " p" + std::to_string(i);
  const Cell many = routine_value_build(load(spec), make_cell(Type::none), 0, kReturnNothing, false);
  EXPECT_EQ(arg_description(many).fixed_count, 40u);
}

}  // namespace
}  // namespace qel::testing

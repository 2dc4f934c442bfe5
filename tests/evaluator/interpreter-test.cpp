// interpreter-test.cpp: blocks and expressions: the first-cell rules, infix operators, errors of
// the interpreter, positions in changing blocks, safe points and the current expression.
#include "eval-fixture.h"

#include "evaluator/library-code.h"
#include "evaluator/native.h"
#include "runtime/language-thread.h"
#include "runtime/memory.h"
#include "runtime/node-table.h"

namespace qel::testing {
namespace {

class InterpreterTest : public EvalTest {};

TEST_F(InterpreterTest, FirstCellRowsAndInfixGiveTheirValues) {
  define("n", integer_cell(7));
  define("b", load("10 [20 30]"));
  expect_molds({
      {"", "unset"},
      {"1 2 3", "3"},
      {"(1 + 2)", "3"},
      {"x: 4 x", "4"},
      {"x: y: 4 + 1 x", "5"},
      {"x: y: 4 + 1 y", "5"},
      {":n", "7"},
      {":never-set-word", "unset"},
      {"'a", "a"},
      {"n", "7"},
      {"'a/b/c", "a/b/c"},
      {":b/2", "[20 30]"},
      {"b/2/1", "20"},
      {"#issue", "#issue"},
      {"[1 + 2]", "[1 + 2]"},
      {"1 + 2 * 3", "9"},
      {"2 * 3 + 1", "7"},
      {"2 + 3 * 4", "20"},
      {"10 - 2 - 3", "5"},
      {"negate 4 - 1", "-3"},
      {"absolute -3 + 1", "2"},
      {"1 + absolute -2 * 3", "7"},
      {"a: 1 + 2 a", "3"},
      {"1 + (2 * 3)", "7"},
  });
}

TEST_F(InterpreterTest, FunctionValuesInTheCodeAreCalledUnlessPassive) {
  const Cell code = load("_ 3");
  *block_cell_at(code, 0) = value_of("negate");
  EXPECT_EQ(mold(run_block(code).value), "-3");

  Code passive = code_of(code);
  ASSERT_TRUE(eval_expression(passive, false, true, true).ok());
  EXPECT_EQ(cell_type(*stack_last_value()), Type::action);
  EXPECT_EQ(passive.index, 1u);
  stack_drop(1);
}

TEST_F(InterpreterTest, ErrorsOfTheInterpreterNameTheirArguments) {
  define("f", value_of("negate"));
  expect_errors({
      {"total:", "script/need-value", {"total:"}},
      {"x: :never-set", "script/need-value", {"x:"}},
      {"never-set-2", "script/no-value", {"never-set-2"}},
      {"* 2 3", "script/no-op-arg", {"*"}},
      {"1 + 2 +", "script/no-arg", {"+", "value2"}},
      {"#system-global [x]", "internal/qel-system", {}},
      {"#system [x]", "internal/qel-system", {}},
      {"nope/a", "script/unset-path", {"nope/a", "nope"}},
      {"f/x: 1", "script/invalid-path-set", {"f/x:"}},
      {":f/x", "script/invalid-path-get", {":f/x"}},
      {"b: [1 2] b/:nothing-here", "script/invalid-path", {"b/:nothing-here", ":nothing-here"}},
      {"b/c:", "script/need-value", {"b/c:"}},
  });
}

TEST_F(InterpreterTest, OpValueStandingInABlockIsNotDone) {
  const Cell code = load("1 _ 2");
  *block_cell_at(code, 1) = value_of("+");
  // After a value it is no infix word: the op! starts its own expression.
  EXPECT_ERROR(run_block(code), "internal", "not-done");
}

TEST_F(InterpreterTest, PathsWithoutAHeadWordOrStepsAreRefused) {
  const Cell code = load("a/b");
  Cell& path = *block_cell_at(code, 0);
  *block_cell_at(path, 0) = integer_cell(1);
  EXPECT_ERROR(run_block(code), "script", "word-first");
  block_truncate(path, 0);
  EXPECT_ERROR(run_block(code), "script", "empty-path");
}

TEST_F(InterpreterTest, ABlockClearedByItsOwnFirstExpressionStopsWithThatValue) {
  const Cell code = load("clear-code 99 100");
  define("code", code);
  // clear-code empties the block being evaluated and answers 5.
  define("clear-code", run("func [] [clear code 5]").value);
  EXPECT_EQ(mold(run_block(code).value), "5");
}

TEST_F(InterpreterTest, CellsAppendedDuringEvaluationAreNotEvaluated) {
  const Cell code = load("append code 'never-set 1");
  define("code", code);
  EXPECT_EQ(mold(run_block(code).value), "1");
  EXPECT_EQ(block_total_cells(code), 5);
}

TEST_F(InterpreterTest, ACollectionThatMovesTheBlockBetweenExpressionsChangesNothing) {
  define("recycle-now", run("func [] [collect-now 1]").value);
  // collect-now: a routine that requests a collection, run at the next safe point.
  const uint32_t index = register_routine("collect-now", [](std::span<const RoutineArgument>) {
    collector_request();
    return RoutineResult{};
  });
  define("collect-now", routine_value_build(load("[]"), make_cell(Type::none), index, kReturnNothing, false));
  const uint32_t cycles = collector_cycles();
  EXPECT_EQ(eval_mold("x: [1 2 3] recycle-now y: copy x recycle-now append y 4 recycle-now y"), "[1 2 3 4]");
  EXPECT_GT(collector_cycles(), cycles);
}

TEST_F(InterpreterTest, ABreakCrossingThreeNestedBlocksPopsEachFrameOnce) {
  // A loop frame around three nested block evaluations; the break lands on it.
  const Cell inner = load("1 _ 2");
  const Cell middle = load("[]");
  block_append_copy(middle, make_cell(Type::paren, 0, inner.w2));
  const Cell outer = load("[]");
  block_append_copy(outer, make_cell(Type::paren, 0, middle.w2));
  const uint32_t break_slot = register_native_entries(std::array<NativeEntry, 1>{
      [](const int32_t*) { return unwind_break(false, false); }});
  const Cell breaker = native_value_build(Type::native, break_slot, load("[]"), 0);
  *block_cell_at(inner, 1) = breaker;
  const uint32_t depth = call_stack_depth();
  Cell* top = value_stack.top;
  stack_open_loop_frame(global_word("loop"));
  const Status status = eval_block(outer, true);
  EXPECT_EQ(status.code(), kThrowBreak);
  EXPECT_EQ(call_stack_depth(), depth + 1);  // only the loop frame is left
  stack_close_frame();
  EXPECT_EQ(call_stack_depth(), depth);
  value_stack.top = top;
}

TEST_F(InterpreterTest, TheCurrentExpressionIsEachErrorsNearAndIsRestoredOnEveryExit) {
  const Outcome direct = run("1 + 1 never-set");
  EXPECT_EQ(direct.near.w1, 3u);
  // An error that leaves a nested block through a trap: the outer position is current again.
  define("inner", load("1 never-set"));
  const Cell outer = load("2 trap-inner never-set");
  const uint32_t trap_slot = register_native_entries(std::array<NativeEntry, 1>{[](const int32_t*) {
    trap_errors([] { return eval_block(value_of("inner"), true); });
    return Status{};
  }});
  define("trap-inner", native_value_build(Type::native, trap_slot, load("[]"), 0));
  const Outcome nested = run_block(outer);
  EXPECT_ERROR(nested, "script", "no-value");
  EXPECT_EQ(nested.near.w2, outer.w2);
  EXPECT_EQ(nested.near.w1, 2u);
}

TEST_F(InterpreterTest, RunawayRecursionIsACatchableStackOverflow) {
  const int result = run_on_language_thread(
      [this] {
        std::string deep(100000, '(');
        deep += "1";
        deep += std::string(100000, ')');
        const Outcome parens = run(deep);
        const Outcome recursion = run("r: func [] [r] r");
        const bool next_fine = eval_mold("1 + 1") == "2";
        return (parens.code == kThrowError && error_name(parens.error) == "internal/stack-overflow" ? 1 : 0) +
               (recursion.code == kThrowError && error_name(recursion.error) == "internal/stack-overflow" ? 2 : 0) +
               (next_fine ? 4 : 0);
      },
      64 << 20);
  EXPECT_EQ(result, 7);
}

TEST_F(InterpreterTest, EvalNextAndRangeTakeOneExpression) {
  const Cell code = load("1 + 2 3");
  uint32_t next = 0;
  ASSERT_TRUE(eval_next(code, next).ok());
  EXPECT_EQ(mold(*stack_last_value()), "3");
  EXPECT_EQ(next, 3u);
  stack_drop(1);
  Cell at_tail = code;
  at_tail.w1 = 4;
  ASSERT_TRUE(eval_next(at_tail, next).ok());
  EXPECT_EQ(cell_type(*stack_last_value()), Type::unset);
  EXPECT_EQ(next, 4u);
  stack_drop(1);

  Code range = code_of(code);
  ASSERT_TRUE(eval_range(range, true).ok());
  EXPECT_EQ(mold(*stack_last_value()), "3");
  EXPECT_EQ(range.index, 3u);
  stack_drop(1);
}

TEST_F(InterpreterTest, ReEvaluatingACallChunkAllocatesNoSeries) {
  run("f: func [a b] [a]");
  // The torture mode collects at every call, so the budget check below never applies there and
  // the node count is the same at fifty calls as at a thousand.
  const int calls = collector_torture() ? 50 : 1000;
  std::string chunk;
  for (int i = 0; i < calls; ++i) chunk += "f 1 2 ";
  const Cell code = load(chunk);
  ASSERT_EQ(run_block(code).code, 0u);
  const uint32_t cycles = collector_cycles();
  const uint64_t allocated = memory.allocated_since_cycle;
  const uint64_t nodes = node_count_in_use();
  ASSERT_EQ(run_block(code).code, 0u);
  EXPECT_LE(node_count_in_use(), nodes);
  if (collector_cycles() == cycles) {
    EXPECT_EQ(memory.allocated_since_cycle, allocated);
  }
}

}  // namespace
}  // namespace qel::testing

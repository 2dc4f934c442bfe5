// preprocessor-scan-test.cpp: the pre-scan for directives and the macro expansion limits.
#include "evaluator/preprocessor-scan.h"

#include "tests/evaluator/eval-fixture.h"

namespace qel::testing {
namespace {

class PreprocessorScanTest : public EvalTest {};

TEST_F(PreprocessorScanTest, FindsIssuesAndRoutineAtAnyDepthOfBlocksAndParens) {
  struct Row {
    const char* code;
    bool free;
  } rows[] = {
      {"a 1 \"t\" [b (c d)] x/y", true},
      {"", true},
      {"a [b (c #if)]", false},
      {"#do", false},
      {"x [ROUTINE]", false},
      {"(routine: 1)", true},  // a set-word is no routine
  };
  for (const Row& row : rows) EXPECT_EQ(directive_free(load(row.code)), row.free) << row.code;
  // a block holding itself is walked once
  Cell block = load("a [b]");
  block_append_copy(block, block);
  EXPECT_TRUE(directive_free(block));
  // each scan walks afresh: a block an earlier scan passed over is looked at again
  Cell directive_at_end = load("b #if");
  Cell past_it = directive_at_end;
  past_it.w1 = 2;
  EXPECT_TRUE(directive_free(past_it));
  EXPECT_FALSE(directive_free(directive_at_end));
}

// Which expansion, counting from 1, raises limit-hit; 0 when none of `count` does.
int64_t failing_expansion(const Cell& block, int64_t count, bool same_position, int64_t produced, int64_t depth) {
  reset_macro_expansions();
  int64_t made = 0;
  const Caught caught = trap_errors([&] {
    for (Cell position = block; made < count; ++made) {
      if (!same_position) position.w1 = static_cast<uint32_t>(made % 2);
      count_macro_expansion(position, produced, depth);
    }
  });
  if (caught.taken != kThrowError) return 0;
  EXPECT_EQ(EvalTest::error_name(last_built.id), "internal/limit-hit");
  return made + 1;
}

TEST_F(PreprocessorScanTest, ExpansionsStopAtTheLimits) {
  const Cell block = load("m m");
  // output expanded again where it stands: nesting, stopped past 1,000
  EXPECT_EQ(failing_expansion(block, 5000, true, 1, 0), 1001);
  // expansions that leave nothing never nest, whatever their number below the total
  EXPECT_EQ(failing_expansion(block, 5000, true, 0, 0), 0);
  // moving on between expansions is no nesting
  EXPECT_EQ(failing_expansion(block, 5000, false, 1, 0), 0);
  EXPECT_EQ(failing_expansion(block, 200000, false, 1, 0), 100001);
  EXPECT_EQ(failing_expansion(block, 3, false, 1, 1001), 1);
}

}  // namespace
}  // namespace qel::testing

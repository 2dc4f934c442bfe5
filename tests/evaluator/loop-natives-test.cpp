// loop-natives-test.cpp: the loops, break and continue: results, the codes each loop takes and
// passes on, the hidden cursor of the series loops, and the errors of bad loops.
#include "tests/evaluator/eval-fixture.h"

namespace qel::testing {
namespace {

class LoopTest : public EvalTest {};

TEST_F(LoopTest, CountedAndConditionalLoops) {
  expect_molds({
      {"n: 0 while [4 > n] [n: n + 1] n", "4"},
      {"while [false] [1]", "unset"},
      {"n: 0 while [true] [n: n + 1 if n > 2 [break/return 5]]", "unset"},
      {"n: 0 until [n: n + 2 n > 4] n", "6"},
      {"until [1]", "1"},
      {"n: 0 until [n: n + 1 if 3 > n [continue] true] n", "3"},
      {"c: 0 loop -2.5 [c: c + 1] c", "0"},
      {"loop 0 [1]", "none"},
      {"c: 0 loop 2.9 [c: c + 1]", "2"},
      {"loop 3 [break/return 5]", "5"},
      {"loop 3 [break]", "unset"},
      {"repeat k 3 [s: k] k", "3"},
      {"s", "3"},
      {"k: 7 repeat k 0 [1]", "none"},
      {"k", "7"},
      {"n: 0 repeat i 4 [if odd? i [continue] n: n + i] n", "6"},
      {"n: 0 forever [n: n + 1 if n > 2 [break]] n", "3"},
      {"n: 0 loop 3 [loop 5 [break] n: n + 1] n", "3"},
      {"n: 0 loop 2 [n: n + 1 continue n: 99] n", "2"},
  });
}

TEST_F(LoopTest, ReturnAndErrorsLeaveLoopsForTheirTargets) {
  expect_molds({
      {"f: func [] [repeat i 10 [if i > 3 [return i * 10]] 0] f", "40"},
      {"f: func [] [while [return 7] [1]] f", "7"},
      {"f: func [] [foreach x [1 2] [loop 2 [exit]] 1] f", "unset"},
      {"g: func [] [continue] n: 0 loop 2 [n: n + 1 g n: 99] n", "2"},
  });
  EXPECT_ERROR(run("loop 2 [1 / 0]"), "math", "zero-divide");
  // A loop over a broken body leaves nothing behind: the next loop runs as usual.
  EXPECT_EQ(eval_mold("c: 0 loop 4 [c: c + 1] c"), "4");
}

TEST_F(LoopTest, ForeachWalksEverySeriesWithACursorOfItsOwn) {
  expect_molds({
      {"b: copy [] foreach [x y] [1 2 3 4] [append b y + x] b", "[3 7]"},
      {"b: copy [] foreach [x y] [1 2 3] [append b y] b", "[2 none]"},
      {"foreach x [] [1]", "unset"},
      {"foreach x [1 2] [x]", "2"},
      {"b: copy [] s: next [1 2 3] foreach x s [append b x] index? s", "2"},
      {"b", "[2 3]"},
      {"b: copy [] foreach c \"ab\" [append b c] b", "[#\"a\" #\"b\"]"},
      {"b: copy [] foreach [c d] \"abc\" [append b d] b", "[#\"b\" none]"},
      {"b: copy [] foreach x 'p/q [append b x] b", "[p q]"},
      {"foreach [a: :b] [1 2] [c: a + b] c", "3"},
      {"b: [1 2] foreach x b [append b 3 if x > 2 [break/return x]]", "3"},
  });
}

TEST_F(LoopTest, ForallMovesTheWordAndPutsItBack) {
  expect_molds({
      {"s: [1 2 3] t: 0 forall s [if s/1 > 1 [t: index? s]] t", "3"},
      {"index? s", "1"},
      {"forall s [if s/1 > 1 [break]] index? s", "2"},
      {"s: \"\" forall s [1]", "unset"},
      {"s: tail [1 2] forall s [1]", "unset"},
      {"n: 0 s: \"abc\" forall s [n: n + 1 continue] n", "3"},
  });
}

TEST_F(LoopTest, RemoveEachRemovesTheGroupsJudgedTruthy) {
  expect_molds({
      {"s: [1 2 3 4 5] remove-each v s [odd? v] s", "[2 4]"},
      {"remove-each v next [1 2 3] [odd? v]", "[2]"},
      {"s: [1 2 3 4 5] remove-each [a b] s [a > 2] s", "[1 2]"},
      {"s: [1 2 3] remove-each v s [continue] s", "[1 2 3]"},
      {"s: [1 2 3 4] remove-each v s [if v > 2 [break] true]", "[3 4]"},
      {"s: \"abc\" remove-each c s [true] s", "\"\""},
  });
}

TEST_F(LoopTest, BadLoopsRaise) {
  expect_errors({
      {"foreach [] [1] []", "script/invalid-arg", {"[]"}},
      {"foreach [k 1] [a b] []", "script/invalid-arg", {"1"}},
      {"remove-each [k 1] [a b] []", "script/invalid-arg", {"1"}},
      {"s: \"abc\" forall s [s: 1]", "script/bad-loop-series", {"1"}},
      {"s: [1 2] forall s [s: [1 2]]", "script/bad-loop-series", {"[1 2]"}},
      {"loop 3000000000.0 []", "script/type-limit", {"integer!"}},
      {"repeat i -3000000000.0 []", "script/type-limit", {"integer!"}},
      {"while [()] []", "script/no-return", {}},
      {"until []", "script/no-return", {}},
      {"while [continue] []", "throw/while-cond", {}},
      {"while [break] []", "throw/while-cond", {}},
      {"break", "throw/break", {}},
      {"continue", "throw/continue", {}},
  });
  EXPECT_ERROR(run("n: 5 forall n []"), "script", "expect-arg");
  EXPECT_ERROR(run("repeat 5 3 []"), "script", "expect-arg");
}

}  // namespace
}  // namespace qel::testing

// function-test.cpp: function! values: the makers, calls with refinements and fetch modes, locals,
// exits, spec validation, reflection, mold and compare.
#include "eval-fixture.h"

#include "evaluator/function.h"

namespace qel::testing {
namespace {

class FunctionTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    run("f: func [a b] [a - b]"
        " h: func [a /p b c /q d] [append append append append append append copy [] a b c d p q]"
        " lw: func ['w] [w] gw: func [:v] [v] ol: func ['w [any-type!]] [:w]"
        " two: func [x y] [x] typed: func [n [integer!]] [n]");
  }
};

TEST_F(FunctionTest, CallsTakeTheirArgumentsAndRefinementsInPathOrder) {
  expect_molds({
      {"f 10 f 3 1", "8"},
      {"f 1 + 2 3", "0"},
      {"h/q/p 1 2 3 4", "[1 3 4 2 true true]"},
      {"h 5", "[5 none none none false false]"},
      {"p: 1 h/:p 4 5 6", "[4 5 6 none true false]"},
      {"p: none h/:p 4 5 6", "[4 none none none false false]"},
      {"h/p 1 2 3", "[1 2 3 none true false]"},
      {"lw hello", "hello"},
      {"lw (1 + 2)", "3"},
      {"x: 5 lw :x", "5"},
      {"gw (1 + 2)", "(1 + 2)"},
      {"gw x", "x"},
      {"ol", "unset"},
      {"t: make op! func [a b] [a * 10 + b] 1 t 2", "12"},
      {"t: make op! func [a b] [a * 10 + b] 1 t 2 t 3", "123"},
  });
}

TEST_F(FunctionTest, ReturnExitLocalsAndTheMakers) {
  expect_molds({
      {"g: func [x] [return x * 2 99] g 4", "8"},
      {"g: func [x] [exit 99] g 4", "unset"},
      {"g: func [x] [if-true true [return 1] 2] g 0", "1"},
      {"g: func [x] [if-true false [return 1] 2] g 0", "2"},
      {"v: 1 k: function [] [v: 5 v] k v", "1"},
      {"v: 1 k2: function [/extern v] [v: 5] k2 v", "5"},
      {"hh: has [t] [t: 3 t] hh", "3"},
      {"d: does [7] d", "7"},
      {"reflect function [a] [b: a remove-each [c d] [] [] repeat a 2 []] 'spec", "[a /local b c d]"},
      {"reflect function [a] [foreach x [] [] b: [c: 1] (d: 2)] 'spec", "[a /local x b c d]"},
      {"reflect function [a] [local: 1 e: 2] 'spec", "[a /local e]"},
      {"reflect has [a] [a] 'spec", "[/local a]"},
      {"reflect func [a /b c /local d] [d] 'words", "[a b c local d]"},
      {"reflect func [a] [a + 1] 'body", "[a + 1]"},
      {"reflect make function! [[a] [a]] 'spec", "[a]"},
      {"fact: func [n] [either-true n > 1 [n * fact n - 1] [1]] fact 5", "120"},
  });
}

TEST_F(FunctionTest, ArgumentErrorsNameTheFunctionAndTheParameter) {
  expect_errors({
      {"two 5", "script/no-arg", {"two", "y"}},
      {"typed 'w", "script/expect-arg", {"typed", "word!", "n"}},
      {"h/r 1", "script/no-refine", {"h", "r"}},
      {"h/p/p 1 2 3", "script/dup-refine", {"h/p/p"}},
      {"h/1 2", "script/bad-refine", {"1"}},
      {"exit", "throw/return", {}},
      {"lw", "script/no-arg", {"lw", "w"}},
      {"z: 1 h/:z 1", "script/no-refine", {"h", ":z"}},
      {"h/:undefined-flag 1", "script/no-value", {":undefined-flag"}},
  });
}

TEST_F(FunctionTest, SpecValidationRefusesBadSpecs) {
  expect_molds({
      {"func [a \"doc\" [integer!]] []", "error script/bad-func-def"},
      {"func [/local a /x] []", "error script/bad-func-def"},
      {"func [[trace \"x\"]] []", "error script/bad-func-def"},
      {"func [a return: [integer!] /x] []", "error script/bad-func-def"},
      {"func [return: [integer!] a] []", "error script/bad-func-def"},
      {"func [/local :a] []", "error script/bad-func-def"},
      {"func [a: [integer!]] []", "error script/bad-func-def"},
      {"func [return: [integer!] return: [integer!]] []", "error script/bad-func-def"},
      {"func [/x 5] []", "error script/bad-func-def"},
      {"func [5] []", "error script/bad-func-def"},
      {"make function! [[a]]", "error script/bad-func-def"},
      {"make function! [a [a]]", "error script/bad-func-def"},
      {"make function! [[a] 5]", "error script/bad-func-def"},
      {"func [x /X] []", "error script/dup-vars"},
      {"func [a b a] []", "error script/dup-vars"},
      {"func [a [integer! 5]] []", "error script/invalid-type-spec"},
      {"func [a [never-defined!]] []", "error script/no-value"},
      {"function [/extern 5] []", "error script/bad-func-extern"},
  });
  const Outcome dup = run("func [x /X] []");
  ASSERT_EQ(dup.args.size(), 1u);
  EXPECT_EQ(mold(dup.args[0]), "/X");

  EXPECT_EQ(eval_mold("reflect func [a /x return: [integer!]] [] 'spec"), "[a /x return: [integer!]]");
  EXPECT_EQ(run("func [\"doc\" a [integer!] \"a doc\" /local b] []").code, 0u);
  EXPECT_EQ(run("func [a /x \"doc\" y] []").code, 0u);
}

TEST_F(FunctionTest, AttributeBlocksSetTheTraceFlags) {
  const Cell traced = run("func [[trace]] []").value;
  const Cell untraced = run("func [[no-trace other]] []").value;
  EXPECT_TRUE(traced.header & kFunctionTraceFlag);
  EXPECT_TRUE(untraced.header & kFunctionNoTraceFlag);
}

TEST_F(FunctionTest, LocalsAreCountedFromTheSpec) {
  EXPECT_EQ(spec_count_locals(load("a /local b c"), 0, false), 3);
  EXPECT_EQ(spec_count_locals(load("a"), 0, false), 0);
  EXPECT_EQ(spec_count_locals(load("a"), 0, true), -1);
}

TEST_F(FunctionTest, FormMoldAndCompare) {
  run("g: func [a] [a + 1] g2: :g g3: func [a] [a + 1]");
  EXPECT_EQ(form(value_of("g")), "?function?");
  EXPECT_EQ(mold(value_of("g")), "func [a] [a + 1]");
  EXPECT_TRUE(compare_values(value_of("g"), value_of("g2"), kCompareEqual));
  EXPECT_FALSE(compare_values(value_of("g"), value_of("g3"), kCompareEqual));
  EXPECT_TRUE(compare_values(value_of("g"), value_of("g3"), kCompareNotEqual));
}

TEST_F(FunctionTest, ASpecChangedAfterMakingChangesNoCall) {
  // The function keeps its own copy of the spec: growing the given one adds no argument.
  const Cell spec = load("a");
  define("spec", spec);
  run("g: func spec [a]");
  block_append_copy(spec, global_word("b"));
  EXPECT_EQ(eval_mold("g 1 2"), "2");
  EXPECT_EQ(eval_mold("g 1"), "1");
}

TEST_F(FunctionTest, RecursionSeesItsOwnArguments) {
  EXPECT_EQ(eval_mold("r: func [n acc] [either-true n > 0 [r n - 1 acc + n] [acc]] r 4 0"), "10");
}

}  // namespace
}  // namespace qel::testing

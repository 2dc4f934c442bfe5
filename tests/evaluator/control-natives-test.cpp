// control-natives-test.cpp: the conditionals, throw, catch and try, and do.
#include "eval-fixture.h"

#include "evaluator/error.h"

namespace qel::testing {
namespace {

class ControlNativesTest : public EvalTest {};

TEST_F(ControlNativesTest, ConditionalsTestTruthAsEachOneDoes) {
  expect_molds({
      {"if 1 > 2 [3]", "none"},
      {"if 2 > 1 [3]", "3"},
      {"if () [1]", "1"},
      {"unless false [2]", "2"},
      {"unless () [2]", "none"},
      {"either [] [1] [2]", "1"},
      {"either none [1] [2]", "2"},
      {"any [false none 3 4]", "3"},
      {"any [false none]", "none"},
      {"any []", "none"},
      {"all []", "none"},
      {"all [1 2 1 + 2]", "3"},
      {"all [1 false 3]", "none"},
      {"all [()]", "unset"},
  });
  expect_errors({
      {"either () [1] [2]", "script/no-return", {}},
      {"if true 3", "script/expect-arg", {"if", "integer!", "then-blk"}},
  });
}

TEST_F(ControlNativesTest, SwitchFindsByTypeAndCompareAndCaseRunsBranches) {
  expect_molds({
      {"switch 'b [a [1] b c [2]]", "2"},
      {"switch 2 [1 2 [7]]", "7"},
      {"switch 1 [1.0 [5]]", "none"},
      {"switch [a] [[a] [1]]", "none"},
      {"switch 3 [1 [5]]", "none"},
      {"switch/default 3 [1 [5]] [9]", "9"},
      {"switch/default 'a [b [5] a] [9]", "9"},
      {"case [false [1] none [2] 3 [4]]", "4"},
      {"case [1 2]", "2"},
      {"case [false [1]]", "none"},
      {"case []", "none"},
      {"case [true [1] true [2]]", "1"},
      {"case/all [true [1] false [2]]", "false"},
      {"case/all [true [1] 2 [3] none [4]]", "none"},
      {"n: 0 case/all [true [n: n + 1] true [n: n + 10]] n", "11"},
  });
  expect_errors({
      {"case [none]", "script/need-value", {"case"}},
      {"case [false [1] true]", "script/need-value", {"case"}},
      {"case [() [1]]", "script/no-return", {}},
  });
}

TEST_F(ControlNativesTest, CatchTakesThrowsByNameAndThrowsOnTheOthers) {
  expect_molds({
      {"catch [throw 7 8]", "7"},
      {"catch [1 2]", "2"},
      {"catch [throw/name 1 'a]", "1"},
      {"catch/name [throw/name 'v 'k] 'k", "v"},
      {"catch [catch/name [throw/name 1 'x] 'y]", "1"},
      {"catch/name [throw/name 1 'A] [b a]", "1"},
      {"catch/name [catch/name [throw/name 1 'b] 'a 2] 'b", "1"},
      {"catch [catch/name [throw 3] 'a]", "3"},
      {"f: func [] [throw 5 6] catch [f 7]", "5"},
      {"f: func [] [catch [return 4] 5] f", "4"},
      {"catch [throw ()]", "unset"},
      {"ns: [b a] catch/name [insert ns 5 throw/name 1 'a] ns", "1"},
      {"ns: [b] catch [catch/name [insert ns 5 throw/name 2 'z] ns]", "2"},
  });
  expect_errors({
      {"throw 5", "throw/throw", {"5"}},
      {"catch/name [throw 1] 'a", "throw/throw", {"1"}},
      {"catch/name [] [\"n\"]", "script/invalid-refine-arg", {"name", "[\"n\"]"}},
  });
}

TEST_F(ControlNativesTest, TryMakesErrorsValuesAndWithAllEveryExit) {
  expect_molds({
      {"e: try [1 / 0] e/id", "zero-divide"},
      {"try [1 + 2]", "3"},
      {"try []", "unset"},
      {"e: try/all [throw 4] e/arg1", "4"},
      {"f: func [] [try/all [return 1] 2] f", "2"},
      {"f: func [] [try [return 1] 2] f", "1"},
      {"catch [try [throw 3] 4]", "3"},
      {"e: try/all [exit] e/id", "return"},
      {"e: try [try/all [throw 4]] e/id", "throw"},
  });
  EXPECT_EQ(cell_type(error_field(run("try [1 / 0]").value, ErrorField::stack)), Type::integer);
  EXPECT_EQ(cell_type(error_field(run("try/keep [1 / 0]").value, ErrorField::stack)), Type::block);
}

TEST_F(ControlNativesTest, ATakenThrowLeavesNoMarkForTheNextError) {
  expect_molds({
      {"thrower: func [] [throw 1] catch [thrower] e: try [make error! 2.5] e/where", "make"},
      {"e: try [catch/name [throw/name 1 'a] 'b] e/where", "throw"},
  });
}

TEST_F(ControlNativesTest, DoEvaluatesEachKindOfValue) {
  expect_molds({
      {"do [2 * 5]", "10"},
      {"do/next [4 + 4 9] 'pos", "8"},
      {"pos", "[9]"},
      {"do/next [] 'pos", "unset"},
      {"pos", "[]"},
      {"do \"2 * 6\"", "12"},
      {"do/next \"1 + 2 3\" 'pos", "3"},
      {"pos", "[3]"},
      {"b: [append b 7 1] do b", "1"},
      {"b: [clear b 5] do b", "[]"},
      {"do (1 + 1)", "2"},
      {"do 5", "5"},
      {"x: 3 do 'x", "3"},
      {"d: does [8] do :d", "8"},
      {"b: [10 20] do 'b/2", "20"},
      {"f: func [] [do [return 5] 6] f", "5"},
      {"catch [do [throw 9]]", "9"},
      // a tracer receives unset! results whatever its parameters' types
      {"n: 0 t: func [event code offset value ref frame] [n: n + 1] do/trace [] :t n", "4"},
  });
  expect_errors({
      {"do try [1 / 0]", "math/zero-divide", {}},
      {"do \"1 +\"", "script/no-arg", {"+", "value2"}},
  });
}

}  // namespace
}  // namespace qel::testing

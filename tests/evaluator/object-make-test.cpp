// object-make-test.cpp: objects made from code: every spec kind, self, what a child takes from
// its prototype, class ids, change hooks, setting fields from one value, and conversions.
#include "eval-fixture.h"

#include "datatypes/scalars/integer.h"
#include "evaluator/error.h"
#include "evaluator/object.h"

namespace qel::testing {
namespace {

class ObjectMake : public EvalTest {
 protected:
  // The object a word holds.
  static Cell object_named(std::string_view name) { return value_of(name); }
};

TEST_F(ObjectMake, BlockSpecsAreEvaluatedInTheNewObject) {
  expect_molds({
      {"o: make object! [a: 1 b: add a 1] o/b", "2"},
      {"o: make object! [a: b: 1] reflect o 'body", "[a: 1 b: 1]"},
      // A trailing run of set-words gets none and is never evaluated.
      {"o: make object! [q: r:] reflect o 'body", "[q: none r: none]"},
      {"o: make object! [x: 1 q: r:] reflect o 'body", "[x: 1 q: none r: none]"},
      {"o: make object! [a: 1 me: self] o/me/a", "1"},
      {"o: make object! [] reflect o 'words", "[]"},
      // A spec object is merged: its words added, its values copied.
      {"o: make object! [a: 1] p: make o make object! [b: 2] reflect p 'body", "[a: 1 b: 2]"},
      {"p: make o make object! [a: 5] reflect p 'body", "[a: 5]"},
      {"reflect make make object! [a: 1] [] 'changed", "[]"},
  });
  expect_errors({
      {"make object! 1", "syntax/malconstruct", {"object!", "1"}},
      {"make object! [on-deep-change*: \"x\"]", "script/bad-field-set", {"on-deep-change*", "string!"}},
      {"make object! [a: add none 1]", "script/expect-arg", {"add", "none!", "value1"}},
  });
}

TEST_F(ObjectMake, AChildOwnsTheSeriesAndFunctionsItInherits) {
  expect_molds({
      {"o: make object! [blk: [1] s: \"a\"] p: make o [] append p/blk 2 append p/s \"b\" o/blk", "[1]"},
      {"o/s", "\"a\""},
      {"o: make object! [n: 1 get-n: func [] [n]] p: make o [n: 5] p/get-n", "5"},
      {"o/get-n", "1"},
      // The function's own parameters stay its own.
      {"o: make object! [n: 1 f: func [n] [n]] p: make o [] p/f 7", "7"},
      {"c: copy p c/n: 9 p/n", "1"},
  });
}

TEST_F(ObjectMake, ClassIdsAreSharedUntilFieldsAreAdded) {
  run("o: make object! [a: 1]");
  const int32_t own = integer_value(run("reflect o 'class").value);
  EXPECT_GT(own, 2);
  EXPECT_EQ(integer_value(run("reflect make o [a: 2] 'class").value), own);
  EXPECT_EQ(integer_value(run("reflect make o make object! [a: 2] 'class").value), own);
  EXPECT_GT(integer_value(run("reflect make o [b: 2] 'class").value), own);
  EXPECT_GT(integer_value(run("reflect make object! [a: 1] 'class").value), own);
  EXPECT_EQ(integer_value(run("reflect copy o 'class").value), own);
}

TEST_F(ObjectMake, OnChangeIsToldOfEverySetAfterTheValueIsStored) {
  expect_molds({
      {"cnt: 0 o: make object! [v: 0 bump: func [] [v: add v 1] on-change*: func [w a b] [cnt: add cnt 1]] "
       "o/bump o/bump cnt",
       "2"},
      {"o: make object! [v: 0 log: copy [] on-change*: func [w old new] [append log w append log old append log new]] "
       "o/v: 5 o/log",
       "[v 0 5]"},
      {"put o 'v 6 o/log", "[v 0 5 v 5 6]"},
      {"reflect o 'events?", "true"},
      {"reflect make object! [a: 1] 'events?", "false"},
  });
  // A handler's error travels on once the field is set.
  EXPECT_ERROR(run("o: make object! [a: 1 on-change*: func [w x y] [add none 1]] o/a: 2"), "script", "expect-arg");
  expect_molds({{"o/a", "2"}});
}

TEST_F(ObjectMake, OnDeepChangeIsToldOfChangesInsideOwnedSeries) {
  expect_molds({
      {"o: make object! [b: [] ev: none on-deep-change*: func [owner word target action new index part] "
       "[ev: action]] insert o/b 1 o/ev",
       "inserted"},
      {"append o/b 2 o/ev", "appended"},
      {"reflect o 'owner", "true"},
      {"reflect make object! [b: []] 'owner", "false"},
      // A child's inherited block is its own, owned by the child.
      {"p: make o [] append p/b 3 o/b", "[1 2]"},
  });
}

TEST_F(ObjectMake, SetFromValueByPositionNamesakeOrTheValueItself) {
  run("o: make object! [a: 1 b: 2 c: 3]");
  const Cell o = object_named("o");
  object_set_from_value(o, load("10 20"), false, false, false);
  expect_molds({{"reflect o 'values", "[10 20 none]"}, {"reflect o 'changed", "[a b c]"}});
  const Cell some = load("7 0");
  series_buffer(some.w2)->head_cell()[1] = make_cell(Type::none);
  object_set_from_value(o, some, false, false, true);
  expect_molds({{"reflect o 'values", "[7 20 none]"}});
  object_set_from_value(o, load("x"), false, true, false);
  expect_molds({{"reflect o 'values", "[[x] [x] [x]]"}});
  object_set_from_value(o, integer_cell(4), false, false, false);
  expect_molds({{"reflect o 'values", "[4 4 4]"}});

  // An unset! item is refused before anything is set, unless any is given.
  Cell items = load("1 2");
  series_buffer(items.w2)->head_cell()[1] = make_cell(Type::unset);
  const Caught caught = trap_errors([&]() -> Status {
    object_set_from_value(o, items, false, false, false);
    return {};
  });
  ASSERT_EQ(caught.taken, kThrowError);
  stack_drop(1);
  EXPECT_EQ(error_name(last_built.id), "script/need-value");
  EXPECT_EQ(mold(last_built.args[0]), "b");
  expect_molds({{"reflect o 'values", "[4 4 4]"}});
  object_set_from_value(o, items, true, false, false);
  EXPECT_EQ(cell_type(run("select o 'b").value), Type::unset);

  run("src: make object! [c: 30 z: 0 a: 10]");
  object_set_from_value(o, object_named("src"), false, false, false);
  expect_molds({{"o/a", "10"}, {"o/c", "30"}});
}

TEST_F(ObjectMake, SetFromValueToldEachFieldOnceAndKeepsTheHandler) {
  run("n: 0 o: make object! [a: 1 b: 2 on-change*: func [w x y] [n: add n 1]]");
  object_set_from_value(object_named("o"), load("5 6 7"), false, false, false);
  expect_molds({{"n", "2"}, {"o/a", "5"}, {"o/b", "6"}, {"reflect o 'changed", "[a b on-change*]"}});
  EXPECT_EQ(cell_type(run("select o 'on-change*").value), Type::function);
}

TEST_F(ObjectMake, LiteralCollectingTakesValuesUnevaluated) {
  const Cell o = object_make_empty(4);
  define("lit", o);
  EXPECT_TRUE(object_collect_set_words(o.w1, load("a: yes b: none c: d: 'x e: off f:"), SpecValues::literal));
  expect_molds({{"reflect lit 'body", "[a: true b: none c: 'x d: 'x e: false f: none]"}});
  EXPECT_FALSE(object_collect_set_words(o.w1, load("a: 1"), SpecValues::literal));
}

TEST_F(ObjectMake, BlocksAreMadeFromAnObjectsBody) {
  expect_molds({
      {"o: make object! [a: 1 b: [x]] to block! o", "[a: 1 b: [x]]"},
      {"make block! o", "[a: 1 b: [x]]"},
      {"to paren! o", "(a: 1 b: [x])"},
  });
}

TEST_F(ObjectMake, ErrorsFromAssignmentsNameACatalogEntry) {
  expect_molds({
      {"e: make error! [type: 'script id: 'need-value arg1: 'k] e/code", "301"},
      {"e/arg1", "k"},
  });
  expect_errors({
      {"make error! [type: 'nope id: 'x]", "script/invalid-spec-field", {"type"}},
      {"make error! [type: 'math id: 'nope]", "script/invalid-spec-field", {"id"}},
  });
}

TEST_F(ObjectMake, ExpectArgNamesTheParameterOfTheRunningAction) {
  expect_errors({{"append 1 2", "script/expect-arg", {"append", "integer!", "series"}}});
}

}  // namespace
}  // namespace qel::testing

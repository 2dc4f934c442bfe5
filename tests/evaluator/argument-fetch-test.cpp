// argument-fetch-test.cpp: apply modes, paths with refinements and the path family, the
// description of a spec, and calls from C++ code that cannot answer a Status.
#include "eval-fixture.h"

#include "evaluator/argument-fetch.h"

namespace qel::testing {
namespace {

class ArgumentFetchTest : public EvalTest {
 protected:
  void SetUp() override {
    EvalTest::SetUp();
    run("k: func [a /x b /y c d] [append append append append append append copy [] a x b y c d]");
  }

  // The molded result of calling k with the argument block in an apply mode.
  static std::string apply_k(uint32_t mode, std::string_view arguments, const char* path = nullptr) {
    const Cell block = load(arguments);
    Code code = code_of(block);
    CallPath call{};
    if (path) call = CallPath{*block_cell_at(load(path), 0), 0};
    Cell* top = value_stack.top;
    std::string molded;
    const Caught caught = trap_errors([&]() -> Status {
      QEL_TRY(eval_call_function(value_of("k"), code, true, path ? &call : nullptr, global_word("k"), nullptr, mode, false));
      molded = mold(*stack_last_value());
      return {};
    });
    value_stack.top = top;
    if (caught.taken == kThrowError) return "error " + error_name(last_built.id);
    return molded;
  }
};

TEST_F(ArgumentFetchTest, ApplyModesOnATwoRefinementFunction) {
  struct ApplyRow {
    uint32_t mode;
    const char* arguments;
    const char* molded;
  };
  const ApplyRow rows[] = {
      // all: every parameter in spec order, refinements as logic values, tail-completed
      {kApplyAll, "1 true 2 false 3 4", "[1 true 2 false none none]"},
      {kApplyAll, "1 false 2 true 3 4", "[1 false none true 3 4]"},
      {kApplyAll, "1 true (1 + 1)", "[1 true 2 false none none]"},
      {kApplyAll, "1", "[1 false none false none none]"},
      {kApplyAll, "", "[none false none false none none]"},
      {kApplyAll, "1 2", "error script/expect-arg"},
      // all and safer: one cell each; an inactive refinement's argument is skipped unevaluated
      {kApplyAll | kApplySafer, "1 false (never-set) true 3 4", "[1 false none true 3 4]"},
      // named: refinements named with an expression for their activity, then their arguments
      {kApplyNamed, "1 /y true 3 4", "[1 false none true 3 4]"},
      {kApplyNamed, "1 /y 1 = 1 3 4 /x none 9", "[1 false none true 3 4]"},
      {kApplyNamed, "1 /x", "error script/no-arg"},
      {kApplyNamed, "1 /y true 3 4 /y true 3 4", "error script/dup-refine"},
      {kApplyNamed, "1 y true", "error script/bad-refine"},
      {kApplyNamed, "1 /z true", "error script/no-refine"},
      {kApplyNamed | kApplySafer, "1 /y false (never-set) (never-set)", "[1 false none false none none]"},
  };
  define("=", run("make op! func [a b] [not-greater a b]").value);
  define("not-greater", run("func [a b] [either-true a > b [false] [either-true b > a [false] [true]]]").value);
  for (const ApplyRow& row : rows)
    EXPECT_EQ(apply_k(row.mode, row.arguments), row.molded) << row.mode << ": " << row.arguments;
  // An apply call with a path takes the refinements from the path.
  EXPECT_EQ(apply_k(kApplyAll, "1 2", "k/x"), "[1 true 2 false none none]");
}

TEST_F(ArgumentFetchTest, PathsSelectSetAndCall) {
  define("reduce-pair", run("func [f n] [append append copy [] :f n]").value);
  expect_molds({
      {"b: [10 [20 30]] b/2/1", "20"},
      {"b: [10 [20 30]] n: 2 b/:n", "[20 30]"},
      {"b: [10 [20 30]] b/(1 + 1)/2", "30"},
      {"b: [10 [20 30]] b/2/2: 7 b", "[10 [20 7]]"},
      {"b: [10 [20 30]] b/2/2: 7", "7"},
      {"b: [10 [20 30]] b/3", "none"},
      {"b: [x 1 y 2] b/y", "2"},
      {"b: [x 1 y 2] b/y: 5 b", "[x 1 y 5]"},
      {"o: [f 1] o/f", "1"},
      {"k/y 1 2 3", "[1 false none true 2 3]"},
      {"k/y/x 1 2 3 4", "[1 true 4 true 2 3]"},
      {"b: reduce-pair :k 5 b/1/x 1 2", "[1 true 2 false none none]"},
  });
}

TEST_F(ArgumentFetchTest, DescriptionsFollowTheSpec) {
  const Cell function = run("func [a [integer!] 'b :c /r d return: [integer!] /local e f] []").value;
  const ArgDescription& description = arg_description(function);
  EXPECT_EQ(description.fixed_count, 3u);
  EXPECT_EQ(description.slot_count, 5u);
  EXPECT_EQ(description.local_count, 3u);
  EXPECT_EQ(description.refinement_count, 1u);
  const ArgEntry* entries = description.entries();
  EXPECT_EQ(entries[0].mode, FetchMode::evaluated);
  EXPECT_TRUE(description.accepts(entries[0], Type::integer));
  EXPECT_FALSE(description.accepts(entries[0], Type::float_));
  EXPECT_EQ(entries[1].mode, FetchMode::literal);
  EXPECT_EQ(entries[2].mode, FetchMode::get);
  EXPECT_FALSE(description.accepts(entries[2], Type::unset));
  EXPECT_EQ(entries[3].kind, EntryKind::refinement);
  EXPECT_EQ(entries[4].slot, 4u);
}

// Return types after the mandatory parameters keep the plain fetch, which stops before them;
// with a refinement or a literal parameter, the general route fetches. A native's or an
// action's refinements keep it plain: a call that names none leaves their positions absent.
TEST_F(ArgumentFetchTest, ReturnTypesAfterTheParametersKeepACallPlain) {
  struct Row {
    const char* spec;
    bool plain;
  } rows[] = {
      {"[a b]", true},
      {"[a b return: [integer!]]", true},
      {"[return: [integer!]]", true},
      {"[a /r return: [integer!]]", false},
      {"[a 'b return: [integer!]]", false},
  };
  for (const Row& row : rows) {
    const Cell function = run(std::string("func ") + row.spec + " [none]").value;
    ASSERT_EQ(cell_type(function), Type::function) << row.spec;
    EXPECT_EQ(arg_description(function).plain != 0, row.plain) << row.spec;
  }
  for (const char* name : {"append", "switch", "copy"}) EXPECT_NE(arg_description(value_of(name)).plain, 0u) << name;
  EXPECT_EQ(arg_description(value_of("foreach")).plain, 0u);  // its word is a literal parameter
  expect_molds({{"f: func [a b return: [integer!]] [a - b] f 9 4", "5"},
                {"f: func [a [integer!] return: [integer!]] [a] f 1 + 2", "3"},
                {"b: [1 2 3] reduce [copy b copy/part b 2 append copy b 4 append/only copy [] b]",
                 "[[1 2 3] [1 2] [1 2 3 4] [[1 2 3]]]"},
                {"switch 2 [1 [\"a\"] 2 [\"b\"]]", "\"b\""},
                {"switch/default 3 [1 [\"a\"]] [\"c\"]", "\"c\""},
                {"switch 3 [1 [\"a\"]]", "none"}});
  EXPECT_ERROR(run("append [1]"), "script", "no-arg");
  EXPECT_ERROR(run("copy/part"), "script", "no-arg");
  EXPECT_ERROR(run("f: func [a b return: [integer!]] [a] f 1"), "script", "no-arg");
  EXPECT_ERROR(run("f: func [a [integer!] return: [integer!]] [a] f \"x\""), "script", "expect-arg");
}

TEST_F(ArgumentFetchTest, CallsFromCppPassExitsOnAsExceptions) {
  EXPECT_EQ(mold(call_function_with(run("func [a b] [a - b]").value, std::array{integer_cell(9), integer_cell(4)})), "5");
  EXPECT_EQ(mold(call_function_with(value_of("subtract"), std::array{integer_cell(9), integer_cell(4)})), "5");
  EXPECT_EQ(mold(call_function_with(value_of("-"), std::array{integer_cell(9), integer_cell(4)})), "5");
  EXPECT_EQ(mold(call_function_with(run("func [a] [return a]").value, std::array{integer_cell(3)})), "3");
  // A break from the called function's body has no loop under it in C++: it travels as an
  // exception and becomes a Status again where an action was called.
  const uint32_t break_slot = register_native_entries(std::array<NativeEntry, 1>{
      [](const int32_t*) { return unwind_break(false, false); }});
  define("break-out", native_value_build(Type::native, break_slot, load("[]"), 0));
  const Cell breaker = run("func [a b] [break-out]").value;
  Cell* top = value_stack.top;
  const uint32_t depth = call_stack_depth();
  stack_open_loop_frame(global_word("loop"));
  bool thrown = false;
  try {
    (void)call_function_with(breaker, std::array{integer_cell(1), integer_cell(2)});
  } catch (const NonLocalExit& exit) {
    thrown = exit.code == kThrowBreak;
  }
  EXPECT_TRUE(thrown);
  EXPECT_EQ(call_stack_depth(), depth + 1);
  stack_close_frame();
  value_stack.top = top;
}

TEST_F(ArgumentFetchTest, AnErrorInsideACallbackLeavesBothStacksAsAtTheTry) {
  define("cmp", run("func [a b] [never-set]").value);
  Cell* top = value_stack.top;
  Cell* base = value_stack.base;
  const uint32_t depth = call_stack_depth();
  const Outcome outcome = run("sort/compare [3 1 2] :cmp");
  EXPECT_ERROR(outcome, "script", "no-value");
  EXPECT_EQ(value_stack.top, top);
  EXPECT_EQ(value_stack.base, base);
  EXPECT_EQ(call_stack_depth(), depth);
  EXPECT_EQ(eval_mold("sort/compare [3 1 2] func [a b] [a > b]"), "[3 2 1]");
}

}  // namespace
}  // namespace qel::testing

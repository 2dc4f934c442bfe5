// native-test.cpp: native!, action! and op! values: the start-up's values, make, reflect, form,
// mold and compare, and the entry table.
#include "eval-fixture.h"

#include "evaluator/argument-fetch.h"
#include "evaluator/function.h"
#include "evaluator/native.h"
#include "evaluator/spec-table.h"

namespace qel::testing {
namespace {

class NativeTest : public EvalTest {};

TEST_F(NativeTest, StartUpDefinesNativesWithEntriesActionsOperatorsAndTypesets) {
  for (const char* name : {"func", "function", "does", "has", "exit", "return", "if", "do", "catch", "parse", "call",
                           "browse"})
    EXPECT_EQ(cell_type(value_of(name)), Type::native) << name;
  uint32_t actions = 0;
  for (uint32_t slot = 1; slot <= kActionSlots; ++slot) {
    if (!action_slot_has_word(slot)) continue;
    const Cell value = value_of(action_text::item(action_spec(act_of_slot(slot)).text, 0));
    EXPECT_EQ(cell_type(value), Type::action);
    EXPECT_EQ(value.w1, slot);
    ++actions;
  }
  EXPECT_EQ(actions, 59u);
  for (const char* name : {"+", "-", "*", "/", "%", "**", "and", "or", "xor"})
    EXPECT_EQ(cell_type(value_of(name)), Type::op) << name;
  EXPECT_EQ(mold(value_of("number!")), mold(run("make typeset! [integer! float! percent!]").value));
  EXPECT_EQ(cell_type(value_of("integer!")), Type::datatype);
  EXPECT_EQ(cell_type(value_of("any-type!")), Type::typeset);
}

TEST_F(NativeTest, EveryNativeSpecReads) {
  // Each of the 107 specs reads and describes its parameters (the ones without entries too).
  for (const NativeSpec& spec : kNativeSpecs) {
    const Cell block = spec_block_from_text(spec.spec);
    root_slot_append(block);
    const Cell value = native_value_build(Type::native, 1, block, 0);
    EXPECT_LE(arg_description(value).refinement_count, 10u) << spec.name;
  }
  EXPECT_EQ(arg_description(value_of("func")).fixed_count, 2u);
  EXPECT_EQ(arg_description(value_of("find")).refinement_count, 11u);
}

TEST_F(NativeTest, ReflectFormMoldAndOperators) {
  expect_molds({
      {"reflect :add 'body", "11"},
      {"reflect :func 'body", "14"},
      {"reflect :+ 'body", "11"},
      {"reflect :negate 'spec", "[number [any-type!]]"},
      {"reflect make op! func [a b] [a - b] 'body", "[a - b]"},
      {"tens: make op! func [a b] [a * 10 + b] 1 tens 2", "12"},
      {"make op! func [a 'b] [b] 1", "1"},
      {"7 - 2 * 3", "15"},
      {"7 % 4 + 1", "4"},
      {"2 ** 3", "8"},
      {"true and false", "false"},
      {"true xor false", "true"},
      {"5 or 2", "7"},
      {"d: make native! [[\"doc\" code [block!]] 16] e: d [7] e", "7"},
  });
  EXPECT_EQ(form(value_of("add")), "?action?");
  EXPECT_EQ(form(value_of("func")), "?native?");
  EXPECT_EQ(form(value_of("+")), "?op?");
  EXPECT_EQ(mold(value_of("+")), "make op! [value1 [any-type!] value2 [any-type!]]");
  EXPECT_EQ(mold(run("make op! func [a b] [a]").value), "make op! func [a b] [a]");
  EXPECT_EQ(mold(run("make native! [[body] 16]").value), "make native! [body]");
  EXPECT_ERROR(run("reflect :add 'words"), "internal", "not-done");
}

TEST_F(NativeTest, MakeRefusesSlotsWithoutAnEntryAndLayoutsUnlikeTheCanonicalSpec) {
  expect_molds({
      {"make native! [[] 121]", "error script/bad-make-arg"},
      {"make native! [[] 108]", "error script/bad-make-arg"},
      {"make native! [[] 1]", "error script/bad-make-arg"},
      {"make native! [[] 0]", "error script/bad-make-arg"},
      {"make action! [[value] 7]", "error script/bad-make-arg"},
      {"make action! [[] 63]", "error script/bad-make-arg"},
      {"make native! [[] 16]", "error script/bad-make-arg"},
      {"make native! [[:body] 16]", "error script/bad-make-arg"},
      {"make native! [[body /extra] 16]", "error script/bad-make-arg"},
      {"make native! [[spec body] 15]", "error script/bad-make-arg"},
      {"make native! [[body] 16 1]", "error script/bad-make-arg"},
      {"make native! [16 [body]]", "error script/bad-make-arg"},
      {"make op! func [a b c] [a]", "error script/bad-op-spec"},
      {"make op! func ['a b] [a]", "error script/bad-op-spec"},
      {"make op! func [a] [a]", "error script/bad-op-spec"},
      {"make op! func [a b /x] [a]", "error script/bad-op-spec"},
      {"make op! 5", "error script/invalid-type"},
  });
  // A different spec of the right layout keeps the given spec for reflection.
  EXPECT_EQ(eval_mold("reflect make native! [[spec [block!] body [any-type!] /extern] 15] 'spec"),
            "[spec [block!] body [any-type!] /extern]");
  EXPECT_EQ(eval_mold("a: make action! [[x y] 11] a 1 2"), "3");
}

TEST_F(NativeTest, ValuesOfOneSlotCompareEqual) {
  const Cell made = run("make native! [[body] 16]").value;
  EXPECT_TRUE(compare_values(value_of("does"), made, kCompareEqual));
  EXPECT_FALSE(compare_values(value_of("does"), value_of("func"), kCompareEqual));
  EXPECT_TRUE(compare_values(value_of("does"), value_of("func"), kCompareNotEqual));
  EXPECT_EQ(dispatch_compare(value_of("does"), value_of("func"), kCompareSort), 1);
  EXPECT_FALSE(compare_values(value_of("does"), value_of("add"), kCompareEqual));
}

TEST_F(NativeTest, AnOpOverAFunctionKeepsTheFunction) {
  const Cell function = run("g: func [a b] [a]").value;
  const Cell op = op_make_value(function);
  EXPECT_EQ(cell_type(op), Type::op);
  EXPECT_EQ(static_cast<Type>((op.header >> 16) & 0xFF), Type::function);
  EXPECT_EQ(function_more_cell(function, kMoreOpSelf)->w3, function.w3);
}

}  // namespace
}  // namespace qel::testing

// datatype!, unset!, none!, logic! and the truth tests.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/truth.h"
#include "datatypes/scalars/unset.h"
#include "evaluator/random.h"
#include "runtime/action-lookup.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using UnitTypes = ScalarTest;

int32_t compare(const Cell& a, const Cell& b, int32_t code) {
  return lookup_action_for_value<Act::Compare>(a)(a, b, code);
}

TEST_F(UnitTypes, FormMoldAndMoldAll) {
  struct Row {
    Cell value;
    const char *form, *mold, *all;
  };
  const Row rows[] = {
      {datatype_cell(Type::logic), "logic", "logic!", "#(logic!)"},
      {kUnsetCell, "", "unset", "#(unset)"},
      {kNoneCell, "none", "none", "#(none)"},
      {kTrueCell, "true", "true", "#(true)"},
      {kFalseCell, "false", "false", "#(false)"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(form(row.value), row.form);
    EXPECT_EQ(mold(row.value), row.mold);
    EXPECT_EQ(mold_all(row.value), row.all);
  }
}

TEST_F(UnitTypes, CompareAnswersByTypeAndCode) {
  const Cell other_type = make_cell(Type::integer, 0, 1);
  // datatype!: equality codes only; a value of another type is different, not incomparable.
  EXPECT_EQ(compare(datatype_cell(Type::none), datatype_cell(Type::none), kCompareEqual), 0);
  EXPECT_EQ(compare(datatype_cell(Type::none), datatype_cell(Type::logic), kCompareStrictEqual), 1);
  EXPECT_EQ(compare(datatype_cell(Type::none), other_type, kCompareEqual), 1);
  EXPECT_EQ(compare(datatype_cell(Type::none), datatype_cell(Type::none), kCompareLesser), kNotComparable);
  // unset! and none!: equal to their own kind under the equality and sort codes.
  for (const Cell& unit : {kUnsetCell, kNoneCell}) {
    EXPECT_EQ(compare(unit, unit, kCompareSort), 0);
    EXPECT_EQ(compare(unit, unit, kCompareSame), 0);
    EXPECT_EQ(compare(unit, unit, kCompareGreater), kNotComparable);
    EXPECT_EQ(compare(unit, other_type, kCompareEqual), kNotComparable);
  }
  // logic!: false orders before true; no ordering codes.
  EXPECT_LT(compare(kFalseCell, kTrueCell, kCompareSort), 0);
  EXPECT_NE(compare(kTrueCell, kFalseCell, kCompareEqual), 0);
  EXPECT_EQ(compare(kTrueCell, kTrueCell, kCompareStrictEqual), 0);
  EXPECT_EQ(compare(kTrueCell, kFalseCell, kCompareLesser), kNotComparable);
  EXPECT_EQ(compare(kTrueCell, other_type, kCompareEqual), kNotComparable);
  EXPECT_EQ(error_of([] { compare_values(kTrueCell, kFalseCell, kCompareLesser); }),
            error_id("script", "invalid-compare"));
}

TEST_F(UnitTypes, MakeAndToOfLogic) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    Cell spec;
    bool make, to;
  };
  const Row rows[] = {
      {integer_cell(0), false, true},   {integer_cell(-3), true, true}, {float_cell(0.0), false, true},
      {float_cell(-0.0), false, true},  {float_cell(nan), true, true},  {percent_cell(0.0), false, true},
      {kNoneCell, false, false},        {kFalseCell, false, false},     {kTrueCell, true, true},
      {kUnsetCell, true, true},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(call(Act::Make, datatype_cell(Type::logic), row.spec).w1, row.make ? 1u : 0u);
    EXPECT_EQ(call(Act::To, datatype_cell(Type::logic), row.spec).w1, row.to ? 1u : 0u);
  }
  for (Act act : {Act::Make, Act::To}) {
    EXPECT_EQ(cell_type(call(act, datatype_cell(Type::none), kTrueCell)), Type::none);
    EXPECT_EQ(cell_type(call(act, datatype_cell(Type::unset), kTrueCell)), Type::unset);
  }
}

TEST_F(UnitTypes, LogicBitwiseComplementAndRandom) {
  EXPECT_EQ(call(Act::And, kTrueCell, kFalseCell).w1, 0u);
  EXPECT_EQ(call(Act::Or, kTrueCell, kFalseCell).w1, 1u);
  EXPECT_EQ(call(Act::Xor, kTrueCell, kTrueCell).w1, 0u);
  EXPECT_EQ(call(Act::Complement, kFalseCell).w1, 1u);
  EXPECT_EQ(call_error(Act::And, kTrueCell, integer_cell(1)), error_id("script", "expect-arg"));
  EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[1].w1), Type::integer);
  EXPECT_EQ(stand_in_last_error().args[0].w2, caller_symbol());

  EXPECT_EQ(cell_type(call(Act::Random, {{0}}, make_cell(Type::logic, 42))), Type::unset);  // /seed
  EXPECT_EQ(call(Act::Random, kTrueCell).w1, 0u);  // after seed 42 the first draw is in the lower half
}

TEST_F(UnitTypes, NoneAnswersNoneToTheSeriesActions) {
  EXPECT_EQ(cell_type(call(Act::Find, kNoneCell, integer_cell(1))), Type::none);
  EXPECT_EQ(cell_type(call(Act::Select, kNoneCell, integer_cell(1))), Type::none);
  EXPECT_EQ(cell_type(call(Act::Take, kNoneCell)), Type::none);
  EXPECT_EQ(cell_type(call(Act::Clear, kNoneCell)), Type::none);
  EXPECT_EQ(cell_type(call(Act::Remove, kNoneCell)), Type::none);
  EXPECT_EQ(cell_type(call(Act::LengthQ, kNoneCell)), Type::none);
}

TEST_F(UnitTypes, TruthTests) {
  const Cell name = make_cell(Type::word, 0, 77);
  for (const Cell& value : {kNoneCell, kFalseCell}) EXPECT_FALSE(value_true(value, true, name));
  for (const Cell& value : {kTrueCell, integer_cell(0), kUnsetCell}) EXPECT_TRUE(value_true(value, false, name));
  EXPECT_EQ(error_of([&] { value_true(kUnsetCell, true, name); }), error_id("script", "no-value"));
  EXPECT_EQ(stand_in_last_error().args[0].w2, 77u);

  *value_stack.base = kUnsetCell;
  EXPECT_EQ(error_of([] { condition_true(); }), error_id("script", "no-return"));
  EXPECT_FALSE(result_false());  // unset! counts as true here
  *value_stack.base = kFalseCell;
  EXPECT_FALSE(condition_true());
  EXPECT_TRUE(result_false());

  // The top value: the frame's first cell until something is pushed over it.
  stack_reset_top();
  EXPECT_TRUE(top_false());
  stack_push_value(integer_cell(0));
  EXPECT_TRUE(top_true());
  stack_push_value(kNoneCell);
  EXPECT_TRUE(top_false());
}

}  // namespace
}  // namespace qel

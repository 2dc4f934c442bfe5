// integer!: the arithmetic core at the 32-bit edges, the actions with their mixed operands,
// power, round with its refinements, conversions, random, form and compare.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <optional>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "runtime/action-lookup.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using Integers = ScalarTest;

const Cell kBlockValue = make_cell(Type::block, 0, 1);

TEST_F(Integers, MathOpAtTheEdgesWithAndWithoutAResultCell) {
  struct Row {
    int32_t left, right, op;
    Cell with_cell;   // the result cell's value
    int32_t answer;   // the answered 32-bit result (wrapped or truncated)
  };
  const Row rows[] = {
      {INT32_MAX, 1, kOpAdd, float_cell(2147483648.0), INT32_MIN},
      {INT32_MIN, -1, kOpAdd, float_cell(-2147483649.0), INT32_MAX},
      {INT32_MAX, -1, kOpAdd, integer_cell(INT32_MAX - 1), INT32_MAX - 1},
      {INT32_MIN, 1, kOpSubtract, float_cell(-2147483649.0), INT32_MAX},
      {0, INT32_MIN, kOpSubtract, float_cell(2147483648.0), INT32_MIN},
      {-1, INT32_MAX, kOpSubtract, integer_cell(INT32_MIN), INT32_MIN},
      {65536, 65536, kOpMultiply, float_cell(4294967296.0), 0},
      {INT32_MIN, -1, kOpMultiply, float_cell(2147483648.0), INT32_MIN},
      {46341, -46340, kOpMultiply, integer_cell(-2147441940), -2147441940},
      {7, 2, kOpDivide, float_cell(3.5), 3},
      {-7, 2, kOpDivide, float_cell(-3.5), -3},
      {6, -2, kOpDivide, integer_cell(-3), -3},
      {INT32_MIN, 1, kOpDivide, integer_cell(INT32_MIN), INT32_MIN},
      {INT32_MIN, 2, kOpRemainder, integer_cell(0), 0},
      {-7, 2, kOpRemainder, integer_cell(-1), -1},
      {INT32_MAX, -2, kOpRemainder, integer_cell(1), 1},
      {INT32_MIN, 1, kOpOr, integer_cell(INT32_MIN + 1), INT32_MIN + 1},
      {-1, INT32_MAX, kOpAnd, integer_cell(INT32_MAX), INT32_MAX},
      {INT32_MIN, -1, kOpXor, integer_cell(INT32_MAX), INT32_MAX},
  };
  for (const Row& row : rows) {
    Cell result = make_cell(Type::none);
    EXPECT_EQ(integer_math_op(row.left, row.right, row.op, &result), row.answer) << row.left << " op " << row.op;
    EXPECT_TRUE(same_value(result, row.with_cell)) << row.left << " op " << row.op << " " << row.right;
    EXPECT_EQ(integer_math_op(row.left, row.right, row.op, nullptr), row.answer);
  }
}

TEST_F(Integers, MathOpRefusesZeroDivisorsAndTheOneQuotientOutOfRange) {
  struct Row {
    int32_t left, right, op;
    ErrorId error;
  };
  const Row rows[] = {
      {5, 0, kOpDivide, error_id("math", "zero-divide")},
      {5, 0, kOpRemainder, error_id("math", "zero-divide")},
      {INT32_MIN, -1, kOpDivide, error_id("math", "overflow")},
      {INT32_MIN, -1, kOpRemainder, error_id("math", "overflow")},
  };
  for (const Row& row : rows) {
    Cell result = integer_cell(9);
    EXPECT_EQ(error_of([&] { integer_math_op(row.left, row.right, row.op, &result); }), row.error);
    EXPECT_TRUE(same_value(result, integer_cell(9)));  // nothing written
  }
}

// The shift core the shift native and the shift operators share: counts past 31 bits and
// negative counts answered without shifting; left and logical shifts never sign-extend.
TEST(IntegerShift, CountsAtAndPastTheWordWidth) {
  struct Row {
    int32_t data, bits;
    bool left, logical;
    int32_t shifted;
  };
  constexpr Row rows[] = {
      {1, 31, true, false, INT_MIN},       {1, 32, true, false, 0},          {-1, 31, true, false, INT_MIN},
      {3, 4, true, true, 48},              {-1, 31, false, true, 1},         {-1, 32, false, true, 0},
      {INT_MIN, 31, false, true, 1},       {-8, 28, false, true, 15},        {-8, 1, false, false, -4},
      {-1, 40, false, false, -1},          {5, 40, false, false, 0},         {INT_MIN, 31, false, false, -1},
      {5, -3, false, false, 5},            {5, -3, true, false, 5},          {-16, INT_MIN, false, true, -16},
      {INT_MAX, 0, false, false, INT_MAX},
  };
  for (const Row& row : rows)
    EXPECT_EQ(integer_shift(row.data, row.bits, row.left, row.logical), row.shifted)
        << row.data << " by " << row.bits << (row.left ? " left" : "") << (row.logical ? " logical" : "");
}

TEST(IntegersDeathTest, AnUnknownOperationEndsWithRuntimeError101) {
  EXPECT_EXIT(integer_math_op(1, 2, 8, nullptr), ::testing::ExitedWithCode(101), "101");
}

TEST_F(Integers, ArithmeticActionsAndTheirMixedOperands) {
  struct Row {
    Act act;
    Cell left, right, want;
  };
  const Row rows[] = {
      {Act::Add, integer_cell(2147483647), integer_cell(2147483647), float_cell(4294967294.0)},
      {Act::Multiply, integer_cell(46341), integer_cell(46341), float_cell(2147488281.0)},
      {Act::Divide, integer_cell(9), integer_cell(4), float_cell(2.25)},
      {Act::Divide, integer_cell(-9), integer_cell(3), integer_cell(-3)},
      {Act::Remainder, integer_cell(-7), integer_cell(2), integer_cell(-1)},
      {Act::Subtract, integer_cell(INT32_MIN), integer_cell(1), float_cell(-2147483649.0)},
      {Act::And, integer_cell(12), integer_cell(10), integer_cell(8)},
      {Act::Or, integer_cell(12), integer_cell(10), integer_cell(14)},
      {Act::Xor, integer_cell(12), integer_cell(10), integer_cell(6)},
      {Act::Add, integer_cell(5), char_cell('a'), integer_cell(102)},
      {Act::Add, integer_cell(1), float_cell(0.5), float_cell(1.5)},
      {Act::Subtract, integer_cell(1), percent_cell(0.5), float_cell(0.5)},
      {Act::Multiply, integer_cell(3), percent_cell(0.1), float_cell(3 * 0.1)},
      {Act::Divide, integer_cell(1), float_cell(0.0), float_cell(std::numeric_limits<double>::infinity())},
  };
  for (const Row& row : rows) EXPECT_TRUE(same_value(call(row.act, row.left, row.right), row.want));
}

TEST_F(Integers, PowerBySquaringFallsBackToFloat) {
  struct Row {
    int32_t base;
    Cell exponent, want;
  };
  const Row rows[] = {
      {3, integer_cell(19), integer_cell(1162261467)},
      {3, integer_cell(20), float_cell(3486784401.0)},
      {2, integer_cell(30), integer_cell(1073741824)},
      {2, integer_cell(31), float_cell(2147483648.0)},
      {-2, integer_cell(31), integer_cell(INT32_MIN)},
      {2, integer_cell(-1), float_cell(0.5)},
      {0, integer_cell(0), integer_cell(1)},
      {-1, integer_cell(INT32_MAX), integer_cell(-1)},
      {4, float_cell(0.5), float_cell(2.0)},
  };
  for (const Row& row : rows) EXPECT_TRUE(same_value(call(Act::Power, integer_cell(row.base), row.exponent), row.want));
  EXPECT_EQ(call_error(Act::Power, integer_cell(2), make_cell(Type::none)), error_id("script", "expect-arg"));
  EXPECT_EQ(call_error(Act::Power, integer_cell(2), percent_cell(0.5)), error_id("script", "expect-arg"));
}

TEST_F(Integers, ErrorsOfTheActions) {
  struct Row {
    Act act;
    Cell left;
    std::optional<Cell> right;
    ErrorId error;
  };
  const Row rows[] = {
      {Act::Divide, integer_cell(5), integer_cell(0), error_id("math", "zero-divide")},
      {Act::Remainder, integer_cell(5), integer_cell(0), error_id("math", "zero-divide")},
      {Act::Divide, integer_cell(INT32_MIN), integer_cell(-1), error_id("math", "overflow")},
      {Act::Negate, integer_cell(INT32_MIN), std::nullopt, error_id("math", "overflow")},
      {Act::Absolute, integer_cell(INT32_MIN), std::nullopt, error_id("math", "overflow")},
      {Act::Add, integer_cell(1), kBlockValue, error_id("script", "invalid-type")},
      {Act::Multiply, integer_cell(1), make_cell(Type::none), error_id("script", "invalid-type")},
      {Act::And, integer_cell(12), float_cell(1.5), error_id("script", "cannot-use")},
  };
  for (const Row& row : rows) {
    ErrorId error = row.right ? call_error(row.act, row.left, *row.right) : call_error(row.act, row.left);
    EXPECT_EQ(error, row.error) << slot_number(row.act);
  }
}

TEST_F(Integers, RoundWithItsRefinements) {
  struct Row {
    int32_t value;
    Cell scale;
    std::optional<RoundRefinement> refinement;
    Cell want;
  };
  const Row rows[] = {
      {15, integer_cell(10), {}, integer_cell(20)},
      {-15, integer_cell(10), {}, integer_cell(-20)},
      {-15, integer_cell(10), kHalfCeiling, integer_cell(-10)},
      {15, integer_cell(10), kHalfCeiling, integer_cell(20)},
      {25, integer_cell(10), kEven, integer_cell(20)},
      {35, integer_cell(10), kEven, integer_cell(40)},
      {45, integer_cell(10), kEven, integer_cell(40)},
      {25, integer_cell(10), kHalfDown, integer_cell(20)},
      {-11, integer_cell(10), kFloor, integer_cell(-20)},
      {11, integer_cell(10), kFloor, integer_cell(10)},
      {-17, integer_cell(5), kCeiling, integer_cell(-15)},
      {17, integer_cell(5), kCeiling, integer_cell(20)},
      {-17, integer_cell(5), kDown, integer_cell(-15)},
      {17, integer_cell(5), {}, integer_cell(15)},
      {5, integer_cell(0), {}, integer_cell(5)},
      {5, integer_cell(-2), {}, integer_cell(6)},
      {INT32_MIN, integer_cell(10), kCeiling, integer_cell(-2147483640)},
      {INT32_MIN, integer_cell(2), {}, integer_cell(INT32_MIN)},
      {INT32_MAX, integer_cell(10), kFloor, integer_cell(2147483640)},
      {INT32_MAX, integer_cell(10), kDown, integer_cell(2147483640)},
      {7, float_cell(2.5), {}, float_cell(7.5)},
      {7, percent_cell(0.5), {}, percent_cell(7.0)},
  };
  for (const Row& row : rows) {
    EXPECT_TRUE(same_value(round(integer_cell(row.value), row.scale, row.refinement), row.want))
        << row.value << " refinement " << row.refinement.value_or(RoundRefinement{});
  }
  EXPECT_TRUE(same_value(round(integer_cell(-7), {}), integer_cell(-7)));
}

TEST_F(Integers, RoundRaisesOverflowOnlyWhenTheChosenResultLeavesTheRange) {
  struct Row {
    int32_t value, scale;
    std::optional<RoundRefinement> refinement;
  };
  const Row rows[] = {
      {2147483645, 10, {}},
      {INT32_MIN, 10, {}},
      {INT32_MAX, 10, kCeiling},
      {INT32_MIN, 10, kFloor},
      {5, INT32_MIN, {}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(round_error(integer_cell(row.value), integer_cell(row.scale), row.refinement), error_id("math", "overflow"))
        << row.value << " " << row.scale;
  }
}

TEST_F(Integers, MakeAndTo) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    Act act;
    Cell spec;
    std::optional<Cell> want;  // empty: the error
    ErrorId error;
  };
  const Row rows[] = {
      {Act::To, float_cell(2.9), integer_cell(2), {}},
      {Act::To, float_cell(-2.9), integer_cell(-2), {}},
      {Act::To, float_cell(-7.99), integer_cell(-7), {}},
      {Act::To, float_cell(-2147483648.0), integer_cell(INT32_MIN), {}},
      {Act::To, percent_cell(1.5), integer_cell(1), {}},
      {Act::To, char_cell(97), integer_cell(97), {}},
      {Act::To, integer_cell(-4), integer_cell(-4), {}},
      {Act::Make, make_cell(Type::logic, 1), integer_cell(1), {}},
      {Act::Make, make_cell(Type::logic, 0), integer_cell(0), {}},
      {Act::Make, float_cell(3.7), integer_cell(3), {}},
      {Act::To, float_cell(2147483648.0), {}, error_id("script", "type-limit")},
      {Act::To, float_cell(2147483647.5), {}, error_id("script", "type-limit")},
      {Act::To, float_cell(-2147483648.5), {}, error_id("script", "type-limit")},
      {Act::To, float_cell(nan), {}, error_id("script", "type-limit")},
      {Act::To, float_cell(1e10), {}, error_id("script", "type-limit")},
      {Act::To, make_cell(Type::logic, 1), {}, error_id("script", "bad-to-arg")},
      {Act::Make, make_cell(Type::none), {}, error_id("script", "bad-to-arg")},
  };
  for (const Row& row : rows) {
    if (row.want) {
      EXPECT_TRUE(same_value(call(row.act, datatype_cell(Type::integer), row.spec), *row.want));
    } else {
      EXPECT_EQ(call_error(row.act, datatype_cell(Type::integer), row.spec), row.error);
      EXPECT_EQ(stand_in_last_error().args[0].w1, type_index(Type::integer));  // names integer!
    }
  }
}

TEST_F(Integers, RandomFollowsTheSeed) {
  EXPECT_EQ(cell_type(call(Act::Random, {{0}}, integer_cell(42))), Type::unset);
  for (int32_t want : {8, 26, 47}) EXPECT_TRUE(same_value(call(Act::Random, integer_cell(100)), integer_cell(want)));
  EXPECT_TRUE(same_value(call(Act::Random, integer_cell(-1)), integer_cell(-1)));
  EXPECT_TRUE(same_value(call(Act::Random, integer_cell(0)), integer_cell(0)));
  int32_t secure = integer_value(call(Act::Random, {{1}}, integer_cell(6)));
  EXPECT_GE(secure, 1);
  EXPECT_LE(secure, 6);
}

TEST_F(Integers, FormMoldAndTheOtherActions) {
  for (int32_t value : {0, 7, -1, INT32_MAX, INT32_MIN}) {
    EXPECT_EQ(form(integer_cell(value)), std::to_string(value));
    EXPECT_EQ(mold(integer_cell(value)), std::to_string(value));
    EXPECT_EQ(integer_form_decimal(value).c_str(), std::to_string(value));
  }
  EXPECT_TRUE(same_value(call(Act::Complement, integer_cell(0)), integer_cell(-1)));
  EXPECT_TRUE(same_value(call(Act::Negate, integer_cell(INT32_MAX)), integer_cell(-INT32_MAX)));
  EXPECT_TRUE(same_value(call(Act::Absolute, integer_cell(-5)), integer_cell(5)));
  EXPECT_EQ(call(Act::EvenQ, integer_cell(-4)).w1, 1u);
  EXPECT_EQ(call(Act::OddQ, integer_cell(INT32_MIN)).w1, 0u);
  EXPECT_EQ(call(Act::OddQ, integer_cell(-3)).w1, 1u);
}

TEST_F(Integers, CompareByValueAcrossNumbers) {
  auto compare = [](const Cell& a, const Cell& b, int32_t code) {
    return lookup_action_for_value<Act::Compare>(a)(a, b, code);
  };
  EXPECT_EQ(compare(integer_cell(65), char_cell(65), kCompareEqual), 0);
  EXPECT_EQ(compare(integer_cell(65), char_cell(65), kCompareStrictEqual), 1);
  EXPECT_EQ(compare(integer_cell(1), float_cell(1.0), kCompareEqual), 0);
  EXPECT_EQ(compare(integer_cell(1), float_cell(1.0), kCompareFind), 1);
  EXPECT_EQ(compare(integer_cell(1), float_cell(2.5), kCompareLesser), -1);
  EXPECT_EQ(compare(integer_cell(INT32_MIN), integer_cell(INT32_MAX), kCompareSort), -1);
  EXPECT_EQ(compare(integer_cell(1), make_cell(Type::none), kCompareEqual), kNotComparable);
}

}  // namespace
}  // namespace qel

namespace qel {
namespace {

// Text becomes the number it spells from its index on; what does not scan is bad-to-arg.
TEST_F(Integers, IntegerAndFloatFromText) {
  auto text = [](std::string_view utf8, unsigned unit = 1) {
    NodeId node = new_text_series(1, 1);
    string_append_utf8(node, utf8);
    string_widen_to(node, unit);
    return string_value(node);
  };
  EXPECT_TRUE(same_value(call(Act::To, datatype_cell(Type::integer), text("+12'345")), integer_cell(12345)));
  EXPECT_TRUE(same_value(call(Act::To, datatype_cell(Type::integer), text("-2147483648", 4)), integer_cell(INT32_MIN)));
  EXPECT_TRUE(same_value(call(Act::To, datatype_cell(Type::float_), text("3.14159265358979323846264338327")),
                         float_cell(3.141592653589793)));
  EXPECT_TRUE(same_value(call(Act::Make, datatype_cell(Type::float_), text("2,5", 2)), float_cell(2.5)));
  for (const char* bad : {"", "-", "'", "-2147483649", "12a"})
    EXPECT_EQ(call_error(Act::To, datatype_cell(Type::integer), text(bad)), error_id("script", "bad-to-arg")) << bad;
  for (const char* bad : {"", "1\u0130", "1.5e", "x"})
    EXPECT_EQ(call_error(Act::To, datatype_cell(Type::float_), text(bad)), error_id("script", "bad-to-arg")) << bad;
}

}  // namespace
}  // namespace qel

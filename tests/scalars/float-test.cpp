// float! and percent!: formed text by mode, the double routines, arithmetic with its result
// types, power, round, compare, conversions, parity, random, form and mold.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/math-ops.h"
#include "runtime/action-lookup.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

class Floats : public ScalarTest {
 protected:
  void TearDown() override {
    set_float_pretty_print(true);
    ScalarTest::TearDown();
  }
};

std::string text(double value, FloatTextMode mode) {
  FloatTextBuffer buffer;
  return std::string(float_to_text(value, mode, buffer));
}

// A double's text in a mode with the pretty flag on and off.
struct TextRow {
  double value;
  FloatTextMode mode;
  const char *pretty, *plain;
};

void expect_texts(std::span<const TextRow> rows) {
  for (const TextRow& row : rows) {
    set_float_pretty_print(true);
    EXPECT_EQ(text(row.value, row.mode), row.pretty) << row.value << " mode " << static_cast<int>(row.mode);
    set_float_pretty_print(false);
    EXPECT_EQ(text(row.value, row.mode), row.plain) << row.value << " mode " << static_cast<int>(row.mode);
  }
}

TEST_F(Floats, TextInEveryModeWithPrettyOnAndOff) {
  using enum FloatTextMode;
  const TextRow rows[] = {
      {0.1 + 0.2, float_form, "0.3", "0.3"},
      {0.1 + 0.7, float_form, "0.8", "0.7999999999999999"},
      {0.1 + 0.2 + 0.3, float_form, "0.6", "0.6000000000000001"},
      {-(0.1 + 0.7), float_form, "-0.8", "-0.7999999999999999"},
      {1e20, float_form, "1.0e20", "1.0e20"},
      {1e-5, float_form, "1.0e-5", "1.0e-5"},
      {100.0, float_form, "100.0", "100.0"},
      {1.5e300, float_form, "1.5e300", "1.5e300"},
      {2.5e-7, float_form, "2.5e-7", "2.5e-7"},
      {12345678901234567.0, float_form, "1.234567890123457e16", "1.234567890123457e16"},
      {1e15, float_form, "1000000000000000.0", "1000000000000000.0"},
      {1e16, float_form, "1.0e16", "1.0e16"},
      {3e-17, float_form, "3.0e-17", "3.0e-17"},
      {-0.0, float_form, "0.0", "-0.0"},
      {std::sqrt(2.0), float_form, "1.414213562373095", "1.414213562373095"},
      {1125899906842624.5, float_form, "1125899906842624.0", "1125899906842624.0"},
      {-kInf, float_form, "-1.#INF", "-1.#INF"},
      {kInf, percent_form, "1.#INF", "1.#INF"},
      {kNaN, float32, "1.#NaN", "1.#NaN"},
      {static_cast<double>(0.1f), float32, "0.1", "0.1"},
      {123456789.0, float32, "1.234568e8", "1.234568e8"},
      {3.0, float32, "3.0", "3.0"},
      {1e-20, float32, "1.0e-20", "1.0e-20"},
      {12.5, float32_percent, "12.5%", "12.5%"},
      {3.0, float32_percent, "3%", "3%"},
      {1e-20, float32_percent, "1e-20%", "1e-20%"},
      {12.5, percent_form, "12.5%", "12.5%"},
      {0.0, percent_form, "0%", "0%"},
      {33.333, percent_form, "33.333%", "33.333%"},
      {1e20, percent_form, "1e20%", "1e20%"},
      {1.5, time_seconds, "1.5", "1.5"},
      {2.0, time_seconds, "2", "2"},
      {12.3456789, time_seconds, "12.3457", "12.3457"},
      {1e-7, time_seconds, "0.0000001", "0.0000001"},
      {0.0, time_seconds, "0.0", "0"},
      {2.0, float32_bare, "2", "2"},
      {0.0, float32_bare, "0", "0"},
      {1e10, float32_bare, "1e10", "1e10"},
      {0.25, float32_bare, "0.25", "0.25"},
  };
  expect_texts(rows);
}

// Tiny, huge and boundary magnitudes of both signs keep their digits in the scientific layout
// (none forms as zero), pretty or not.
TEST_F(Floats, TinyAndHugeValuesKeepTheirDigits) {
  using enum FloatTextMode;
  const TextRow rows[] = {
      {1e-20, float_form, "1.0e-20", "9.999999999999999e-21"},
      {-1e-20, float_form, "-1.0e-20", "-9.999999999999999e-21"},
      {5e-25, float_form, "5.0e-25", "5.0e-25"},
      {1e-300, float_form, "1.0e-300", "1.0e-300"},
      {4.9406564584124654e-324, float_form, "4.940656458412465e-324", "4.940656458412465e-324"},
      {-2.2250738585072014e-308, float_form, "-2.2250738585072e-308", "-2.225073858507201e-308"},
      {2.220446049250313e-16, float_form, "2.220446049250313e-16", "2.220446049250313e-16"},
      {-2.2e-16, float_form, "-2.2e-16", "-2.2e-16"},
      {1e-6, float_form, "1.0e-6", "1.0e-6"},
      {-1e-7, float_form, "-1.0e-7", "-1.0e-7"},
      {0.0001, float_form, "0.0001", "0.0001"},
      {1.7976931348623157e308, float_form, "1.797693134862316e308", "1.797693134862316e308"},
      {-1e300, float_form, "-1.0e300", "-1.0e300"},
      {1e-20, percent_form, "1e-20%", "1e-20%"},
      {-3e-17, float32_bare, "-3e-17", "-3e-17"},
      {0.0, float_form, "0.0", "0.0"},
      {1e-20, time_seconds, "0.0", "1e-20"},
  };
  expect_texts(rows);
}

// The double n steps above x.
double steps_above(double x, int n) {
  while (n-- > 0) x = std::nextafter(x, kInf);
  return x;
}

TEST_F(Floats, AlmostEqualWithinTenUnitsInTheLastPlace) {
  struct Row {
    double a, b;
    bool equal;
  };
  const Row rows[] = {
      {1.0, steps_above(1.0, 10), true},
      {1.0, steps_above(1.0, 11), false},
      {1e300, steps_above(1e300, 10), true},
      {1e300, steps_above(1e300, 11), false},
      {-1e300, -steps_above(1e300, 10), true},
      {-5e-324, 5e-324, true},
      {-1e-300, 1e-300, true},
      {-0.0, 0.0, true},
      {1.0, 1.0000000000000009, true},
      {1.0, 1.000000000000003, false},
      {0.1 + 0.2, 0.3, true},
      {kInf, kInf, true},
      {kNaN, kNaN, false},
      {kNaN, 1.0, false},
      {1.0, kNaN, false},
  };
  for (const Row& row : rows) EXPECT_EQ(float_almost_equal(row.a, row.b), row.equal) << row.a << " " << row.b;

  const float big = std::numeric_limits<float>::max();
  EXPECT_TRUE(float32_almost_equal(1.0f, std::nextafter(1.0f, 2.0f)));
  EXPECT_FALSE(float32_almost_equal(1.0f, 1.00001f));
  EXPECT_TRUE(float32_almost_equal(std::numeric_limits<float>::infinity(), big));
  EXPECT_FALSE(float32_almost_equal(-big, big));
  EXPECT_FALSE(float32_almost_equal(std::nanf(""), std::nanf("")));
}

TEST_F(Floats, RoundToIntTakesTheNearestWithHalvesUp) {
  struct Row {
    double value;
    int32_t want;
  };
  const Row rows[] = {
      {2.5, 3}, {-2.5, -2}, {-1.7, -2}, {2.4, 2}, {-0.5, 0}, {-0.5000000000000001, -1},
      {0.49999999999999994, 0}, {-0.49999999999999994, 0}, {kNaN, 0}, {1e10, INT32_MAX},
      {-1e10, INT32_MIN}, {2147483647.4, INT32_MAX}, {-2147483648.6, INT32_MIN}, {-kInf, INT32_MIN},
  };
  for (const Row& row : rows) EXPECT_EQ(float_round_to_int(row.value), row.want) << row.value;
}

TEST_F(Floats, ArithmeticAndItsResultTypes) {
  struct Row {
    Act act;
    Cell left, right, want;
  };
  const Row rows[] = {
      {Act::Add, float_cell(0.1), float_cell(0.2), float_cell(0.1 + 0.2)},
      {Act::Divide, float_cell(-1.0), float_cell(0.0), float_cell(-kInf)},
      {Act::Remainder, float_cell(-7.5), integer_cell(2), float_cell(-1.5)},
      {Act::Remainder, float_cell(5.5), float_cell(kInf), float_cell(5.5)},
      {Act::Add, float_cell(1.0), char_cell('a'), float_cell(98.0)},
      {Act::Add, percent_cell(0.1), percent_cell(0.05), percent_cell(0.1 + 0.05)},
      {Act::Divide, percent_cell(0.5), integer_cell(2), percent_cell(0.25)},
      {Act::Multiply, percent_cell(0.1), integer_cell(3), percent_cell(0.1 * 3)},
      {Act::Multiply, percent_cell(0.1), percent_cell(0.1), percent_cell(0.1 * 0.1)},
      {Act::Multiply, float_cell(2.0), percent_cell(0.1), float_cell(0.2)},
      {Act::Subtract, float_cell(1.0), float_cell(1.0), float_cell(0.0)},
  };
  for (const Row& row : rows) EXPECT_TRUE(same_value(call(row.act, row.left, row.right), row.want));
  // NaN has many bit patterns: the remainders that give one.
  for (auto [left, right] : {std::pair{kInf, 2.0}, {5.5, kNaN}, {kInf, kInf}, {1.0, 0.0}})
    EXPECT_TRUE(std::isnan(float_math_op(left, right, kOpRemainder))) << left << " " << right;
  EXPECT_TRUE(std::isnan(float_value(call(Act::Divide, float_cell(0.0), integer_cell(0)))));
}

TEST_F(Floats, ArithmeticErrors) {
  EXPECT_EQ(call_error(Act::Add, percent_cell(0.1), char_cell('a')), error_id("script", "invalid-type"));
  EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[0].w1), Type::char_);
  EXPECT_EQ(call_error(Act::Add, float_cell(1.0), make_cell(Type::block, 0, 1)), error_id("script", "invalid-type"));
  EXPECT_EQ(error_of([] { float_math_op(1.0, 2.0, kOpOr); }), error_id("script", "cannot-use"));
  EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[1].w1), Type::float_);
  EXPECT_EQ(call_error(Act::Power, float_cell(2.0), make_cell(Type::none)), error_id("script", "expect-arg"));
}

TEST_F(Floats, Power) {
  EXPECT_TRUE(same_value(call(Act::Power, float_cell(2.0), float_cell(0.5)), float_cell(std::sqrt(2.0))));
  EXPECT_EQ(form(call(Act::Power, float_cell(2.0), float_cell(0.5))), "1.414213562373095");
  EXPECT_TRUE(same_value(call(Act::Power, float_cell(2.0), integer_cell(-2)), float_cell(0.25)));
  EXPECT_TRUE(same_value(call(Act::Power, percent_cell(0.5), integer_cell(2)), percent_cell(0.25)));
}

TEST_F(Floats, RoundWithItsRefinementsAndScales) {
  struct Row {
    Cell value;
    std::optional<Cell> scale;
    std::optional<RoundRefinement> refinement;
    Cell want;
  };
  const Row rows[] = {
      {float_cell(2.5), {}, {}, float_cell(3.0)},
      {float_cell(-2.5), {}, {}, float_cell(-3.0)},
      {float_cell(2.5), {}, kEven, float_cell(2.0)},
      {float_cell(3.5), {}, kEven, float_cell(4.0)},
      {float_cell(0.5), {}, kEven, float_cell(0.0)},
      {float_cell(2.5), {}, kHalfDown, float_cell(2.0)},
      {float_cell(3.5), {}, kHalfDown, float_cell(3.0)},
      {float_cell(-2.5), {}, kHalfCeiling, float_cell(-2.0)},
      {float_cell(-0.1), {}, kFloor, float_cell(-1.0)},
      {float_cell(0.1), {}, kCeiling, float_cell(1.0)},
      {float_cell(-1.9), {}, kDown, float_cell(-1.0)},
      {float_cell(1e300), {}, {}, float_cell(1e300)},
      {float_cell(4503599627370497.0), {}, {}, float_cell(4503599627370497.0)},
      {float_cell(1.2345), float_cell(0.01), {}, float_cell(1.23)},
      {float_cell(3.14159), float_cell(0.001), {}, float_cell(3.142)},
      {float_cell(-7.25), float_cell(0.5), kHalfCeiling, float_cell(-7.0)},
      {float_cell(7.3), integer_cell(2), {}, integer_cell(8)},
      {float_cell(1234.5), integer_cell(100), {}, integer_cell(1200)},
      {float_cell(1e-310), float_cell(5e-324), {}, float_cell(1e-310)},
      {float_cell(0.0), float_cell(0.0), {}, float_cell(0.0)},
      {percent_cell(0.12345), {}, {}, percent_cell(0.12)},
      {percent_cell(0.33333), {}, {}, percent_cell(0.33)},
      {percent_cell(0.12345), float_cell(0.1), {}, float_cell(0.123)},
      {float_cell(kInf), {}, {}, float_cell(kInf)},
  };
  for (const Row& row : rows)
    EXPECT_TRUE(same_value(round(row.value, row.scale, row.refinement), row.want)) << float_value(row.value);
  EXPECT_TRUE(std::isnan(float_value(round(float_cell(kNaN), {}))));
}

TEST_F(Floats, RoundOverflowsWhenTheResultLeavesItsType) {
  for (auto [value, scale] : {std::pair{float_cell(1.7976931348623157e308), float_cell(1e308)},
                              {float_cell(1e10), integer_cell(1)},
                              {float_cell(-2147483649.0), integer_cell(1)}}) {
    EXPECT_EQ(round_error(value, scale), error_id("math", "overflow")) << float_value(value);
  }
}

TEST_F(Floats, CompareByCode) {
  auto compare = [](const Cell& a, const Cell& b, int32_t code) { return compare_values(a, b, code); };
  EXPECT_TRUE(compare(float_cell(1.0), float_cell(1.0000000000000009), kCompareEqual));
  EXPECT_FALSE(compare(float_cell(1.0), float_cell(1.0000000000000009), kCompareStrictEqual));
  EXPECT_FALSE(compare(float_cell(1.0), float_cell(1.000000000000003), kCompareEqual));
  EXPECT_TRUE(compare(float_cell(1.0), float_cell(1.000000000000003), kCompareNotEqual));
  EXPECT_TRUE(compare(float_cell(1.0), integer_cell(1), kCompareEqual));
  EXPECT_FALSE(compare(float_cell(0.5), percent_cell(0.5), kCompareStrictEqual));
  EXPECT_FALSE(compare(float_cell(0.0), float_cell(-0.0), kCompareSame));
  EXPECT_TRUE(compare(float_cell(0.0), float_cell(-0.0), kCompareStrictEqual));
  EXPECT_FALSE(compare(float_cell(kNaN), float_cell(kNaN), kCompareFind));
  for (int32_t code : {kCompareLesser, kCompareLesserOrEqual, kCompareGreater, kCompareGreaterOrEqual}) {
    EXPECT_FALSE(compare(float_cell(kNaN), float_cell(1.0), code)) << code;
    EXPECT_FALSE(compare(float_cell(1.0), float_cell(kNaN), code)) << code;
  }
  EXPECT_TRUE(compare(float_cell(-kInf), integer_cell(INT32_MIN), kCompareLesser));
  EXPECT_EQ(error_of([] { compare_values(float_cell(1.0), char_cell('a'), kCompareLesser); }),
            error_id("script", "invalid-compare"));
}

TEST_F(Floats, MakeAndTo) {
  NodeId pair = new_cell_series(2);
  *series_append_fresh_slot(pair) = integer_cell(25);
  *series_append_fresh_slot(pair) = integer_cell(2);
  NodeId mixed = new_cell_series(2);
  *series_append_fresh_slot(mixed) = float_cell(1.5);
  *series_append_fresh_slot(mixed) = make_cell(Type::string, 0, pair);
  const Cell pair_block = make_cell(Type::block, 0, pair);
  struct Row {
    Type target;
    Cell spec;
    std::optional<Cell> want;
  };
  const Row rows[] = {
      {Type::float_, integer_cell(5), float_cell(5.0)},
      {Type::float_, char_cell('a'), float_cell(97.0)},
      {Type::float_, percent_cell(0.5), float_cell(0.5)},
      {Type::percent, float_cell(0.125), percent_cell(0.125)},
      {Type::float_, pair_block, float_cell(2500.0)},
      {Type::percent, make_cell(Type::paren, 0, pair), percent_cell(2500.0)},
      {Type::float_, make_cell(Type::block, 1, pair), {}},
      {Type::float_, make_cell(Type::block, 0, mixed), {}},
      {Type::float_, make_cell(Type::none), {}},
      {Type::percent, make_cell(Type::logic, 1), {}},
  };
  for (const Row& row : rows) {
    for (Act act : {Act::Make, Act::To}) {
      if (row.want) {
        EXPECT_TRUE(same_value(call(act, datatype_cell(row.target), row.spec), *row.want));
      } else {
        EXPECT_EQ(call_error(act, datatype_cell(row.target), row.spec), error_id("script", "bad-to-arg"));
        EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[0].w1), row.target);
      }
    }
  }
  EXPECT_EQ(form(call(Act::To, datatype_cell(Type::percent), float_cell(0.125))), "12.5%");
}

TEST_F(Floats, ParityOfTheTruncatedValue) {
  struct Row {
    double value;
    bool odd;
  };
  const Row rows[] = {{-3.2, true}, {2.5, false}, {1e300, false}, {2147483649.0, true},
                      {-9007199254740991.0, true}, {9007199254740992.0, false}, {-0.0, false}};
  for (const Row& row : rows) {
    EXPECT_EQ(call(Act::OddQ, float_cell(row.value)).w1, row.odd ? 1u : 0u) << row.value;
    EXPECT_EQ(call(Act::EvenQ, percent_cell(row.value)).w1, row.odd ? 0u : 1u) << row.value;
  }
  for (double value : {kInf, -kInf, kNaN}) {
    EXPECT_EQ(call_error(Act::EvenQ, float_cell(value)), error_id("script", "type-limit"));
    EXPECT_EQ(static_cast<Type>(stand_in_last_error().args[0].w1), Type::integer);
  }
}

TEST_F(Floats, SignActionsRandomFormAndMold) {
  Cell negated = call(Act::Negate, float_cell(-0.0));
  EXPECT_TRUE(same_value(negated, float_cell(0.0)));
  EXPECT_TRUE(same_value(call(Act::Negate, float_cell(0.0)), float_cell(0.0)));
  EXPECT_TRUE(same_value(call(Act::Absolute, percent_cell(-0.1)), percent_cell(0.1)));

  EXPECT_EQ(cell_type(call(Act::Random, {{0}}, integer_cell(42))), Type::unset);
  EXPECT_TRUE(same_value(call(Act::Random, float_cell(10.0)), float_cell(0.7824977258138813)));
  EXPECT_EQ(cell_type(call(Act::Random, {{0}}, float_cell(1.5))), Type::unset);
  double secure = float_value(call(Act::Random, {{1}}, percent_cell(2.0)));
  EXPECT_GE(secure, 0.0);
  EXPECT_LE(secure, 2.0);

  struct Row {
    Cell value;
    const char *form, *mold;
  };
  const Row rows[] = {
      {float_cell(2.5e-7), "2.5e-7", "0.00000025"},
      {float_cell(12345678901234567.0), "1.234567890123457e16", "12345678901234568.0"},
      {float_cell(123456789012345678.0), "1.234567890123457e17", "1.2345678901234568e17"},
      {float_cell(0.1 + 0.2 + 0.3), "0.6", "0.6000000000000001"},
      {float_cell(0.1 * 3), "0.3", "0.30000000000000004"},
      {float_cell(1e17), "1.0e17", "1.0e17"},
      {float_cell(-0.0), "0.0", "-0.0"},
      {float_cell(-kInf), "-1.#INF", "-1.#INF"},
      {percent_cell(0.125), "12.5%", "12.5%"},
      {percent_cell(0.0), "0%", "0%"},
      {percent_cell(0.1 * 3), "30%", "30%"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(form(row.value), row.form);
    EXPECT_EQ(mold(row.value), row.mold);
  }
}

}  // namespace
}  // namespace qel

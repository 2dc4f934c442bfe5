// value-natives-test.cpp: the comparison natives and their operators, same?, not and type?.
#include "eval-fixture.h"

#include <limits>

#include "evaluator/value-natives.h"

namespace qel::testing {
namespace {

class ValueNativesTest : public EvalTest {};

TEST_F(ValueNativesTest, ComparisonsAndTheirOperators) {
  expect_molds({
      {"equal? 1 1.0", "true"},
      {"1 = 2", "false"},
      {"1 <> 2", "true"},
      {"not-equal? 1 1", "false"},
      {"\"abc\" = \"ABC\"", "true"},
      {"\"abc\" == \"ABC\"", "false"},
      {"strict-equal? 1 1.0", "false"},
      {"(to set-word! 'x) = 'X", "true"},
      {"strict-equal? 'x to set-word! 'x", "false"},
      {"1 < 2", "true"},
      {"lesser? 2 2", "false"},
      {"2 > 1", "true"},
      {"greater? 1 2", "false"},
      {"2 <= 2", "true"},
      {"lesser-or-equal? 3 2", "false"},
      {"2 >= 3", "false"},
      {"greater-or-equal? 3 3", "true"},
      {"1 + 1 = 2", "true"},
      {"b: [1] b =? b", "true"},
      {"[1] =? [1]", "false"},
  });
  expect_errors({{"1 < \"a\"", "script/invalid-compare", {"1", "\"a\""}}});
  for (const char* name : {"=", "<>", "==", "=?", "<", ">", "<=", ">="})
    EXPECT_EQ(cell_type(value_of(name)), Type::op) << name;
  EXPECT_EQ(mold(value_of("=")), "make op! [value1 [any-type!] value2 [any-type!]]");
}

TEST_F(ValueNativesTest, SameAskForIdentityByTypeRule) {
  define("b", load("1 2"));
  define("s", *block_cell_at(load("\"a\""), 0));
  expect_molds({
      {"same? 1 1.0", "false"},
      {"same? 1 1", "true"},
      {"same? 1.5 1.5", "true"},
      {"same? none none", "true"},
      {"same? true true", "true"},
      {"same? integer! integer!", "true"},
      {"same? [1] [1]", "false"},
      {"same? \"a\" \"a\"", "false"},
      {"same? s s", "true"},
      {"same? b b", "true"},
      {"same? b next b", "false"},
      {"same? next b next b", "true"},
      {"same? 'a 'a", "true"},
      {"same? 'a 'A", "false"},
      {"same? :add :add", "true"},
      {"same? :+ :+", "true"},
      {"same? :+ :-", "false"},
  });
  // Floats are compared by their bits: one NaN is the same as itself, 0.0 and -0.0 are not.
  const Cell nan = float_cell(std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(values_same(nan, nan));
  EXPECT_FALSE(values_same(float_cell(0.0), float_cell(-0.0)));
  // Tuples: the same length and the same bytes, whatever lies past the length.
  Cell a = make_cell(Type::tuple, 0x030201, 0xFF);
  Cell b = make_cell(Type::tuple, 0x030201, 0xEE);
  a.header |= 3u << 19;
  b.header |= 3u << 19;
  EXPECT_TRUE(values_same(a, b));
  b.header = static_cast<uint32_t>(Type::tuple) | (4u << 19);
  EXPECT_FALSE(values_same(a, b));
}

TEST_F(ValueNativesTest, NotAndTypeOf) {
  expect_molds({
      {"not none", "true"},
      {"not false", "true"},
      {"not 0", "false"},
      {"not []", "false"},
      {"type? 1", "integer!"},
      {"type? [a]", "block!"},
      {"type? none", "none!"},
      {"type?/word 1", "integer!"},
      {"type? type?/word 1", "word!"},
      {"type? type? 1", "datatype!"},
      {"type? :add", "action!"},
  });
}

}  // namespace
}  // namespace qel::testing

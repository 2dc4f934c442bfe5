// money!: the edges of the units arithmetic, the text under every money-digits setting, hashes,
// and the constructors and sign tests other modules use.
#include <gtest/gtest.h>

#include "datatypes/scalars/money.h"
#include "runtime/action-lookup.h"
#include "runtime/value-hash.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using MoneyTest = ScalarTest;

// A money! of the decimal text (digits, an optional point and fraction), with an optional sign.
Cell money_of(std::u32string_view whole, std::u32string_view fraction = U"", bool negative = false) {
  return *money_from_text_parts(negative, U"", whole, fraction);
}

TEST_F(MoneyTest, ArithmeticEdges) {
  const Cell seventeen = money_of(U"99999999999999999", U"99999");
  const Cell step = money_of(U"0", U"00001");
  EXPECT_EQ(call_error(Act::Add, seventeen, step), error_id("script", "type-limit"));
  EXPECT_EQ(mold_all(call(Act::Subtract, seventeen, step)), "$99999999999999999.99998");
  // 28 significant digits in the operands may still fit; 29 never do.
  const Cell fourteen = money_of(U"999999999", U"99999");  // 14 digits
  EXPECT_EQ(mold_all(call(Act::Multiply, money_of(U"1", U"00001"), integer_cell(99999))), "$99999.99999");
  EXPECT_EQ(call_error(Act::Multiply, fourteen, money_of(U"10000000000"))  // 14 + 16 digits
            , error_id("script", "invalid-type"));
  EXPECT_EQ(call_error(Act::Multiply, fourteen, float_cell(1e9)), error_id("script", "type-limit"));
  EXPECT_EQ(mold_all(call(Act::Multiply, money_of(U"99999999", U"99999"), integer_cell(1000000000))),
            "$99999999999990000.00000");
  EXPECT_EQ(call_error(Act::Multiply, money_of(U"999999999", U"99999"), integer_cell(1000000000)),
            error_id("script", "type-limit"));
  // A quotient needing 18 integer digits.
  EXPECT_EQ(call_error(Act::Divide, money_of(U"99999999999999999"), float_cell(0.5)), error_id("script", "type-limit"));
  EXPECT_EQ(mold_all(call(Act::Divide, money_of(U"49999999999999999"), float_cell(0.5))), "$99999999999999998.00000");
  // -$0 is zero: no sign in the text, neither negative nor positive, equal to $0.
  Cell negative_zero = money_of(U"0");
  negative_zero.header |= kMoneySignBit;
  EXPECT_EQ(mold(negative_zero), "$0.00");
  EXPECT_TRUE(money_zero(negative_zero));
  EXPECT_FALSE(money_negative(negative_zero));
  EXPECT_EQ(money_sign(negative_zero), 1);
  EXPECT_EQ(money_compare(negative_zero, money_of(U"0"), kCompareEqual), 0);
}

Cell digits_double;
Cell money_digits_double() { return digits_double; }

TEST_F(MoneyTest, FormUnderEveryMoneyDigitsSetting) {
  const Cell value = money_of(U"1234567", U"89123", true);
  services().money_digits = money_digits_double;
  const struct {
    Cell digits;
    const char* form;
  } rows[] = {
      {integer_cell(0), "-$1'234'567"},
      {integer_cell(3), "-$1'234'567.891"},
      {integer_cell(5), "-$1'234'567.89123"},
      {integer_cell(7), "-$1'234'567.89123"},
      {integer_cell(-1), "-$1'234'567"},
      {make_cell(Type::none), "-$1'234'567.89"},
  };
  for (const auto& row : rows) {
    digits_double = row.digits;
    EXPECT_EQ(form(value), row.form);
  }
  digits_double = integer_cell(0);
  EXPECT_EQ(mold_all(value), "-$1234567.89123");
}

TEST_F(MoneyTest, LooselyEqualValuesHashAlike) {
  Cell usd = money_of(U"1");
  money_set_currency(usd, static_cast<uint32_t>(money_find_currency(word_from_c_string("usd"))));
  EXPECT_EQ(mold(usd), "USD$1.00");
  EXPECT_EQ(value_hash(money_of(U"1"), false), value_hash(usd, false));
  Cell negative_zero = money_of(U"0");
  negative_zero.header |= kMoneySignBit;
  EXPECT_EQ(value_hash(money_of(U"0"), false), value_hash(negative_zero, false));
  EXPECT_NE(value_hash(money_of(U"1"), false), value_hash(money_of(U"1", U"", true), false));
}

TEST_F(MoneyTest, ConstructorsCurrenciesAndConversions) {
  const uint8_t amount[kMoneyAmountBytes] = {0, 0, 0, 0, 0, 0, 0, 0x01, 0x23, 0x45, 0x60};
  Cell cell;
  money_make_at(cell, 1, 0, amount);
  EXPECT_EQ(mold_all(cell), "-$12.34560");
  EXPECT_EQ(money_sign_of(cell), -1);
  EXPECT_EQ(mold_all(*money_push(0, 0, amount)), "$12.34560");
  EXPECT_EQ(money_find_currency(word_from_c_string("AED")), 1);
  EXPECT_EQ(money_find_currency(word_from_c_string("zmw")), 170);
  EXPECT_EQ(money_find_currency(word_from_c_string("ABC")), -1);
  const int32_t usd = money_find_currency(word_from_c_string("Usd"));
  EXPECT_EQ(mold(money_currency_word(static_cast<uint32_t>(usd))), "USD");
  EXPECT_EQ(money_currency_word(171).header, make_cell(Type::none).header);
  EXPECT_EQ(money_to_float(money_of(U"0", U"1")), 0.1);
  EXPECT_EQ(money_to_float(money_of(U"12345678901234567", U"12345")), 12345678901234567.12345);
  EXPECT_EQ(mold_all(*money_from_float(cell, 0.1 + 0.2)), "$0.30000");  // 0.30000000000000004
  EXPECT_EQ(mold_all(*money_from_float(cell, -1e-6)), "$0.00000");
  EXPECT_EQ(mold_all(*money_from_float(cell, 12345678901234568.0)), "$12345678901234568.00000");
  EXPECT_EQ(error_of([&] { money_from_float(cell, 1e17); }), error_id("script", "bad-make-arg"));
  EXPECT_EQ(money_to_integer(money_of(U"2147483648", U"", true)), INT32_MIN);
  EXPECT_EQ(error_of([&] { money_to_integer(money_of(U"2147483648")); }), error_id("script", "type-limit"));
}

}  // namespace
}  // namespace qel

// char!: arithmetic kept inside the code point range, conversions, form and mold through the
// character escape, compare and the actions inherited from integer!; hexadecimal text.
#include <gtest/gtest.h>

#include <climits>
#include <limits>
#include <optional>

#include "datatypes/scalars/char-escape.h"
#include "datatypes/scalars/char.h"
#include "datatypes/scalars/hex-text.h"
#include "runtime/action-lookup.h"
#include "scalar-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

using Chars = ScalarTest;

TEST_F(Chars, ArithmeticThroughTheIntegerCore) {
  struct Row {
    Act act;
    uint32_t code_point;
    Cell operand;
    uint32_t want;
  };
  const Row rows[] = {
      {Act::Add, 'a', integer_cell(25), 'z'},       {Act::Divide, 'd', integer_cell(3), '!'},
      {Act::Divide, 100, integer_cell(2), 50},      {Act::Add, 'a', float_cell(1.5), 'b'},
      {Act::Multiply, 'a', float_cell(1.9), 'a'},   {Act::Subtract, 'd', char_cell('a'), 3},
      {Act::Remainder, 'd', integer_cell(7), 2},    {Act::And, 'a', integer_cell(0xDF), 'A'},
      {Act::Or, 'A', integer_cell(0x20), 'a'},      {Act::Xor, 'a', char_cell(0x20), 'A'},
      {Act::Add, 0x10FFFE, integer_cell(1), 0x10FFFF},
  };
  for (const Row& row : rows)
    EXPECT_TRUE(same_value(call(row.act, char_cell(row.code_point), row.operand), char_cell(row.want)))
        << row.code_point;
}

TEST_F(Chars, ArithmeticErrors) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Row {
    Act act;
    uint32_t code_point;
    Cell operand;
    ErrorId error;
  };
  const Row rows[] = {
      {Act::Subtract, 'b', integer_cell(99), error_id("math", "overflow")},
      {Act::Add, 'a', integer_cell(INT32_MAX), error_id("math", "overflow")},
      {Act::Add, 0x10FFFF, integer_cell(1), error_id("math", "overflow")},
      {Act::Multiply, 0x10FFFF, integer_cell(0x10FFFF), error_id("math", "overflow")},
      {Act::Add, 'a', float_cell(1e10), error_id("math", "overflow")},
      {Act::Multiply, 'a', float_cell(nan), error_id("math", "overflow")},
      {Act::Divide, 'a', integer_cell(0), error_id("math", "zero-divide")},
      {Act::Add, 'a', percent_cell(0.1), error_id("script", "invalid-type")},
      {Act::Add, 'a', make_cell(Type::none), error_id("script", "invalid-type")},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(call_error(row.act, char_cell(row.code_point), row.operand), row.error) << row.code_point;
  }
  EXPECT_EQ(call_error(Act::Negate, char_cell('a')), error_id("script", "expect-arg"));  // unsupported slot
  EXPECT_EQ(call_error(Act::Power, char_cell('a'), integer_cell(2)), error_id("script", "expect-arg"));
}

TEST_F(Chars, MakeAndTo) {
  struct Row {
    Cell spec;
    std::optional<uint32_t> want;
    ErrorId error;
  };
  const Row rows[] = {
      {integer_cell(31), 31, {}},
      {integer_cell(0x10FFFF), 0x10FFFF, {}},
      {char_cell('q'), 'q', {}},
      {float_cell(65.9), 'A', {}},
      {percent_cell(0.5), 0, {}},
      {integer_cell(0x110000), {}, error_id("script", "out-of-range")},
      {integer_cell(-1), {}, error_id("script", "out-of-range")},
      {float_cell(1e10), {}, error_id("script", "out-of-range")},
      {float_cell(-0.5), 0, {}},
      {make_cell(Type::none), {}, error_id("script", "bad-to-arg")},
  };
  for (const Row& row : rows) {
    for (Act act : {Act::Make, Act::To}) {
      if (row.want)
        EXPECT_TRUE(same_value(call(act, datatype_cell(Type::char_), row.spec), char_cell(*row.want)));
      else
        EXPECT_EQ(call_error(act, datatype_cell(Type::char_), row.spec), row.error);
    }
  }
}

TEST_F(Chars, FormAndMold) {
  struct Row {
    uint32_t code_point;
    const char* mold;
  };
  const Row rows[] = {
      {'a', "#\"a\""},   {'"', "#\"^\"\""},  {'^', "#\"^^\""},  {0, "#\"^@\""},     {31, "#\"^_\""},
      {0x1E, "#\"^(1E)\""}, {'\t', "#\"^-\""}, {'\n', "#\"^/\""}, {0x7F, "#\"^~\""}, {133, "#\"^(85)\""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(form(char_cell(row.code_point)), row.code_point < 0x80 ? std::string(1, static_cast<char>(row.code_point))
                                                                     : "\\u{" + std::to_string(row.code_point) + "}");
    EXPECT_EQ(mold(char_cell(row.code_point)), row.mold) << row.code_point;
  }
}

TEST_F(Chars, CompareAndTheInheritedActions) {
  auto compare = [](const Cell& a, const Cell& b, int32_t code) {
    return lookup_action_for_value<Act::Compare>(a)(a, b, code);
  };
  EXPECT_EQ(compare(char_cell('a'), integer_cell(97), kCompareEqual), 0);
  EXPECT_EQ(compare(char_cell('a'), integer_cell(97), kCompareStrictEqual), 1);
  EXPECT_EQ(compare(char_cell('a'), char_cell('b'), kCompareLesser), -1);
  EXPECT_EQ(compare(char_cell('a'), float_cell(97.0), kCompareEqual), kNotComparable);

  // integer!'s actions keep the cell a char!.
  EXPECT_TRUE(same_value(call(Act::Absolute, char_cell('a')), char_cell('a')));
  EXPECT_EQ(call(Act::EvenQ, char_cell('b')).w1, 1u);
  call(Act::Random, {{0}}, integer_cell(42));
  Cell drawn = call(Act::Random, char_cell('z'));
  EXPECT_EQ(cell_type(drawn), Type::char_);
  EXPECT_GE(char_value(drawn), 1u);
  EXPECT_LE(char_value(drawn), uint32_t{'z'});
}

TEST_F(Chars, EscapesAndHexadecimalText) {
  struct Escape {
    uint32_t code_point;
    bool all;
    const char* want;
  };
  const Escape escapes[] = {
      {0x00, false, "^@"},  {0x9F, false, "^(9F)"}, {0x5E, false, "^^"},   {0x1E, false, "^(1E)"},
      {0x22, false, "^\""}, {0x0A, false, "^/"},    {0x1B, false, "^["},   {0x7F, false, "^~"},
      {0x41, false, ""},    {0xE9, false, ""},      {0xE9, true, "^(E9)"}, {0x1F600, true, "^(1F600)"},
  };
  for (const Escape& row : escapes) EXPECT_EQ(char_escape(row.code_point, row.all).view(), row.want) << row.code_point;

  struct Hex {
    int32_t value;
    bool shortest;
    const char* want;
  };
  const Hex hexes[] = {
      {30, true, "1E"},  {-1, false, "FFFFFFFF"}, {0, true, "00"},         {5, true, "5"},
      {255, true, "FF"}, {255, false, "000000FF"}, {-2, true, "FFFFFFFE"}, {INT32_MIN, false, "80000000"},
  };
  for (const Hex& row : hexes) EXPECT_STREQ(integer_to_hex_text(row.value, row.shortest).c_str(), row.want);
  EXPECT_STREQ(byte_to_hex_text(0x0A).c_str(), "0A");
}

}  // namespace
}  // namespace qel

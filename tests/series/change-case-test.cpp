// Changing case in place: char! values, text from its index, /part, and widening.
#include <gtest/gtest.h>

#include "datatypes/series/change-case.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using ChangeCase = StringTest;

TEST_F(ChangeCase, TextRows) {
  struct Row {
    const char* text;
    Case which;
    const char* expected;
    unsigned unit;
  };
  const Row rows[] = {
      {"stra\xC3\x9F" "e", Case::upper, "STRA\xC3\x9F" "E", 1},
      {"\xCE\xA3\xCE\x91\xCE\xA3", Case::lower, "\xCF\x83\xCE\xB1\xCF\x83", 2},   // ΣΑΣ
      {"\xC7\x86", Case::upper, "\xC7\x84", 2},                                    // ǆ
      {"\xEA\x9E\x94", Case::upper, "\xEA\x9E\x94", 2},                            // ꞔ has none in 11.0
      {"\xF0\x9E\xA4\xA2", Case::upper, "\xF0\x9E\xA4\x80", 4},                    // Adlam
      {"\xF0\x96\xB9\x80", Case::lower, "\xF0\x96\xB9\xA0", 4},                    // Medefaidrin
      {"\xE1\xB2\x90", Case::lower, "\xE1\x83\x90", 2},                            // Mtavruli to Mkhedruli
      {"a\xC3\xBF", Case::upper, "A\xC5\xB8", 2},                                  // ÿ widens to Ÿ
      {"\xC2\xB5x\xC3\xBFy", Case::upper, "\xCE\x9CX\xC5\xB8Y", 2},                // µ and ÿ
      {"\xE1\xBA\x9E", Case::upper, "\xE1\xBA\x9E", 2},                            // ẞ stays
      {"\xE1\xBA\x9E", Case::lower, "\xC3\x9F", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    Cell value = text_value(row.text);
    change_case_value(value, nullptr, row.which);
    EXPECT_EQ(utf8_of(value), row.expected);
    EXPECT_EQ(text_unit(value.w2), row.unit);
  }
}

TEST_F(ChangeCase, PartsAndPositions) {
  Cell value = text_value("abcd");
  value.w1 = 1;
  Cell count = make_cell(Type::integer, 0, 2);
  change_case_value(value, &count, Case::upper);
  value.w1 = 0;
  EXPECT_EQ(utf8_of(value), "aBCd");
  Cell end = value;
  end.w1 = 1;
  change_case_value(value, &end, Case::upper);
  EXPECT_EQ(utf8_of(value), "ABCd");
  Cell negative = make_cell(Type::integer, 0, static_cast<uint32_t>(-3));
  change_case_value(value, &negative, Case::lower);
  EXPECT_EQ(utf8_of(value), "ABCd");
  value.w1 = 9;
  change_case_value(value, nullptr, Case::lower);
  EXPECT_EQ(value.w1, 4u);
  Cell other = text_value("xy");
  StandInError error = raised_error([&] { change_case_value(value, &other, Case::upper); });
  EXPECT_EQ(error.id, error_id("script", "invalid-refine-arg"));
}

TEST_F(ChangeCase, CharValues) {
  Cell c = make_cell(Type::char_, 0, 0xFF);
  EXPECT_EQ(change_case_value(c, nullptr, Case::upper).w2, 0x178u);
  EXPECT_EQ(change_case_value(c, nullptr, Case::lower).w2, 0xFFu);
}

}  // namespace
}  // namespace qel

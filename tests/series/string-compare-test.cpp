// Comparing and matching text: every comparison code, plain and match mode, across units.
#include <gtest/gtest.h>

#include "datatypes/series/string-compare.h"
#include "runtime/action-lookup.h"
#include "runtime/symbols.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using StringCompare = StringTest;

TEST_F(StringCompare, RowsPerCodeAndMode) {
  struct Row {
    const char* a;
    unsigned unit_a;
    const char* b;
    unsigned unit_b;
    int32_t op;
    bool match;
    int32_t expected;
  };
  const Row rows[] = {
      {"abc", 1, "ABC", 1, kCompareEqual, false, 0},
      {"abc", 1, "ABC", 1, kCompareNotEqual, false, 0},
      {"abc", 1, "ABC", 1, kCompareStrictEqual, false, 1},
      {"abc", 1, "abc", 4, kCompareStrictEqual, false, 0},
      {"abc", 1, "ABC", 1, kCompareSort, false, 0},
      {"abc", 1, "ABC", 1, kCompareSortCase, false, 1},
      {"abc", 1, "ABC", 2, kCompareFind, false, 0},
      {"ab", 1, "abc", 1, kCompareLesser, false, -1},
      {"ab", 1, "abc", 1, kCompareEqual, false, 1},
      {"abc", 1, "ab", 1, kCompareGreater, false, 1},
      {"a", 1, "B", 1, kCompareLesser, false, -1},
      {"a", 1, "B", 1, kCompareSortCase, false, 1},
      {"", 1, "", 1, kCompareLesser, false, 0},
      {"abc", 1, "", 1, kCompareLesser, false, 1},
      {"", 1, "abc", 1, kCompareLesser, false, -1},
      {"Stra\xC3\x9F" "e", 1, "STRASSE", 1, kCompareEqual, false, 1},
      {"\xC7\x85", 2, "\xC7\x86", 2, kCompareEqual, false, 0},        // U+01C5, U+01C6
      {"\xC3\xA9t\xC3\xA9", 1, "\xC3\x89T\xC3\x89", 2, kCompareEqual, false, 0},
      {"\xC3\xBF", 1, "\xC5\xB8", 2, kCompareLesserOrEqual, false, 0},  // U+00FF folds to U+0178
      {"\xF0\x90\x90\xA8", 4, "\xF0\x90\x90\x80", 4, kCompareEqual, false, 0},  // U+10428, U+10400
      {"b", 1, "\xC3\xA4", 1, kCompareGreaterOrEqual, false, -1},
      {"abc", 1, "ab", 1, kCompareEqual, true, 0},
      {"abc", 1, "AB", 2, kCompareEqual, true, 0},
      {"abc", 1, "AB", 1, kCompareStrictEqual, true, 1},
      {"abc", 1, "", 1, kCompareEqual, true, 0},
      {"abc", 1, "", 1, kCompareFind, true, 1},
      {"abc", 1, "abcd", 1, kCompareEqual, true, 1},
      {"abc", 1, "ax", 1, kCompareFind, true, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.a << " / " << row.b << " op " << row.op << (row.match ? " match" : ""));
    Cell a = text_value(row.a, row.unit_a);
    Cell b = text_value(row.b, row.unit_b);
    EXPECT_EQ(string_compare_core(a, b, row.op, row.match), row.expected);
  }
}

TEST_F(StringCompare, SameAnswersForOnePlaceOnly) {
  Cell a = text_value("abc");
  Cell b = a;
  Cell other = text_value("abc");
  EXPECT_EQ(string_compare_core(a, b, kCompareSame, false), 0);
  EXPECT_EQ(string_compare_core(a, other, kCompareSame, false), -1);
  b.w1 = 1;
  EXPECT_EQ(string_compare_core(a, b, kCompareSame, false), -1);
  a.w1 = 7;  // both past the tail: the same place
  b.w1 = 3;
  EXPECT_EQ(string_compare_core(a, b, kCompareSame, false), 0);
}

TEST_F(StringCompare, WordsCompareByTheirNames) {
  Cell word = make_cell(Type::word, 0, symbol_intern_cstring("Hello"));
  EXPECT_EQ(string_compare_core(text_value("hello"), word, kCompareEqual, false), 0);
  EXPECT_EQ(string_compare_core(text_value("hello"), word, kCompareStrictEqual, false), 1);
}

TEST_F(StringCompare, MatchingAtTheIndex) {
  Cell value = text_value("xAbc");
  value.w1 = 1;
  EXPECT_TRUE(string_match_at(value, text_value("ab"), kCompareEqual));
  EXPECT_FALSE(string_match_at(value, text_value("ab"), kCompareStrictEqual));
  EXPECT_TRUE(string_match_at(value, text_value(""), kCompareEqual));
  EXPECT_FALSE(string_match_at(value, text_value("abcd"), kCompareEqual));
  EXPECT_TRUE(string_match_at(value, make_cell(Type::char_, 0, 'a'), kCompareEqual));
  EXPECT_FALSE(string_match_at(value, make_cell(Type::char_, 0, 'a'), kCompareStrictEqual));
  EXPECT_FALSE(string_match_at(value, make_cell(Type::integer, 0, 'A'), kCompareEqual));
  value.w1 = 4;
  EXPECT_FALSE(string_match_at(value, make_cell(Type::char_, 0, 'c'), kCompareEqual));
}

}  // namespace
}  // namespace qel

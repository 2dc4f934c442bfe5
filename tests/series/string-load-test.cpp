// Text values from and to bytes: UTF-8 and UTF-16LE loading into new and existing strings,
// the strict loader, and the conversions back.
#include <gtest/gtest.h>

#include "runtime/value-stack.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using StringLoad = StringTest;

// What a UTF-8 load gave.
struct Loaded {
  CodePoints code_points;
  unsigned unit;
  size_t remainder;
};

Loaded load_utf8(const Bytes& bytes, bool crlf, NodeId target = 0) {
  size_t remainder = 99;
  NodeId node = string_load_utf8(bytes, target, &remainder, crlf);
  return {code_points_of(node), text_unit(node), remainder};
}

TEST_F(StringLoad, Utf8IntoNewStrings) {
  struct Row {
    Bytes bytes;
    bool crlf;
    CodePoints text;
    unsigned unit;
    size_t remainder;
  };
  const Row rows[] = {
      {{0xF0, 0x9F, 0x98}, false, {}, 1, 3},
      {{0x41, 0xE2, 0x82}, false, {0x41}, 1, 2},
      {{0xED, 0x9F, 0xBF}, false, {0xD7FF}, 2, 0},
      {{0xF4, 0x8F, 0xBF, 0xBF}, false, {0x10FFFF}, 4, 0},
      {{0x41, 0xC3, 0xA9}, false, {0x41, 0xE9}, 1, 0},
      {{0xEF, 0xBB, 0xBF}, false, {}, 1, 0},
      {{0x61, 0x0D, 0x0D, 0x0A, 0x62}, true, {'a', '\n', '\n', 'b'}, 1, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.bytes));
    Loaded loaded = load_utf8(row.bytes, row.crlf);
    EXPECT_EQ(loaded.code_points, row.text);
    EXPECT_EQ(loaded.unit, row.unit);
    EXPECT_EQ(loaded.remainder, row.remainder);
  }
}

TEST_F(StringLoad, IllFormedUtf8RaisesAndLeavesTheTargetAsItWas) {
  const Bytes rows[] = {{0xC1, 0xBF}, {0xE0, 0x9F, 0xBF}, {0xF0, 0x8F, 0xBF, 0xBF}, {0xED, 0xA0, 0x80},
                        {0xF4, 0x90, 0x80, 0x80}, {0x80}, {0xFE}, {0x41, 0xC3, 0x28}};
  for (const Bytes& bytes : rows) {
    SCOPED_TRACE(::testing::PrintToString(bytes));
    Cell target = text_value("\xE2\x82\xAC kept");
    StandInError error = raised_error([&] { string_load_utf8(bytes, target.w2, nullptr, false); });
    EXPECT_EQ(error.id, error_id("access", "invalid-utf8"));
    EXPECT_EQ(utf8_of(target), "\xE2\x82\xAC kept");
    EXPECT_EQ(text_unit(target.w2), 2u);
  }
  StandInError error = raised_error([] { string_load_utf8(Bytes{0xC3, 0x28}, 0, nullptr, false); });
  EXPECT_EQ(binary_bytes(error.args[0]), Bytes({0xC3, 0x28}));
}

TEST_F(StringLoad, Utf8IntoAnExistingStringReplacesItsText) {
  Cell target = text_value("\xE2\x82\xAC old text");
  Loaded loaded = load_utf8({'h', 'i', 0xC3}, false, target.w2);
  EXPECT_EQ(loaded.code_points, CodePoints({'h', 'i'}));
  EXPECT_EQ(loaded.unit, 1u);
  EXPECT_EQ(loaded.remainder, 1u);
}

TEST_F(StringLoad, TheStrictLoaderRefusesACutShortEnd) {
  StandInError error = raised_error([] { string_from_utf8_strict(Bytes{'a', 0xF0, 0x9F, 0x98}); });
  EXPECT_EQ(error.id, error_id("access", "invalid-utf8"));
  EXPECT_EQ(binary_bytes(error.args[0]), Bytes({0xF0, 0x9F, 0x98}));
  Cell* made = string_from_utf8_strict(Bytes{'a', 0xC3, 0xA9});
  EXPECT_EQ(cell_type(*made), Type::string);
  EXPECT_EQ(code_points_of(made->w2), CodePoints({'a', 0xE9}));
  stack_drop(1);
}

TEST_F(StringLoad, Utf16leNeverEndsTheProcess) {
  struct Row {
    Bytes bytes;
    CodePoints text;
    unsigned unit;
  };
  const Row rows[] = {
      {{0x3D, 0xD8, 0x00, 0xDE}, {0x1F600}, 4},
      {{0x00, 0xD8, 0x41, 0x00}, {0xD800, 'A'}, 4},
      {{0x00, 0xD8}, {0xD800}, 4},
      {{0x00, 0xDC, 0x00, 0xD8}, {0xDC00, 0xD800}, 4},
      {{0x41, 0x00, 0xE9, 0x00}, {'A', 0xE9}, 1},
      {{0xAC, 0x20}, {0x20AC}, 2},
      {{0x41, 0x00, 0x42}, {'A'}, 1},  // an odd last byte is no unit
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.bytes));
    Cell cell = make_cell(Type::none);
    string_load(row.bytes, cell, TextEncoding::utf16le);
    ASSERT_EQ(cell_type(cell), Type::string);
    EXPECT_EQ(code_points_of(cell.w2), row.text);
    EXPECT_EQ(text_unit(cell.w2), row.unit);
  }
  NodeId kept = load_utf16le_text(Bytes{'a', 0, '\r', 0, '\n', 0}.data(), 3, text_value("xyz").w2, true);
  EXPECT_EQ(code_points_of(kept), CodePoints({'a', '\n'}));
}

TEST_F(StringLoad, AFailedLoadLeavesTheCellUnset) {
  Cell cell = make_cell(Type::none);
  raised_error([&] { string_load(Bytes{0xFF}, cell, TextEncoding::utf8); });
  EXPECT_EQ(cell.header, kUnsetHeader);
}

TEST_F(StringLoad, ConversionsBack) {
  Cell top = code_point_value({'a', 0x10FFFF, '\n', 0x1F600}, 4);
  EXPECT_EQ(string_to_utf8(top), "a\xF4\x8F\xBF\xBF\n\xF0\x9F\x98\x80");
  EXPECT_EQ(string_to_utf8(top, 3, true), "a\xF4\x8F\xBF\xBF\r\n");
  EXPECT_EQ(string_to_utf16(top), std::u16string(u"a\xDBFF\xDFFF\n\xD83D\xDE00"));
  EXPECT_EQ(string_to_utf16(top, 3, true), std::u16string(u"a\xDBFF\xDFFF\r\n"));
  top.w1 = 1;
  EXPECT_EQ(string_to_utf16(top, 1), std::u16string(u"\xDBFF\xDFFF"));
  uint8_t out[8];
  std::fill(std::begin(out), std::end(out), 0xEE);
  EXPECT_EQ(string_to_utf8_bounded(top, out, 3, -1, true), 2u);  // F4 8F, then the 0 byte
  EXPECT_EQ(Bytes(out, out + 4), Bytes({0xF4, 0x8F, 0x00, 0xEE}));
  Cell beyond = code_point_value({0x110000}, 4);
  expect_invalid_char([&] { string_to_utf8(beyond); }, 0x110000);
  expect_invalid_char([&] { string_to_utf16(beyond); }, 0x110000);
}

}  // namespace
}  // namespace qel

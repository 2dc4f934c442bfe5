// binary!: the mold layout at the line-break lengths and indents, the raw byte operations, the
// bytes values contribute under /part and /only, and the byte matcher parse uses.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/binary.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

using BinaryTest = StringActions;
using Bytes = std::vector<uint8_t>;

Cell binary_of(const Bytes& bytes) {
  Cell binary;
  binary_make_at(binary, static_cast<int64_t>(bytes.size()));
  binary_append_bytes(binary, bytes);
  return binary;
}

std::string mold_at(const Cell& binary, int32_t indent, bool flat = false) {
  Cell out = text_value("");
  binary_mold_core(binary, out, false, flat, false, 0, indent);
  return utf8_of(out);
}

std::string digits(size_t bytes) { return std::string(2 * bytes, '7'); }

TEST_F(BinaryTest, MoldBreaksLinesPast30BytesAt32PerLine) {
  struct Row {
    size_t length;
    std::string lines;  // with <i> for the value's indent and <j> for one level deeper
  };
  const Row rows[] = {
      {30, "#{" + digits(30) + "}"},
      {31, "#{\n<j>" + digits(31) + "\n<i>}"},
      {32, "#{\n<j>" + digits(32) + "\n<j>}"},
      {33, "#{\n<j>" + digits(32) + "\n<j>" + digits(1) + "\n<i>}"},
      {64, "#{\n<j>" + digits(32) + "\n<j>" + digits(32) + "\n<j>}"},
  };
  for (const Row& row : rows) {
    Cell binary = binary_of(Bytes(row.length, 0x77));
    for (int32_t indent = 0; indent <= 2; ++indent) {
      std::string expected = row.lines;
      auto put = [&](const std::string& mark, int32_t levels) {
        for (size_t at; (at = expected.find(mark)) != std::string::npos;)
          expected.replace(at, mark.size(), std::string(4 * static_cast<size_t>(levels), ' '));
      };
      put("<i>", indent);
      put("<j>", indent + 1);
      EXPECT_EQ(mold_at(binary, indent), expected) << row.length << " bytes at indent " << indent;
    }
    EXPECT_EQ(mold_at(binary, 1, true), "#{" + digits(row.length) + "}");
  }
}

TEST_F(BinaryTest, RawByteOperations) {
  Cell binary;
  binary_make_at(binary, 0);
  binary_append_bytes(binary, Bytes{1, 2, 3});
  binary_insert_bytes(binary, 1, Bytes{9});
  EXPECT_EQ(binary_copy_bytes(binary), (Bytes{1, 9, 2, 3}));
  binary_append_int32_be(0x0A0B0C0D, binary);
  EXPECT_EQ(binary_copy_bytes(binary), (Bytes{1, 9, 2, 3, 0x0A, 0x0B, 0x0C, 0x0D}));
  EXPECT_FALSE(binary_skip(binary, 6));
  EXPECT_EQ(binary_length(binary), 2);
  EXPECT_FALSE(binary_skip(binary, 3));  // past the tail: stays
  EXPECT_EQ(binary_length(binary), 2);
  binary_write_bytes_at(binary, 1, Bytes{0xEE, 0xFF, 0x11});  // runs past the tail
  EXPECT_EQ(binary_copy_bytes(binary), (Bytes{0x0C, 0xEE, 0xFF, 0x11}));
  EXPECT_EQ(binary_byte_at(binary, 0), 1);
  binary_truncate_at_index(binary);
  EXPECT_TRUE(binary_at_tail(binary));
  binary.w1 = 0;
  EXPECT_EQ(binary_copy_bytes(binary), (Bytes{1, 9, 2, 3, 0x0A, 0x0B}));
  Cell* pushed = binary_push_bytes(Bytes{5, 6});
  EXPECT_EQ(binary_copy_bytes(*pushed), (Bytes{5, 6}));
  stack_drop(1);
  Cell block = block_of({});
  binary_make_in(block.w2, 8);
  binary_from_bytes(Bytes{7}, block.w2);
  EXPECT_EQ(series_total_length(block), 2);
}

TEST_F(BinaryTest, PartCountsValuesOfABlockOrBytesWithOnly) {
  Cell block = block_of({text_value("ab"), int_cell(1), char_value(0xE9)});
  struct Row {
    int64_t limit;
    bool only;
    Bytes bytes;
  };
  const Row rows[] = {
      {-1, false, {'a', 'b', 1, 0xC3, 0xA9}},
      {2, false, {'a', 'b', 1}},  // two values, each whole
      {2, true, {'a', 'b'}},      // two bytes
      {4, true, {'a', 'b', 1, 0xC3}},
      {0, false, {}},
  };
  for (const Row& row : rows) {
    Bytes bytes;
    binary_value_bytes(bytes, block, row.limit, row.only, OtherValues::refuse);
    EXPECT_EQ(bytes, row.bytes) << row.limit << (row.only ? " only" : "");
  }
  Bytes formed;
  binary_value_bytes(formed, word_value("w"), -1, false, OtherValues::form);
  EXPECT_EQ(formed, (Bytes{'w'}));
  StandInError error = raised_error([&] {
    Bytes refused;
    binary_value_bytes(refused, word_value("w"), -1, false, OtherValues::refuse);
  });
  EXPECT_EQ(error.id, error_id("script", "bad-to-arg"));
}

TEST_F(BinaryTest, MatchingCountsTheBytesMatched) {
  Cell binary = binary_of({'<', 'b', '>', 0xC3, 0xA9, 'x'});
  Cell tag = string_value(text_value("b").w2, 0, Type::tag);
  EXPECT_EQ(binary_match_at(binary, tag, kCompareEqual), 3);
  EXPECT_EQ(binary_match_at(binary, text_value("<B"), kCompareEqual), -1);  // bytes never fold
  EXPECT_EQ(binary_match_at(binary, binary_of({'<'}), kCompareEqual), 1);
  EXPECT_EQ(binary_match_at(at(binary, 3), char_value(0xE9), kCompareEqual), 2);
  EXPECT_EQ(binary_match_at(at(binary, 3), text_value("\xC3\xA9x"), kCompareStrictEqual), 3);
  EXPECT_EQ(binary_match_at(at(binary, 5), text_value("xy"), kCompareEqual), -1);  // reads nothing past the tail
  EXPECT_EQ(binary_match_at(binary, int_cell(60), kCompareEqual), -1);
  EXPECT_EQ(binary_compare_core(binary, text_value(""), kCompareEqual, true), 0);
  EXPECT_EQ(binary_compare_core(binary_of({1}), binary_of({1, 0}), kCompareLesser, false), -1);
  EXPECT_EQ(binary_compare_core(binary_of({1, 0}), binary_of({1}), kCompareEqual, false), 1);
  EXPECT_EQ(binary_compare_core(binary_of({0x61}), text_value("A"), kCompareEqual, false), 1);
}

}  // namespace
}  // namespace qel

// Text units: reading, widening in place, and the invalid-char check.
#include <gtest/gtest.h>

#include <vector>

#include "datatypes/series/string-unit.h"
#include "tests/series/text-fixtures.h"

namespace qel {
namespace {

// Stores code points in units of `unit` bytes, with room to widen to 4 bytes per unit.
Bytes stored(const std::vector<uint32_t>& code_points, unsigned unit) {
  Bytes bytes(code_points.size() * 4 + 4, 0xEE);
  for (size_t i = 0; i < code_points.size(); ++i) code_point_write(&bytes[i * unit], unit, code_points[i]);
  return bytes;
}

CodePoints read_back(const Bytes& bytes, size_t count, unsigned unit) {
  CodePoints code_points;
  for (size_t i = 0; i < count; ++i) code_points.push_back(code_point_read(&bytes[i * unit], unit));
  return code_points;
}

TEST(StringUnit, WideningKeepsEveryCodePoint) {
  const CodePoints latin1 = {0x00, 0x41, 0x7F, 0x80, 0xE9, 0xFF, 0x0A, 0x20, 0x31};
  const CodePoints bmp = {0x0041, 0x00E9, 0x20AC, 0xD800, 0xFFFF, 0x0100, 0x0000};
  struct Row {
    const CodePoints& text;
    unsigned from;
    unsigned to;
  };
  for (const Row& row : {Row{latin1, 1, 2}, Row{latin1, 1, 4}, Row{bmp, 2, 4}}) {
    SCOPED_TRACE(::testing::Message() << row.from << " to " << row.to);
    Bytes bytes = stored(row.text, row.from);
    widen_units_in_place(bytes.data(), row.text.size(), row.from, row.to);
    EXPECT_EQ(read_back(bytes, row.text.size(), row.to), row.text);
  }
}

TEST(StringUnit, UnitsAndSizes) {
  EXPECT_EQ(unit_for_code_point(0xFF), 1u);
  EXPECT_EQ(unit_for_code_point(0x100), 2u);
  EXPECT_EQ(unit_for_code_point(0xFFFF), 2u);
  EXPECT_EQ(unit_for_code_point(0x10000), 4u);
  EXPECT_EQ(widened_size(10, 1, 2), 22u);
  EXPECT_EQ(widened_size(10, 1, 4), 44u);
  EXPECT_EQ(widened_size(10, 2, 4), 24u);
  uint8_t bytes[] = {0xAC, 0x20, 0x00, 0xF6, 0x01, 0x00};
  EXPECT_EQ(code_point_read(bytes, 1), 0xACu);
  EXPECT_EQ(code_point_read(bytes, 2), 0x20ACu);
  EXPECT_EQ(code_point_read(bytes + 2, 4), 0x1F600u);
}

TEST(StringUnit, CodePointAboveTheLimitRaisesInvalidChar) {
  check_code_point(0x10FFFF);
  expect_invalid_char([] { check_code_point(0x110000); }, 0x110000);
}

TEST(StringUnitDeathTest, AnUnknownUnitIsRuntimeError101) {
  uint8_t bytes[8] = {};
  EXPECT_EXIT(code_point_read(bytes, 3), ::testing::ExitedWithCode(101), "Runtime Error 101");
  EXPECT_EXIT(widen_units_in_place(bytes, 1, 2, 1), ::testing::ExitedWithCode(101), "Runtime Error 101");
}

}  // namespace
}  // namespace qel

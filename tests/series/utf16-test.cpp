// UTF-16LE in and out of text units, and byte strings widened to UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/utf16.h"
#include "tests/series/text-fixtures.h"

namespace qel {
namespace {

struct Loaded {
  CodePoints code_points;
  unsigned unit;
  bool operator==(const Loaded&) const = default;
};

void PrintTo(const Loaded& loaded, std::ostream* out) {
  *out << ::testing::PrintToString(loaded.code_points) << " unit " << loaded.unit;
}

Loaded load(const Bytes& bytes, bool drop_cr) {
  size_t count = bytes.size() / 2;
  Utf16Scan scan = utf16le_scan(bytes.data(), count, drop_cr);
  CodePoints code_points = written_code_points(scan.code_points, scan.unit, [&](uint8_t* out) {
    utf16le_load_units(bytes.data(), count, scan, drop_cr, out, scan.unit);
  });
  return {code_points, scan.unit};
}

TEST(Utf16, LoadingChoosesTheUnitAndKeepsBrokenPairs) {
  struct Row {
    Bytes bytes;
    bool drop_cr;
    Loaded expected;
  };
  const Row rows[] = {
      {{}, false, {{}, 1}},
      {{0x41, 0x00, 0xE9, 0x00}, false, {{0x41, 0xE9}, 1}},
      {{0xAC, 0x20}, false, {{0x20AC}, 2}},
      {{0x3D, 0xD8, 0x00, 0xDE}, false, {{0x1F600}, 4}},
      {{0x00, 0xD8, 0x41, 0x00}, false, {{0xD800, 0x41}, 4}},  // a high surrogate without its low one
      {{0x41, 0x00, 0x3D, 0xD8}, false, {{0x41, 0xD83D}, 4}},  // ... and at the very end
      {{0x00, 0xDC, 0x00, 0xD8}, false, {{0xDC00, 0xD800}, 4}},
      {{0xFF, 0xDB, 0xFF, 0xDF, 0x00, 0xD8, 0x00, 0xDC}, false, {{0x10FFFF, 0x10000}, 4}},
      {{0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x0D, 0x00}, true, {{'a', '\n'}, 1}},
      {{0x61, 0x00, 0x0D, 0x00, 0x0A, 0x00}, false, {{'a', '\r', '\n'}, 1}},
      {{0x0D, 0x00, 0xAC, 0x20, 0x0D, 0x00}, true, {{0x20AC}, 2}},
      {{0x3D, 0xD8, 0x0D, 0x00, 0x00, 0xDE}, true, {{0xD83D, 0xDE00}, 4}},  // a CR between halves breaks the pair
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.bytes));
    EXPECT_EQ(load(row.bytes, row.drop_cr), row.expected);
  }
}

TEST(Utf16, EncodingWritesPairsAndLineEnds) {
  const std::vector<uint8_t> latin1 = {'a', 0xE9, '\n'};
  const std::vector<uint16_t> bmp = {0x20AC, '\n', 0xD800};
  const std::vector<uint32_t> wide = {0x1F600, 0x10000, 0x10FFFF, '\n'};
  EXPECT_EQ(utf16_from_units(text_of(latin1), false), std::u16string(u"a\u00E9\n"));
  EXPECT_EQ(utf16_from_units(text_of(latin1), true), std::u16string(u"a\u00E9\r\n"));
  EXPECT_EQ(utf16_from_units(text_of(bmp), true), (std::u16string{0x20AC, '\r', '\n', 0xD800}));
  EXPECT_EQ(utf16_from_units(text_of(wide), true), (std::u16string{0xD83D, 0xDE00, 0xD800, 0xDC00, 0xDBFF, 0xDFFF, '\r', '\n'}));
  EXPECT_EQ(utf16_from_units(UnitText{}, true), u"");
}

TEST(Utf16, AboveTheLimitRaisesInvalidChar) {
  const std::vector<uint32_t> wide = {0x41, 0x110000};
  expect_invalid_char([&] { utf16_from_units(text_of(wide), false); }, 0x110000);
}

TEST(Utf16, ByteStringsWidenByteByByte) {
  EXPECT_EQ(cstring_to_utf16(""), u"");
  EXPECT_EQ(cstring_to_utf16("Qel\xE9\xFF"), (std::u16string{'Q', 'e', 'l', 0xE9, 0xFF}));
}

}  // namespace
}  // namespace qel

// UTF-8 encoders: single code points, bounded writes, runs of text units.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-encode.h"
#include "tests/series/text-fixtures.h"

namespace qel {
namespace {

Bytes encode(uint32_t code_point) {
  uint8_t bytes[4];
  return Bytes(bytes, bytes + utf8_encode_char(code_point, bytes));
}

Bytes as_bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

TEST(Utf8Encode, CodePointsAndTheirSizes) {
  const std::pair<uint32_t, Bytes> rows[] = {
      {0x41, {0x41}},
      {0xE9, {0xC3, 0xA9}},
      {0x7FF, {0xDF, 0xBF}},
      {0x20AC, {0xE2, 0x82, 0xAC}},
      {0xD800, {0xED, 0xA0, 0x80}},  // a surrogate held in a string keeps its three bytes
      {0x1F600, {0xF0, 0x9F, 0x98, 0x80}},
      {0x10FFFF, {0xF4, 0x8F, 0xBF, 0xBF}},
  };
  for (const auto& [code_point, bytes] : rows) {
    EXPECT_EQ(encode(code_point), bytes) << std::hex << code_point;
    EXPECT_EQ(utf8_char_size(code_point), bytes.size()) << std::hex << code_point;
  }
}

TEST(Utf8Encode, AnEncodedSurrogateDoesNotDecode) {
  Bytes bytes = encode(0xDC00);
  EXPECT_EQ(utf8_decode_checked(bytes.data(), bytes.data() + bytes.size()).status, Utf8Status::ill_formed);
}

TEST(Utf8Encode, AboveTheLimitRaisesInvalidChar) {
  uint8_t out[4];
  const std::vector<uint32_t> text = {0x41, 0x110000};
  expect_invalid_char([&] { utf8_encode_char(0x110000, out); }, 0x110000);
  expect_invalid_char([&] { utf8_char_size(0x200000); }, 0x200000);
  expect_invalid_char([&] { utf8_encode_char_bounded(0x110000, out, 4); }, 0x110000);
  expect_invalid_char([&] { utf8_byte_count(text_of(text)); }, 0x110000);
  expect_invalid_char([&] { utf8_from_units(text_of(text), false); }, 0x110000);
  expect_invalid_char([&] { utf8_encode_units_bounded(text_of(text), out, 1); }, 0x110000);
}

TEST(Utf8Encode, TheBoundedEncoderCutsASequenceAtItsRoom) {
  const Bytes full = {0xF0, 0x9F, 0x98, 0x80};
  for (size_t room = 0; room <= 5; ++room) {
    Bytes out(4, 0);
    size_t written = utf8_encode_char_bounded(0x1F600, out.data(), room);
    Bytes expected = full;
    std::fill(expected.begin() + static_cast<ptrdiff_t>(std::min<size_t>(room, 4)), expected.end(), 0);
    EXPECT_EQ(written, std::min<size_t>(room, 4)) << room;
    EXPECT_EQ(out, expected) << room;
  }
}

TEST(Utf8Encode, TextInEveryUnit) {
  const std::vector<uint8_t> latin1 = {'a', 0xE9, '\n', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 0xFF};
  const std::vector<uint16_t> bmp = {'a', 0x20AC, '\n', 0xD800};
  const std::vector<uint32_t> wide = {'a', 0x1F600, '\n'};
  EXPECT_EQ(as_bytes(utf8_from_units(text_of(latin1), false)),
            Bytes({'a', 0xC3, 0xA9, '\n', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 0xC3, 0xBF}));
  EXPECT_EQ(as_bytes(utf8_from_units(text_of(latin1), true)),
            Bytes({'a', 0xC3, 0xA9, '\r', '\n', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 0xC3, 0xBF}));
  EXPECT_EQ(as_bytes(utf8_from_units(text_of(bmp), true)), Bytes({'a', 0xE2, 0x82, 0xAC, '\r', '\n', 0xED, 0xA0, 0x80}));
  EXPECT_EQ(as_bytes(utf8_from_units(text_of(wide), false)), Bytes({'a', 0xF0, 0x9F, 0x98, 0x80, '\n'}));
  EXPECT_EQ(utf8_byte_count(text_of(latin1)), 15u);
  EXPECT_EQ(utf8_byte_count(text_of(wide)), 6u);
  EXPECT_EQ(utf8_from_units(UnitText{}, true), "");
}

TEST(Utf8Encode, BoundedTextStopsAtTheRoom) {
  const std::vector<uint16_t> text = {'a', 0xE9, 0x20AC, 'z'};
  for (size_t room : {0, 1, 2, 4, 6, 7, 8}) {
    Bytes out(8, 0);
    size_t written = utf8_encode_units_bounded(text_of(text), out.data(), room);
    EXPECT_EQ(written, std::min<size_t>(room, 7)) << room;
    Bytes expected = {'a', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 'z', 0};
    std::fill(expected.begin() + static_cast<ptrdiff_t>(written), expected.end(), 0);
    EXPECT_EQ(out, expected) << room;
  }
}

}  // namespace
}  // namespace qel

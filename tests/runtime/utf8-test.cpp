// The shared UTF-8 encoder, invalid code points included.
#include <gtest/gtest.h>

#include <vector>

#include "runtime/utf8.h"

namespace qel {
namespace {

std::vector<uint8_t> encode(uint32_t code_point) {
  uint8_t bytes[4];
  return {bytes, bytes + utf8_encode(code_point, bytes)};
}

TEST(Utf8Encode, EveryLengthAndTheReplacements) {
  EXPECT_EQ(encode('Q'), (std::vector<uint8_t>{0x51}));
  EXPECT_EQ(encode(0xE9), (std::vector<uint8_t>{0xC3, 0xA9}));
  EXPECT_EQ(encode(0x20AC), (std::vector<uint8_t>{0xE2, 0x82, 0xAC}));
  EXPECT_EQ(encode(0x10348), (std::vector<uint8_t>{0xF0, 0x90, 0x8D, 0x88}));
  EXPECT_EQ(encode(0x1F600), (std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}));
  EXPECT_EQ(encode(0xD800), (std::vector<uint8_t>{0xEF, 0xBF, 0xBD}));
  EXPECT_EQ(encode(0xDFFF), (std::vector<uint8_t>{0xEF, 0xBF, 0xBD}));
  EXPECT_EQ(encode(0x110000), (std::vector<uint8_t>{0xEF, 0xBF, 0xBD}));
}

}  // namespace
}  // namespace qel

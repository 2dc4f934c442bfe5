// MurmurHash3, the word hash and the string hash over code points.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "memory-fixture.h"
#include "runtime/murmur-hash.h"
#include "runtime/value-hash.h"

namespace qel {
namespace {

TEST(MurmurHash, KnownVectors) {
  struct Row {
    const char* text;
    uint32_t seed;
    uint32_t hash;
  };
  const Row rows[] = {
      {"abc", 0, 0xB3DD93FA},
      {"The quick brown fox jumps over the lazy dog", 0x9747B28C, 0x2FA826CD},
      {"abcde", 7, 0xB5138433},
      {"", 0, 0},
      {"", 1, 0x514E28B7},
  };
  for (const Row& row : rows) EXPECT_EQ(murmur3_x86_32(row.text, std::strlen(row.text), row.seed), row.hash) << row.text;
  EXPECT_EQ(word_hash(42), 0x087FCD5Cu);
  EXPECT_EQ(hash_bytes("abc", 3), murmur3_x86_32("abc", 3, kHashSeed));
}

// A text of code points in the given unit.
std::vector<uint8_t> units_of(const std::u32string& text, unsigned unit) {
  std::vector<uint8_t> bytes(text.size() * unit);
  for (size_t i = 0; i < text.size(); ++i) code_point_write(bytes.data() + i * unit, unit, text[i]);
  return bytes;
}

uint32_t text_hash(const std::u32string& text, unsigned unit, bool case_sensitive) {
  std::vector<uint8_t> bytes = units_of(text, unit);
  return hash_text({bytes.data(), text.size(), unit}, case_sensitive);
}

TEST(StringHash, AlikeInEveryUnitAndFoldedUnlessCaseSensitive) {
  for (unsigned unit : {2u, 4u}) {
    EXPECT_EQ(text_hash(U"Tree", 1, false), text_hash(U"Tree", unit, false)) << unit;
    EXPECT_EQ(text_hash(U"Tree", 1, true), text_hash(U"Tree", unit, true)) << unit;
  }
  EXPECT_EQ(text_hash(U"TREE", 1, false), text_hash(U"tree", 1, false));
  EXPECT_NE(text_hash(U"TREE", 1, true), text_hash(U"tree", 1, true));
  // Beyond ASCII the fold is the upper-case map: ÿ (U+00FF) in 1-byte text, Ω in 2-byte text.
  EXPECT_EQ(text_hash(U"\u00FF", 1, false), text_hash(U"\u0178", 2, false));
  EXPECT_EQ(text_hash(U"\u03C9mega", 2, false), text_hash(U"\u03A9MEGA", 4, false));
  // Each code point is one 32-bit block and the length is 4 x code points.
  const uint32_t blocks[] = {'T', 'R', 'E', 'E'};
  EXPECT_EQ(text_hash(U"tree", 1, false), murmur3_x86_32(blocks, sizeof blocks, kHashSeed));
}

using StringHashValue = MemoryTest;

TEST_F(StringHashValue, HashesFromTheIndexAndRejectsABrokenUnit) {
  NodeId text = byte_series_of("xxTree");
  series_buffer(text)->flags = (series_buffer(text)->flags & ~kSeriesUnitMask) | 1;
  NodeId plain = byte_series_of("Tree");
  EXPECT_EQ(hash_string_value(string_cell(text, 2), false), hash_string_value(string_cell(plain), false));
  EXPECT_EQ(hash_string_value(string_cell(text, 9), false), text_hash(U"", 1, false));
  series_buffer(text)->flags = (series_buffer(text)->flags & ~kSeriesUnitMask) | 3;
  EXPECT_EXIT(hash_string_value(string_cell(text), false), ::testing::ExitedWithCode(101), "");
}

}  // namespace
}  // namespace qel

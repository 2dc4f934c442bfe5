// The string hash: alike in every unit width, folded unless case-sensitive, from a string's index.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "datatypes/series/case-map.h"
#include "memory-fixture.h"
#include "runtime/text-hash.h"
#include "runtime/value-hash.h"

namespace qel {
namespace {

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

// The narrowest unit that holds every code point of the text.
unsigned narrowest_unit(const std::u32string& text) {
  unsigned unit = 1;
  for (char32_t c : text) unit = std::max(unit, c > 0xFFFF ? 4u : c > 0xFF ? 2u : 1u);
  return unit;
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
  // Texts whose code points all lie below 256 hash as those bytes.
  const XXH64_hash_t tree = XXH3_64bits("TREE", 4);
  EXPECT_EQ(text_hash(U"tree", 2, false), static_cast<uint32_t>(tree ^ (tree >> 32)));
}

// Texts of every length around the 8-byte fold steps and the streamed 256-unit steps, with
// letters, non-letters and code points whose fold leaves Latin-1 or needs four bytes, at the
// start, the middle or the end: each pair equal up to case hashes alike folded, in every unit
// that holds it, and apart case-sensitively.
TEST(StringHash, LongAndMixedTextsInEveryUnit) {
  const std::u32string pieces[] = {U"a", U"Z", U"q", U"@", U"`", U"{", U"~", U"\u00E9", U"\u00FF", U"\u00B5",
                                   U"\u03C9", U"\U0001F600"};
  for (size_t length : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 255u, 256u, 257u, 600u}) {
    for (const std::u32string& odd : pieces) {
      for (size_t at : {size_t{0}, length / 2, length - 1}) {
        std::u32string lower;
        for (size_t i = 0; i < length; ++i) lower += static_cast<char32_t>(U'a' + i % 26);
        lower.replace(at, 1, odd);
        std::u32string upper;
        for (char32_t c : lower) upper += static_cast<char32_t>(unicode_case_map(c, Case::upper));
        const uint32_t folded = text_hash(lower, narrowest_unit(lower), false);
        for (unsigned unit = narrowest_unit(upper); unit <= 4; unit *= 2)
          ASSERT_EQ(text_hash(upper, unit, false), folded) << length << " " << at << " " << unit;
        for (unsigned unit = narrowest_unit(lower); unit <= 4; unit *= 2)
          ASSERT_EQ(text_hash(lower, unit, true), text_hash(lower, narrowest_unit(lower), true)) << length;
        if (lower != upper) {
          ASSERT_NE(text_hash(lower, 4, true), text_hash(upper, 4, true)) << length << " " << at;
        }
      }
    }
  }
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

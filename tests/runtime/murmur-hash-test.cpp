// MurmurHash3 and the word hash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/murmur-hash.h"

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

}  // namespace
}  // namespace qel

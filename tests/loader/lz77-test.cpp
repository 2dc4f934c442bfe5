// The runtime's chunked LZ77 format: known streams, strict rejection of bad ones without reading
// outside the input, and encoder round trips.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "loader/compression/lz77.h"
#include "tests/loader/peer-streams.h"

namespace qel {
namespace {

// The stream in a buffer of its exact size, so a read past its end shows under the sanitizers.
std::optional<Bytes> decode_exact(const Bytes& stream, int64_t cap = kCodecOutputCap) {
  std::unique_ptr<uint8_t[]> exact(new uint8_t[stream.size()]);
  std::copy(stream.begin(), stream.end(), exact.get());
  return decompress_bytes({exact.get(), stream.size()}, cap);
}

TEST(Lz77Decode, KnownStreams) {
  struct Case {
    const char* hex;
    std::string text;
  };
  const Case cases[] = {
      {"080000000c0000000c000000c2887508", "abababababab"},
      {"0d0000000500000004000000f0060001000000f200", "xxxxy"},  // two chunks
      {"0000000000000000", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hex);
    std::optional<Bytes> decoded = decode_exact(from_hex(c.hex));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(std::string(decoded->begin(), decoded->end()), c.text);
  }
}

TEST(Lz77Decode, BadStreamsAreRejected) {
  struct Case {
    const char* name;
    const char* hex;
  };
  const Case cases[] = {
      {"a chunk opening with a match", "0600000003000000030000000300"},
      {"chunk length 0", "080000000c00000000000000c2887508"},
      {"chunk length 0x100001", "080000000c00000001001000c2887508"},
      {"decoded size 0x7FFFFFFF in 20 bytes", "0c000000ffffff7f0c000000c288750800000000"},
      {"packed size beyond the input", "090000000c0000000c000000c2887508"},
      {"a match past the chunk's end", "080000000c00000008000000c2887508"},
      {"decoded size larger than the chunks", "080000000d0000000c000000c2887508"},
      {"decoded size smaller than the chunks", "080000000b0000000c000000c2887508"},
      {"bits past the packed area", "070000000c0000000c000000c28875"},
      {"header cut short", "0800000000"},
      {"negative packed size", "f8ffffff0c0000000c000000c2887508"},
  };
  for (const Case& c : cases) EXPECT_FALSE(decode_exact(from_hex(c.hex))) << c.name;
  // Within its cap it decodes; a byte below, it does not.
  EXPECT_TRUE(decode_exact(from_hex("080000000c0000000c000000c2887508"), 12));
  EXPECT_FALSE(decode_exact(from_hex("080000000c0000000c000000c2887508"), 11));
}

// Text-like bytes with repeats near and far, or random ones.
Bytes sample(std::mt19937& random, size_t length, bool text) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) {
    if (text && i > 600 && random() % 3 == 0)
      data[i] = data[i - 1 - random() % (random() % 2 ? 12 : 600)];
    else
      data[i] = static_cast<uint8_t>(text ? "abcdefgh ,.\n"[random() % 12] : random());
  }
  return data;
}

// Encodes into a buffer of the input's size and decodes again; -1 stands for refused.
int32_t round_trip(const Bytes& input) {
  Bytes packed(input.size());
  std::unique_ptr<uint8_t[]> exact(new uint8_t[input.size()]);
  std::copy(input.begin(), input.end(), exact.get());
  int32_t size = compress_bytes(exact.get(), static_cast<int32_t>(input.size()), packed.data());
  if (size < 0) return size;
  packed.resize(static_cast<size_t>(size));
  std::optional<Bytes> decoded = decode_exact(packed);
  EXPECT_TRUE(decoded && *decoded == input) << input.size();
  return size;
}

TEST(Lz77Encode, RoundTrips) {
  std::mt19937 random(112);
  EXPECT_EQ(compress_bytes(Bytes(127, 'a').data(), 127, Bytes(127).data()), -1);
  EXPECT_GT(round_trip(Bytes(128, 'a')), 0);  // the smallest input taken
  // One byte repeated: a literal, then matches of 566 bytes one back.
  // 176 full matches and one of 383 bytes, 22 bits each.
  EXPECT_EQ(round_trip(Bytes(100000, 'q')), 8 + 4 + (9 + 177 * 22 + 7) / 8);
  for (size_t length : {128u, 300u, 5000u, 70000u, 300000u}) round_trip(sample(random, length, true));
  EXPECT_EQ(round_trip(sample(random, 5000, false)), -1) << "random bytes do not shrink by 8";
  // Three chunks; the last two begin where the one before ended its bits.
  Bytes large = sample(random, 3 << 20, true);
  EXPECT_GT(round_trip(large), 0);
}

// Mutated streams of every kind: rejected or decoded, never a read outside the input (the
// sanitize preset runs this too), never more than the cap.
TEST(Lz77Fuzz, MutatedStreamsNeverCrash) {
  std::mt19937 random(2026);
  for (int input_round = 0; input_round < 40; ++input_round) {
    Bytes input = sample(random, 128 + random() % 4000, random() % 4 != 0);
    Bytes valid(input.size());
    int32_t size = compress_bytes(input.data(), static_cast<int32_t>(input.size()), valid.data());
    if (size < 0) continue;
    valid.resize(static_cast<size_t>(size));
    for (int round = 0; round < 400; ++round) {
      Bytes packed = valid;
      for (unsigned n = 1 + random() % 4; n > 0; --n) {
        size_t at = random() % packed.size();
        switch (random() % 3) {
          case 0: packed[at] ^= static_cast<uint8_t>(1u << (random() % 8)); break;
          case 1: packed[at] = static_cast<uint8_t>(random()); break;
          default: packed.resize(at + 1); break;
        }
      }
      std::optional<Bytes> decoded = decode_exact(packed, 8192);
      if (decoded) {
        EXPECT_LE(decoded->size(), 8192u);
      }
    }
  }
}

}  // namespace
}  // namespace qel

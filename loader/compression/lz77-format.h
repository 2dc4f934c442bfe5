// lz77-format.h: the limits and prefix codes the chunked LZ77 encoder and decoder share.
#pragma once

#include <array>
#include <cstdint>

namespace qel::lz77 {

constexpr size_t kHeaderSize = 8;           // packed size, decoded size
constexpr int64_t kMaxChunk = 0x100000;     // decoded bytes per chunk
constexpr int32_t kMinMatch = 3;
constexpr int32_t kMaxMatch = 566;          // 3 + the largest length code, 563
constexpr int32_t kMaxDistance = 0x40000;
// The most a packed byte can expand to: a 566-byte match costs 22 bits.
constexpr int64_t kMaxExpansion = 206;

// Length codes (L = match length - 3): a run of 0 bits ended by a 1 picks the group (five 0
// bits and no 1 for the last), then `value_bits` bits are added to the group's base.
struct LengthGroup {
  uint32_t base;
  uint32_t value_bits;
};
constexpr std::array<LengthGroup, 6> kLengthGroups = {{{0, 2}, {4, 2}, {8, 2}, {12, 3}, {20, 5}, {52, 9}}};

// Distance codes (d = distance - 1): 4 bits k; with j = k + 2, d is the next 3 bits when j is 2,
// else 2^j plus the next j bits.
constexpr uint32_t kDistanceSelectorBits = 4;
constexpr uint32_t kSmallDistanceBits = 3;

}  // namespace qel::lz77

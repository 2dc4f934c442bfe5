// lz77-encode.cpp: the chunked LZ77 encoder: hash heads for 3 and 4 bytes, a bounded chain
// search that makes a farther match earn its place with a longer length.
#include <algorithm>
#include <memory>
#include <vector>

#include "loader/compression/bit-writer.h"
#include "loader/compression/byte-order.h"
#include "loader/compression/lz77-format.h"
#include "loader/compression/lz77.h"
#include "loader/compression/match-length.h"

namespace qel {
namespace {

constexpr int32_t kSmallestInput = 128;
constexpr uint32_t kHash3Mask = 0x7FFFF;
constexpr uint32_t kHash4Mask = 0xFFFFF;
constexpr int32_t kChainMask = 0x3FFFF;
constexpr int kChainSteps = 256;
// A 3-byte match this far back costs more than its literals.
constexpr int32_t kFarestShortMatch = 0x10000;

struct Match {
  int32_t length = 2;  // anything shorter than 3 is no match
  int32_t distance = 0;
};

// The work tables of one call (about 8 MB, so they live on the heap): positions by hash (-1
// for none), the chain of earlier positions with the same 4-byte hash, and the chunk with room
// after it, so hashes and the quick rejection test may read past the chunk's end.
class Lz77Encoder {
 public:
  explicit Lz77Encoder(int32_t longest_chunk)
      : heads_(kHeadCount, -1), chain_(kChainMask + 1), chunk_(static_cast<size_t>(longest_chunk) + lz77::kMaxMatch) {}

  void encode_chunk(const uint8_t* input, int32_t length, BitWriter& writer);

 private:
  static constexpr size_t kHeadCount = (kHash3Mask + 1) + (kHash4Mask + 1);
  const int32_t* head3() const { return heads_.data(); }
  const int32_t* head4() const { return heads_.data() + kHash3Mask + 1; }

  Match find_match(int32_t p, int32_t longest) const;
  void insert(int32_t p) {
    heads_[hash3_] = p;
    chain_[p & kChainMask] = head4()[hash4_];
    heads_[kHash3Mask + 1 + hash4_] = p;
    hash3_ = (hash3_ * 128 + chunk_[p + 3]) & kHash3Mask;
    hash4_ = (hash4_ * 32 + chunk_[p + 4]) & kHash4Mask;
  }

  std::vector<int32_t> heads_;
  std::vector<int32_t> chain_;
  std::vector<uint8_t> chunk_;
  bool first_chunk_ = true;
  uint32_t hash3_ = 0;
  uint32_t hash4_ = 0;
};

// How many times `distance` / 16 must lose three bits before it is no larger than `best`: the
// extra length a candidate that far back must bring.
int32_t distance_penalty(int32_t distance, int32_t best) {
  int32_t penalty = 0;
  for (int32_t scaled = distance / 16; scaled > best; scaled >>= 3) ++penalty;
  return penalty;
}

Match Lz77Encoder::find_match(int32_t p, int32_t longest) const {
  const uint8_t* at = chunk_.data() + p;
  int32_t window = std::max(0, p - lz77::kMaxDistance);
  Match best;
  int32_t candidate = head3()[hash3_];
  if (candidate >= window && chunk_[candidate] == *at) {
    int32_t length = match_length(chunk_.data() + candidate, at, longest);
    if (length > best.length) best = {length, p - candidate};
  }
  candidate = head4()[hash4_];
  for (int steps = 0; best.length < longest && steps < kChainSteps && candidate >= window; ++steps) {
    const uint8_t* earlier = chunk_.data() + candidate;
    if (earlier[best.length] == at[best.length]) {
      int32_t length = match_length(earlier, at, longest);
      if (length > best.length + distance_penalty(p - candidate, best.distance)) best = {length, p - candidate};
    }
    candidate = chain_[candidate & kChainMask];
  }
  if (best.length == lz77::kMinMatch && best.distance > kFarestShortMatch) return {};
  return best;
}

void put_length_code(BitWriter& writer, uint32_t value) {
  size_t group = 0;
  while (group + 1 < lz77::kLengthGroups.size() && value >= lz77::kLengthGroups[group + 1].base) ++group;
  if (group < 5) writer.put(1u << group, static_cast<unsigned>(group + 1));  // group 0 bits, then a 1
  else writer.put(0, 5);
  writer.put(value - lz77::kLengthGroups[group].base, lz77::kLengthGroups[group].value_bits);
}

void put_distance_code(BitWriter& writer, uint32_t value) {
  uint32_t j = 2;
  while (value >= (2u << j)) ++j;
  writer.put(j - 2, lz77::kDistanceSelectorBits);
  if (j == 2) writer.put(value, lz77::kSmallDistanceBits);
  else writer.put(value - (1u << j), j);
}

void Lz77Encoder::encode_chunk(const uint8_t* input, int32_t length, BitWriter& writer) {
  // Matches never reach into an earlier chunk.
  if (!first_chunk_) std::fill(heads_.begin(), heads_.end(), -1);
  first_chunk_ = false;
  std::copy(input, input + length, chunk_.begin());
  std::fill_n(chunk_.begin() + length, lz77::kMaxMatch, 0);
  hash3_ = 0;
  hash4_ = 0;
  for (int i = 0; i < 3; ++i) hash3_ = (hash3_ * 128 + chunk_[i]) & kHash3Mask;
  for (int i = 0; i < 4; ++i) hash4_ = (hash4_ * 32 + chunk_[i]) & kHash4Mask;

  writer.put(static_cast<uint32_t>(length), 32);
  for (int32_t p = 0; p < length;) {
    Match match = find_match(p, std::min(lz77::kMaxMatch, length - p));
    if (match.length < lz77::kMinMatch) {
      writer.put(uint32_t{chunk_[p]} << 1, 9);  // flag 0, then the byte
      insert(p++);
      continue;
    }
    writer.put(1, 1);
    put_length_code(writer, static_cast<uint32_t>(match.length - lz77::kMinMatch));
    put_distance_code(writer, static_cast<uint32_t>(match.distance - 1));
    for (int32_t end = p + match.length; p < end;) insert(p++);
  }
  writer.finish();  // the chunk's last bits end their byte with 0 bits
}

}  // namespace

int32_t compress_bytes(const uint8_t* input, int32_t length, uint8_t* output) {
  if (length < kSmallestInput) return -1;
  const int64_t room = length - static_cast<int64_t>(lz77::kHeaderSize);
  BitWriter writer(output + lz77::kHeaderSize, room);
  auto encoder = std::make_unique<Lz77Encoder>(static_cast<int32_t>(std::min<int64_t>(length, lz77::kMaxChunk)));
  for (int32_t at = 0; at < length; at += static_cast<int32_t>(lz77::kMaxChunk)) {
    encoder->encode_chunk(input + at, static_cast<int32_t>(std::min<int64_t>(lz77::kMaxChunk, length - at)), writer);
    if (writer.overflowed()) return -1;
  }
  write_little_endian_32(output, static_cast<uint32_t>(writer.count()));
  write_little_endian_32(output + 4, static_cast<uint32_t>(length));
  return static_cast<int32_t>(writer.count() + lz77::kHeaderSize);
}

}  // namespace qel

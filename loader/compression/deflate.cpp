// deflate.cpp: a fast single-block encoder: fixed codes, four candidate positions per hash bucket,
// the first acceptable candidate taken, no lazy matching.
//
// The output is fixed byte for byte, so that the same input always gives the same stream: every
// choice below is part of that (which positions are hashed, which slot is read and which is
// overwritten, how far a match extends).
#include "loader/compression/deflate.h"

#include <array>
#include <bit>
#include <climits>
#include <cstring>

#include "loader/compression/bit-writer.h"
#include "loader/compression/huffman-table.h"
#include "loader/compression/match-length.h"

namespace qel {
namespace {

constexpr size_t kBucketCount = 1024;
constexpr size_t kSlotsPerBucket = 4;
constexpr int32_t kWindow = 0x8000;  // a match reaches less than this far back
constexpr int32_t kMinMatch = 3;
constexpr int32_t kMaxMatch = 258;
constexpr unsigned kEndOfBlock = 256;

// A fixed code ready to write: the code bit-reversed (the stream holds Huffman codes most
// significant bit first) followed by its extra bits, and the bits in all.
struct Code {
  uint32_t bits;
  uint32_t length;
};

// The fixed literal/length code: 8 bits for 0-143, 9 for 144-255, 7 for 256-279, 8 for 280-287.
constexpr Code fixed_literal_code(unsigned symbol) {
  if (symbol < 144) return {reverse_bits(0x30 + symbol, 8), 8};
  if (symbol < 256) return {reverse_bits(0x190 + symbol - 144, 9), 9};
  if (symbol < 280) return {reverse_bits(symbol - 256, 7), 7};
  return {reverse_bits(0xC0 + symbol - 280, 8), 8};
}

constexpr std::array<Code, 256> kLiteralCodes = [] {
  std::array<Code, 256> codes{};
  for (unsigned symbol = 0; symbol < codes.size(); ++symbol) codes[symbol] = fixed_literal_code(symbol);
  return codes;
}();

// Per match length minus 3: the length symbol's code with the extra bits after it. Symbols
// 257-264 take no extra bits; from 265 each group of four takes one more; 258 has its own 285.
constexpr std::array<Code, 256> kLengthCodes = [] {
  std::array<Code, 256> codes{};
  for (uint32_t offset = 0; offset < codes.size(); ++offset) {
    uint32_t symbol = 285;
    uint32_t extra_bits = 0;
    if (offset < 8) {
      symbol = 257 + offset;
    } else if (offset < 255) {
      uint32_t top = 31 - static_cast<uint32_t>(std::countl_zero(offset));
      extra_bits = top - 2;
      symbol = 257 + 4 * (top - 1) + ((offset >> extra_bits) & 3);
    }
    Code code = fixed_literal_code(symbol);
    uint32_t extra = offset == 255 ? 0 : offset & ((1u << extra_bits) - 1);
    codes[offset] = {code.bits | extra << code.length, code.length + extra_bits};
  }
  return codes;
}();

// The distance code of a distance 1-32768: a 5-bit symbol, then its extra bits.
Code distance_code(uint32_t distance) {
  uint32_t offset = distance - 1;
  if (offset < 4) return {reverse_bits(offset, 5), 5};
  uint32_t top = 31 - static_cast<uint32_t>(std::countl_zero(offset));
  uint32_t extra_bits = top - 1;
  uint32_t symbol = 2 * top + ((offset >> extra_bits) & 1);
  return {reverse_bits(symbol, 5) | (offset & ((1u << extra_bits) - 1)) << 5, 5 + extra_bits};
}

// The three bytes at p as one number, the first the highest.
uint32_t three_bytes(const uint8_t* p) { return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2]; }

// The bucket of three bytes: an integer mix, so that similar prefixes spread over the table.
size_t bucket_of(uint32_t x) {
  x ^= x >> 16;
  x *= 0x7FEB352Du;
  x ^= x >> 15;
  x *= 0x846CA68Bu;
  x ^= x >> 16;
  return x & (kBucketCount - 1);
}

// Which of a bucket's slots the next position overwrites, chosen by the bytes there.
size_t slot_to_overwrite(uint32_t next_bytes) { return ((next_bytes >> 14) - next_bytes) & (kSlotsPerBucket - 1); }

class Deflater {
 public:
  Deflater(uint8_t* output, int64_t capacity, const uint8_t* input, int32_t length)
      : writer_(output, capacity), input_(input), length_(length) {}

  void run();
  const BitWriter& writer() const { return writer_; }

 private:
  // The match length found at p from its bucket, or 0.
  int32_t find_match(int32_t p, const std::array<int32_t, kSlotsPerBucket>& slots, int32_t& distance) const;
  void emit_literal(uint8_t byte) {
    const Code& code = kLiteralCodes[byte];
    writer_.put(code.bits, code.length);
  }
  void emit_match(int32_t length, int32_t distance) {
    const Code& code = kLengthCodes[length - kMinMatch];
    writer_.put(code.bits, code.length);
    Code far = distance_code(static_cast<uint32_t>(distance));
    writer_.put(far.bits, far.length);
  }

  BitWriter writer_;
  const uint8_t* input_;
  int32_t length_;
  // Positions by bucket; zero is a real position (the first byte), so a fresh table offers
  // position 0 everywhere and the byte comparison decides.
  std::array<std::array<int32_t, kSlotsPerBucket>, kBucketCount> buckets_{};
};

int32_t Deflater::find_match(int32_t p, const std::array<int32_t, kSlotsPerBucket>& slots, int32_t& distance) const {
  for (int32_t q : slots) {
    if (q >= p || p - q >= kWindow || std::memcmp(input_ + q, input_ + p, kMinMatch) != 0) continue;
    int32_t longest = length_ - p < kMaxMatch ? length_ - p : kMaxMatch;
    distance = p - q;
    return kMinMatch + match_length(input_ + q + kMinMatch, input_ + p + kMinMatch, longest - kMinMatch);
  }
  return 0;
}

void Deflater::run() {
  writer_.put(1, 1);  // the final block
  writer_.put(1, 2);  // fixed codes
  int32_t p = 0;
  // The first three positions and the last two are literals, hashing nothing.
  for (; p < length_ && p < kMinMatch; ++p) emit_literal(input_[p]);
  while (length_ - p >= kMinMatch) {
    auto& slots = buckets_[bucket_of(three_bytes(input_ + p))];
    int32_t distance = 0;
    int32_t length = find_match(p, slots, distance);
    if (length) {
      emit_match(length, distance);
    } else {
      emit_literal(input_[p]);
      length = 1;
    }
    // The step's position goes into its bucket, in a slot picked by the bytes where the next
    // step starts; when fewer than three remain there no later step reads a bucket again.
    int32_t next = p + length;
    if (length_ - next >= kMinMatch) slots[slot_to_overwrite(three_bytes(input_ + next))] = p;
    p = next;
  }
  for (; p < length_; ++p) emit_literal(input_[p]);
  writer_.put(fixed_literal_code(kEndOfBlock).bits, fixed_literal_code(kEndOfBlock).length);
  writer_.finish();
}

}  // namespace

CodecResult deflate_encode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap) {
  if (length < 0) return CodecResult::bad_data;
  Deflater deflater(output, size, input, length);  // 16 KB of buckets, zeroed per call
  deflater.run();
  int64_t produced = deflater.writer().count();
  if (produced > cap) return CodecResult::limit_reached;
  size = static_cast<int32_t>(produced);
  return deflater.writer().overflowed() ? CodecResult::output_too_small : CodecResult::done;
}

CodecResult deflate_framed(uint8_t* output, int32_t& size, std::span<const uint8_t> input, int64_t cap,
                           std::span<const uint8_t> header, std::span<const uint8_t> trailer) {
  const int32_t framing = static_cast<int32_t>(header.size() + trailer.size());
  const int32_t length = static_cast<int32_t>(input.size());
  if (size < framing) {
    size = length > INT32_MAX - framing ? INT32_MAX : length + framing;
    return CodecResult::bad_data;
  }
  int32_t body = size - framing;
  CodecResult result = deflate_encode(output + header.size(), body, input.data(), length, cap - framing);
  if (result == CodecResult::limit_reached) return result;
  size = body + framing;  // within the cap, so within int32 too
  if (result != CodecResult::done) return result;
  std::memcpy(output, header.data(), header.size());
  std::memcpy(output + header.size() + body, trailer.data(), trailer.size());
  return CodecResult::done;
}

}  // namespace qel

// lz77-decode.cpp: the chunked LZ77 decoder, strict about every field and bit it reads.
#include <bit>

#include "loader/compression/bit-reader.h"
#include "loader/compression/byte-order.h"
#include "loader/compression/lz77-format.h"
#include "loader/compression/lz77.h"

namespace qel {
namespace {

using lz77::kLengthGroups;

// The length code's L (a read past the packed area shows as the reader's overrun).
uint32_t read_length_code(BitReader& reader) {
  uint32_t zeros = static_cast<uint32_t>(std::countr_zero(reader.peek(5) | 32u));
  // A 1 ends the prefix, except after five 0 bits, where the last group starts at once.
  reader.drop(zeros < 5 ? zeros + 1 : 5);
  const lz77::LengthGroup& group = kLengthGroups[zeros];
  return group.base + reader.take(group.value_bits);
}

uint32_t read_distance_code(BitReader& reader) {
  uint32_t j = reader.take(lz77::kDistanceSelectorBits) + 2;
  if (j == 2) return reader.take(lz77::kSmallDistanceBits);
  return (1u << j) + reader.take(j);
}

// Decodes one chunk of `length` bytes onto the end of `output`; false on a bad item or bits
// past the packed area.
bool decode_chunk(BitReader& reader, std::vector<uint8_t>& output, size_t length) {
  size_t start = output.size();
  output.resize(start + length);
  uint8_t* chunk = output.data() + start;
  size_t produced = 0;
  while (produced < length) {
    if (reader.take(1) == 0) {
      chunk[produced++] = static_cast<uint8_t>(reader.take(8));
    } else {
      size_t match = read_length_code(reader) + lz77::kMinMatch;
      size_t distance = read_distance_code(reader) + 1;
      if (distance > produced || match > length - produced) return false;
      // Byte by byte: an overlapping copy repeats the pattern.
      for (size_t i = 0; i < match; ++i, ++produced) chunk[produced] = chunk[produced - distance];
    }
    if (reader.overrun()) return false;
  }
  return true;
}

}  // namespace

std::optional<std::vector<uint8_t>> decompress_bytes(std::span<const uint8_t> input, int64_t cap) {
  if (input.size() < lz77::kHeaderSize) return std::nullopt;
  int64_t packed = static_cast<int32_t>(read_little_endian_32(input.data()));
  int64_t decoded = static_cast<int32_t>(read_little_endian_32(input.data() + 4));
  if (packed < 0 || packed > static_cast<int64_t>(input.size() - lz77::kHeaderSize)) return std::nullopt;
  if (decoded < 0 || decoded > cap || decoded > packed * lz77::kMaxExpansion) return std::nullopt;

  BitReader reader(input.data() + lz77::kHeaderSize, static_cast<size_t>(packed));
  std::vector<uint8_t> output;
  while (reader.byte_offset() < static_cast<size_t>(packed)) {
    reader.align_to_byte();  // each chunk starts on a byte; the last one's padding is dropped
    int64_t length = reader.take(32);
    if (reader.overrun() || length < 1 || length > lz77::kMaxChunk) return std::nullopt;
    if (length > decoded - static_cast<int64_t>(output.size())) return std::nullopt;
    if (!decode_chunk(reader, output, static_cast<size_t>(length))) return std::nullopt;
  }
  if (static_cast<int64_t>(output.size()) != decoded) return std::nullopt;
  return output;
}

}  // namespace qel

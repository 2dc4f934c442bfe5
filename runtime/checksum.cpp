// checksum.cpp: CRC-32 by sixteen-byte slices over compile-time tables, Adler-32 by blocks that
// cannot overflow, and the internet checksum in a 64-bit sum.
#include "runtime/checksum.h"

#include <array>

namespace qel {

namespace {

constexpr uint32_t kCrcPolynomial = 0xEDB88320;

constexpr size_t kCrcSlice = 16;
using CrcTables = std::array<std::array<uint32_t, 256>, kCrcSlice>;

// tables[0][n] is the CRC register after shifting the byte n through; tables[k][n] is that of n
// followed by k zero bytes, so sixteen independent table loads advance the register by sixteen
// bytes at once.
constexpr CrcTables crc_tables() {
  CrcTables tables{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) != 0 ? kCrcPolynomial ^ (c >> 1) : c >> 1;
    tables[0][n] = c;
  }
  for (uint32_t n = 0; n < 256; ++n)
    for (size_t k = 1; k < kCrcSlice; ++k) tables[k][n] = tables[0][tables[k - 1][n] & 0xFF] ^ (tables[k - 1][n] >> 8);
  return tables;
}

constexpr CrcTables kCrcTables = crc_tables();

// The four bytes at p as a little-endian word, on any alignment.
inline uint32_t load_le32(const uint8_t* p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

constexpr uint32_t kAdlerModulus = 65521;
// The longest run after which b, started below the modulus, still fits in 32 bits:
// 255 n (n + 1) / 2 + (n + 1) (kAdlerModulus - 1) <= 2^32 - 1.
constexpr size_t kAdlerBlock = 5552;

}  // namespace

uint32_t crc32_update(uint32_t crc, std::span<const uint8_t> bytes) {
  const auto& t = kCrcTables;
  uint32_t c = ~crc;
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  // Each of the 16 bytes goes through the table of the bytes still to come after it.
  const auto word = [&t](uint32_t w, size_t after) {
    return t[after + 3][w & 0xFF] ^ t[after + 2][(w >> 8) & 0xFF] ^ t[after + 1][(w >> 16) & 0xFF] ^ t[after][w >> 24];
  };
  for (; n >= kCrcSlice; p += kCrcSlice, n -= kCrcSlice)
    c = word(load_le32(p) ^ c, 12) ^ word(load_le32(p + 4), 8) ^ word(load_le32(p + 8), 4) ^ word(load_le32(p + 12), 0);
  for (; n > 0; ++p, --n) c = t[0][(c ^ *p) & 0xFF] ^ (c >> 8);
  return ~c;
}

uint32_t crc32_compute(std::span<const uint8_t> bytes) { return crc32_update(0, bytes); }

uint32_t adler32_compute(std::span<const uint8_t> bytes) {
  uint32_t a = 1, b = 0;
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  while (n > 0) {
    const size_t block = n < kAdlerBlock ? n : kAdlerBlock;
    n -= block;
    // Eight bytes a step: b gains a eight times and each byte once for every step it is
    // summed in, which breaks the byte-to-byte chain through a without changing any sum.
    size_t k = 0;
    for (; k + 8 <= block; k += 8) {
      const uint8_t* q = p + k;
      b += 8 * a + 8u * q[0] + 7u * q[1] + 6u * q[2] + 5u * q[3] + 4u * q[4] + 3u * q[5] + 2u * q[6] + q[7];
      a += uint32_t{q[0]} + q[1] + q[2] + q[3] + q[4] + q[5] + q[6] + q[7];
    }
    for (; k < block; ++k) {
      a += p[k];
      b += a;
    }
    p += block;
    a %= kAdlerModulus;
    b %= kAdlerModulus;
  }
  return b << 16 | a;
}

uint16_t tcp_checksum(std::span<const uint8_t> bytes) {
  // 64 bits hold the sum of any input a series can be; folding until it fits 16 bits also takes
  // in the carries that each fold can make.
  uint64_t sum = 0;
  const size_t pairs = bytes.size() / 2;
  for (size_t k = 0; k < pairs; ++k) sum += uint64_t{bytes[2 * k]} << 8 | bytes[2 * k + 1];
  if (bytes.size() % 2 != 0) sum += uint64_t{bytes.back()} << 8;
  while (sum > 0xFFFF) sum = (sum >> 16) + (sum & 0xFFFF);
  return static_cast<uint16_t>(~sum & 0xFFFF);
}

}  // namespace qel

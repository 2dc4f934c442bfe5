// checksum.h: the CRC-32, Adler-32 and internet checksums over a run of bytes.
//
// Plain functions with no state beyond a table made at compile time, so the compression framings
// (gzip's CRC-32, zlib's Adler-32) call them directly.
#pragma once

#include <cstdint>
#include <span>

namespace qel {

// The CRC-32 of the bytes (reflected polynomial 0xEDB88320, start and final complement).
uint32_t crc32_compute(std::span<const uint8_t> bytes);

// The same, going on from the CRC of the bytes before (0 for none), for data that comes in parts.
uint32_t crc32_update(uint32_t crc, std::span<const uint8_t> bytes);

// The Adler-32 of the bytes: (b << 16) | a, both sums modulo 65521, a starting at 1.
uint32_t adler32_compute(std::span<const uint8_t> bytes);

// The 16-bit internet checksum: the complement of the ones'-complement sum of the bytes read as
// big-endian 16-bit words, an odd last byte the high byte of a word whose low byte is zero.
uint16_t tcp_checksum(std::span<const uint8_t> bytes);

}  // namespace qel

// byte-order.h: fixed-width integers read from stream bytes in either order.
#pragma once

#include <cstdint>

namespace qel {

inline uint32_t read_big_endian_32(const uint8_t* bytes) {
  return uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 | uint32_t{bytes[2]} << 8 | bytes[3];
}

inline uint16_t read_little_endian_16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

inline uint32_t read_little_endian_32(const uint8_t* bytes) {
  return uint32_t{read_little_endian_16(bytes)} | uint32_t{read_little_endian_16(bytes + 2)} << 16;
}

inline void write_big_endian_32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

inline void write_little_endian_32(uint8_t* bytes, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace qel

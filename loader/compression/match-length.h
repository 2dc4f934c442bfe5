// match-length.h: how far two runs of bytes agree, eight bytes a step.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace qel {

// The number of leading bytes `candidate` and `at` share, up to `longest`; reads no byte at or
// past `longest` in either.
inline int32_t match_length(const uint8_t* candidate, const uint8_t* at, int32_t longest) {
  int32_t length = 0;
  while (length + 8 <= longest) {
    uint64_t a, b;
    std::memcpy(&a, candidate + length, 8);
    std::memcpy(&b, at + length, 8);
    if (a != b) return length + std::countr_zero(a ^ b) / 8;  // the host is little-endian
    length += 8;
  }
  while (length < longest && candidate[length] == at[length]) ++length;
  return length;
}

}  // namespace qel

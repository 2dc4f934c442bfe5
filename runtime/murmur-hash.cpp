// murmur-hash.cpp: MurmurHash3 over bytes, and the case fold.
#include "runtime/murmur-hash.h"

#include <cstring>

#include "datatypes/series/case-map.h"

namespace qel {

uint32_t murmur3_x86_32(const void* data, size_t length, uint32_t seed) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  const size_t blocks = length / 4;
  uint32_t h = seed;
  for (size_t i = 0; i < blocks; ++i) {
    uint32_t k;
    std::memcpy(&k, bytes + 4 * i, 4);  // the machine is little-endian
    h = murmur_mix_block(h, k);
  }
  const uint8_t* tail = bytes + 4 * blocks;
  uint32_t k = 0;
  switch (length & 3) {
    case 3: k ^= uint32_t{tail[2]} << 16; [[fallthrough]];
    case 2: k ^= uint32_t{tail[1]} << 8; [[fallthrough]];
    case 1: k ^= tail[0]; h = murmur_mix_tail(h, k);
  }
  return murmur_fmix32(h ^ static_cast<uint32_t>(length));
}

uint32_t case_fold(uint32_t code_point) { return unicode_case_map(code_point, Case::upper); }

}  // namespace qel

// murmur-hash.cpp: MurmurHash3 over bytes and over code points.
#include "runtime/murmur-hash.h"

#include <array>
#include <cstring>
#include <span>

#include "datatypes/series/case-map.h"

namespace qel {

namespace {

// The fold of every Latin-1 code point: one load per unit of 1-byte text.
const std::array<uint32_t, 256> kLatin1Fold = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t c = 0; c < table.size(); ++c) table[c] = unicode_case_map(c, Case::upper);
  return table;
}();

// Mixes every code point of one unit's span, folded through `fold`.
template <class U, class Fold>
uint32_t mix_units(std::span<const U> units, Fold fold) {
  uint32_t h = kHashSeed;
  for (U unit : units) h = murmur_mix_block(h, fold(unit));
  return h;
}

}  // namespace

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

uint32_t hash_text(const UnitText& text, bool case_sensitive) {
  uint32_t h = visit_units(text, [&](auto units) {
    using U = typename decltype(units)::value_type;
    if (case_sensitive) return mix_units(units, [](U unit) { return uint32_t{unit}; });
    if constexpr (sizeof(U) == 1)
      return mix_units(units, [](U unit) { return kLatin1Fold[unit]; });
    else if constexpr (sizeof(U) == 2)
      return mix_units(units, [](U unit) {
        uint32_t mapped = kBmpToUpper[unit];
        return mapped != 0 ? mapped : uint32_t{unit};
      });
    else
      return mix_units(units, [](U unit) { return case_fold(unit); });
  });
  return murmur_fmix32(h ^ static_cast<uint32_t>(4 * text.length));
}

}  // namespace qel

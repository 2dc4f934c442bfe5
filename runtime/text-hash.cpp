// text-hash.cpp: XXH3 over the canonical form of text, with an 8-bytes-at-a-time fold of ASCII.
#include "runtime/text-hash.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <span>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include "datatypes/series/case-map.h"

namespace qel {

namespace {

// Code points written to the canonical form per step: short texts, the usual keys, are hashed in
// one call; longer ones are streamed in steps of this many.
constexpr size_t kStep = 256;
constexpr uint64_t kHighBits = 0x8080808080808080u;

// The fold of every Latin-1 code point; two of them (U+00B5, U+00FF) fold beyond U+00FF.
const std::array<uint32_t, 256> kLatin1Fold = [] {
  std::array<uint32_t, 256> table{};
  for (uint32_t c = 0; c < table.size(); ++c) table[c] = unicode_case_map(c, Case::upper);
  return table;
}();

// Eight ASCII bytes (every high bit clear) with their letters upper-cased: bit 7 of each byte
// of x + 0x1F is set from 'a' on, of x + 0x05 past 'z'; no sum carries into the next byte.
constexpr uint64_t upper_ascii8(uint64_t x) {
  const uint64_t letters = (x + 0x1F1F1F1F1F1F1F1Fu) & ~(x + 0x0505050505050505u) & kHighBits;
  return x ^ (letters >> 2);
}

uint64_t load8(const uint8_t* bytes) {
  uint64_t x;
  std::memcpy(&x, bytes, 8);
  return x;
}

// Eight bytes folded from `from` to `to`; false when one of them folds beyond U+00FF.
inline bool fold_latin1_8(const uint8_t* from, uint8_t* to) {
  uint64_t x = load8(from);
  if (!(x & kHighBits)) [[likely]] {
    x = upper_ascii8(x);
    std::memcpy(to, &x, 8);
    return true;
  }
  uint32_t wide = 0;
  for (size_t k = 0; k < 8; ++k) {
    const uint32_t folded = kLatin1Fold[from[k]];
    to[k] = static_cast<uint8_t>(folded);
    wide |= folded >> 8;
  }
  return wide == 0;
}

// The folded bytes of `count` Latin-1 units; false when one of them folds beyond U+00FF. The
// last step of eight overlaps the one before it rather than going unit by unit.
inline bool fold_latin1(const uint8_t* from, size_t count, uint8_t* to) {
  if (count < 8) {
    uint32_t wide = 0;
    for (size_t i = 0; i < count; ++i) {
      const uint32_t folded = kLatin1Fold[from[i]];
      to[i] = static_cast<uint8_t>(folded);
      wide |= folded >> 8;
    }
    return wide == 0;
  }
  bool narrow = true;
  size_t i = 0;
  for (; i + 8 <= count; i += 8) narrow &= fold_latin1_8(from + i, to + i);
  if (i < count) narrow &= fold_latin1_8(from + count - 8, to + count - 8);
  return narrow;
}

// Up to 16 bytes of 1-byte text folded in two words, the usual key's case: false, when a byte is
// not ASCII, for fold_latin1 to take over. `to` has room for 16 bytes.
inline bool fold_short_ascii(const uint8_t* from, size_t count, uint8_t* to) {
  uint64_t low = 0, high = 0;
  if (count >= 8) {
    low = load8(from);
    high = load8(from + count - 8);  // overlaps `low` below 16 bytes
  } else {
    std::memcpy(&low, from, count);
  }
  if ((low | high) & kHighBits) return false;
  low = upper_ascii8(low);
  std::memcpy(to, &low, 8);
  if (count >= 8) {
    high = upper_ascii8(high);
    std::memcpy(to + count - 8, &high, 8);
  }
  return true;
}

// XXH3 of a canonical form of `length` elements of type Out; fill(to, from, count) writes
// elements [from, from + count).
template <class Out, class Fill>
uint64_t hash_canonical(size_t length, Fill fill) {
  Out step[kStep];
  if (length <= kStep) {
    fill(step, 0, length);
    return XXH3_64bits(step, length * sizeof(Out));
  }
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  for (size_t from = 0; from < length; from += kStep) {
    const size_t count = std::min(kStep, length - from);
    fill(step, from, count);
    XXH3_64bits_update(&state, step, count * sizeof(Out));
  }
  return XXH3_64bits_digest(&state);
}

// The canonical form of units through a fold: bytes when every fold is below 256.
template <class U, class Fold>
uint64_t hash_folded(std::span<const U> units, Fold fold) {
  const bool narrow = std::all_of(units.begin(), units.end(), [&](U unit) { return fold(unit) < 0x100; });
  auto write = [&](auto* to, size_t from, size_t count) {
    using Out = std::remove_pointer_t<decltype(to)>;
    for (size_t k = 0; k < count; ++k) to[k] = static_cast<Out>(fold(units[from + k]));
  };
  if (narrow) return hash_canonical<uint8_t>(units.size(), write);
  return hash_canonical<uint32_t>(units.size(), write);  // the machine is little-endian
}

// Folded 1-byte text longer than one step, streamed; none when a code point folds beyond U+00FF.
[[gnu::noinline]] std::optional<uint64_t> hash_latin1_streamed(std::span<const uint8_t> units) {
  uint8_t step[kStep];
  XXH3_state_t state;
  XXH3_64bits_reset(&state);
  for (size_t from = 0; from < units.size(); from += kStep) {
    const size_t count = std::min(kStep, units.size() - from);
    if (!fold_latin1(units.data() + from, count, step)) return std::nullopt;
    XXH3_64bits_update(&state, step, count);
  }
  return XXH3_64bits_digest(&state);
}

// 1-byte text: case-sensitive, its own bytes; folded, the folded bytes, unless a code point
// folds beyond U+00FF.
uint64_t hash_latin1(std::span<const uint8_t> units, bool case_sensitive) {
  if (case_sensitive) return XXH3_64bits(units.data(), units.size());
  if (units.size() <= kStep) [[likely]] {
    uint8_t step[kStep];
    if (fold_latin1(units.data(), units.size(), step)) return XXH3_64bits(step, units.size());
  } else if (std::optional<uint64_t> streamed = hash_latin1_streamed(units)) {
    return *streamed;
  }
  return hash_folded(units, [](uint8_t unit) { return kLatin1Fold[unit]; });
}

// The 64-bit hash of any text.
[[gnu::noinline]] uint64_t hash_units(const UnitText& text, bool case_sensitive) {
  return visit_units(text, [&](auto units) -> uint64_t {
    using U = typename decltype(units)::value_type;
    if constexpr (sizeof(U) == 1) {
      return hash_latin1(units, case_sensitive);
    } else {
      if (case_sensitive) return hash_folded(units, [](U unit) { return uint32_t{unit}; });
      if constexpr (sizeof(U) == 2)
        return hash_folded(units, [](U unit) {
          const uint32_t mapped = kBmpToUpper[unit];
          return mapped != 0 ? mapped : uint32_t{unit};
        });
      else
        return hash_folded(units, [](U unit) { return unicode_case_map(unit, Case::upper); });
    }
  });
}

}  // namespace

uint32_t hash_text(const UnitText& text, bool case_sensitive) {
  uint8_t folded[16];
  const uint64_t h = text.unit == 1 && text.length <= sizeof folded && !case_sensitive &&
                             fold_short_ascii(text.data, text.length, folded)
                         ? XXH3_64bits(folded, text.length)
                         : hash_units(text, case_sensitive);
  return static_cast<uint32_t>(h ^ (h >> 32));
}

}  // namespace qel

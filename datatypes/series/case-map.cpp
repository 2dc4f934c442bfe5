// case-map.cpp: the case tables and the mapping of code points and text units.
#include "datatypes/series/case-map.h"

#include <algorithm>

#include "datatypes/series/string-unit.h"

namespace qel {

namespace {

#include "datatypes/series/case-tables.inc"

// Spreads a BMP pair list over a table indexed by code point; the compiler runs it, so the
// table lands in read-only data and start-up fills nothing.
consteval BmpCaseTable bmp_table(std::span<const CasePair> pairs) {
  BmpCaseTable table{};
  for (const CasePair& pair : pairs) {
    if (pair.from > 0xFFFF || pair.to > 0xFFFF || pair.to == 0) throw "a BMP pair must stay in the BMP";
    table[pair.from] = static_cast<uint16_t>(pair.to);
  }
  return table;
}

// The mapping of U+0000-U+00FF in full (no 0 entries), so a 1-byte text maps by one lookup.
consteval std::array<uint16_t, 256> latin1_table(const BmpCaseTable& bmp) {
  std::array<uint16_t, 256> table{};
  for (uint32_t c = 0; c < 256; ++c) table[c] = static_cast<uint16_t>(bmp[c] != 0 ? bmp[c] : c);
  return table;
}

// Answers how many units it mapped before one whose mapping does not fit U.
template <class U>
size_t map_units(U* units, size_t length, Case which) {
  for (size_t i = 0; i < length; ++i) {
    uint32_t mapped = unicode_case_map(units[i], which);
    if constexpr (sizeof(U) < 4) {
      if (mapped >> (8 * sizeof(U)) != 0) return i;
    }
    units[i] = static_cast<U>(mapped);
  }
  return length;
}

// The same for 1-byte units, through the Latin-1 part of the table.
size_t map_latin1_units(uint8_t* units, size_t length, const std::array<uint16_t, 256>& table) {
  for (size_t i = 0; i < length; ++i) {
    uint16_t mapped = table[units[i]];
    if (mapped > 0xFF) return i;
    units[i] = static_cast<uint8_t>(mapped);
  }
  return length;
}

}  // namespace

constinit const BmpCaseTable kBmpToUpper = bmp_table(kUpperBmpPairs);
constinit const BmpCaseTable kBmpToLower = bmp_table(kLowerBmpPairs);

namespace {
constexpr std::array<uint16_t, 256> kLatin1ToUpper = latin1_table(bmp_table(kUpperBmpPairs));
constexpr std::array<uint16_t, 256> kLatin1ToLower = latin1_table(bmp_table(kLowerBmpPairs));
}  // namespace

std::span<const CasePair> case_pairs_bmp(Case which) {
  return which == Case::upper ? std::span<const CasePair>(kUpperBmpPairs) : kLowerBmpPairs;
}

std::span<const CasePair> case_pairs_above_bmp(Case which) {
  return which == Case::upper ? std::span<const CasePair>(kUpperAboveBmpPairs) : kLowerAboveBmpPairs;
}

uint32_t case_map_above_bmp(uint32_t code_point, Case which) {
  std::span<const CasePair> pairs = case_pairs_above_bmp(which);
  auto found = std::lower_bound(pairs.begin(), pairs.end(), code_point,
                                [](const CasePair& pair, uint32_t from) { return pair.from < from; });
  return found != pairs.end() && found->from == code_point ? found->to : code_point;
}

size_t case_map_units_in_place(uint8_t* data, size_t length, unsigned unit, Case which) {
  if (unit == 1) return map_latin1_units(data, length, which == Case::upper ? kLatin1ToUpper : kLatin1ToLower);
  return with_unit_type(unit, [&](auto unit_type) {
    return map_units(reinterpret_cast<decltype(unit_type)*>(data), length, which);
  });
}

}  // namespace qel

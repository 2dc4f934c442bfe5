// case-map.h: the simple upper and lower case mappings of code points (Unicode 11.0).
//
// One map serves every case-insensitive operation of the system (compare, find, sort, set
// operations, hashing) as well as uppercase and lowercase. U+0000-U+FFFF map through two
// tables of 65,536 entries in read-only data, built by the compiler from the generated pair
// lists (entry n is code point n; 0 means it maps to itself); above U+FFFF a binary search runs
// over the pair lists. No mapping crosses U+FFFF in either direction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

enum class Case : uint8_t { upper, lower };

// One simple mapping: `from` maps to `to`.
struct CasePair {
  uint32_t from;
  uint32_t to;
};

using BmpCaseTable = std::array<uint16_t, 0x10000>;
extern const BmpCaseTable kBmpToUpper;
extern const BmpCaseTable kBmpToLower;

// The generated pair lists, sorted by from: those from U+0000-U+FFFF and those above.
std::span<const CasePair> case_pairs_bmp(Case which);
std::span<const CasePair> case_pairs_above_bmp(Case which);

// The mapping of a code point above U+FFFF, or the code point itself.
uint32_t case_map_above_bmp(uint32_t code_point, Case which);

// The code point in the chosen case, or the code point itself when it has no mapping.
inline uint32_t unicode_case_map(uint32_t code_point, Case which) {
  if (code_point > 0xFFFF) return case_map_above_bmp(code_point, which);
  uint32_t mapped = (which == Case::upper ? kBmpToUpper : kBmpToLower)[code_point];
  return mapped != 0 ? mapped : code_point;
}

// Maps the case of `length` units of `unit` bytes at data in place, first to last, and answers
// how many it mapped: all of them, or the index of the first whose mapping needs a wider unit
// (U+00FF and U+00B5 upper-case beyond Latin-1). The caller widens and goes on from there.
size_t case_map_units_in_place(uint8_t* data, size_t length, unsigned unit, Case which);

}  // namespace qel

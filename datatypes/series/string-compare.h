// string-compare.h: the one comparison of text behind equality, ordering, sorting, searching and
// the parse dialect's text matching.
//
// Comparison codes are those of action-lookup.h. Every code but strict-equal (2) and the
// case-sensitive sort order (8) compares code points through the upper-case map, so "abc" equals
// "ABC" and "ǅ" equals "ǆ", while "Straße" does not equal "STRASSE" (the map is one code point
// to one).
#pragma once

#include <cstdint>

#include <string_view>

#include "datatypes/series/string-unit.h"
#include "runtime/ascii-bytes.h"
#include "runtime/cell.h"

namespace qel {

// Whether a comparison code compares code points as they are.
constexpr bool compare_code_keeps_case(int32_t op) { return op == 2 || op == 8; }

// Compares two texts: -1, 0 or 1 as a is smaller, equal or greater. In match mode 0 means that
// b is a prefix of a (an empty b matches, except under code 12); otherwise under the equality
// codes (0, 1, 2, 12) texts of different lengths answer 1 at once, and under the others the
// first differing code point decides, then the lengths.
int32_t compare_text(UnitText a, UnitText b, int32_t op, bool match);

// Equality of two texts of 1-byte units without the general route, the usual hash! and map! key
// test: 1 when their lengths differ, 0 when they hold the same bytes (equal under every code), -1
// when only compare_text can tell (other units, or bytes that may differ only by case).
inline int32_t narrow_texts_equality(const UnitText& a, const UnitText& b) {
  if (a.unit != 1 || b.unit != 1) return -1;
  if (a.length != b.length) return 1;
  const std::string_view x(reinterpret_cast<const char*>(a.data), a.length);
  return same_bytes<false>(x, {reinterpret_cast<const char*>(b.data), b.length}) ? 0 : -1;
}

// The same on two text values from their indexes (a word-like operand by its name). Code 9
// (same?) answers 0 only for the same node at the same index; the same node and index answer 0
// at once under the equality codes.
int32_t string_compare_core(const Cell& value1, const Cell& value2, int32_t op, bool match);

// The text of a text value from its index, or of a word-like value's name.
UnitText text_of_value(const Cell& value);

// string-tag-shaped: whether the text at the value's index is "<", as many code points as the
// tag holds, then ">".
bool string_tag_shaped(const Cell& value, const Cell& tag);

// Whether the text at the value's index starts with the pattern: a text value in match mode under
// the code (2 keeps case; a tag! within its "<" and ">"), a char! against the code point at the
// index. Other patterns never match.
bool string_match_at(const Cell& value, const Cell& pattern, int32_t op);

}  // namespace qel

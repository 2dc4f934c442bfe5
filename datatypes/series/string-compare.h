// string-compare.h: the one comparison of text behind equality, ordering, sorting, searching and
// the parse dialect's text matching.
//
// Comparison codes are those of action-lookup.h. Every code but strict-equal (2) and the
// case-sensitive sort order (8) compares code points through the upper-case map, so "abc" equals
// "ABC" and "ǅ" equals "ǆ", while "Straße" does not equal "STRASSE" (the map is one code point
// to one).
#pragma once

#include <cstdint>

#include "datatypes/series/string-unit.h"
#include "runtime/cell.h"

namespace qel {

// Whether a comparison code compares code points as they are.
constexpr bool compare_code_keeps_case(int32_t op) { return op == 2 || op == 8; }

// Compares two texts: -1, 0 or 1 as a is smaller, equal or greater. In match mode 0 means that
// b is a prefix of a (an empty b matches, except under code 12); otherwise under the equality
// codes (0, 1, 2, 12) texts of different lengths answer 1 at once, and under the others the
// first differing code point decides, then the lengths.
int32_t compare_text(UnitText a, UnitText b, int32_t op, bool match);

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

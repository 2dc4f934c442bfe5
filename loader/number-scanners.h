// number-scanners.h: text already in a string turned into numbers for the make and to actions,
// without the lexer. A scanner never raises: it reports through an error word and the calling
// action raises its own conversion error.
#pragma once

#include <cstdint>

#include "datatypes/series/string-unit.h"
#include "runtime/cell.h"

namespace qel {

// Error words: left untouched on success.
inline constexpr int32_t kScanMalformed = -1;
inline constexpr int32_t kScanOutOfRange = -2;

// An optional sign, then digits among which apostrophes are passed over (digit grouping); at
// least one digit. Malformed text answers the value of the digits before the first other character;
// a value outside 32 bits answers 0 with kScanOutOfRange.
int32_t scan_integer(UnitText text, int32_t& error);

// Float text (a comma may stand for the point), at most 312 characters, every one ASCII;
// anything else answers NaN with kScanMalformed.
double scan_float(UnitText text, int32_t& error);

// Money text: an optional sign, an optional three-letter currency code with "$" (the "$" is
// optional without a code), digits with single apostrophes between them and an optional
// fraction after a point (cut after five digits); at least one digit. Fills `money`, or sets
// kScanMalformed for malformed text, an unknown currency or over 17 significant integer digits.
void scan_money(UnitText text, Cell& money, int32_t& error);

}  // namespace qel

// utf16.h: UTF-16LE text in and out of text units, and byte strings widened to UTF-16.
//
// Loading never fails: a surrogate pair becomes its code point and a surrogate without its
// partner, high or low, is kept as its own code point. Encoding writes code points from U+10000
// as surrogate pairs; a code point above U+10FFFF raises script invalid-char.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "datatypes/series/string-unit.h"

namespace qel {

// What loading `count` 16-bit little-endian units takes.
struct Utf16Scan {
  size_t code_points = 0;  // units the loaded text takes
  unsigned unit = 1;       // 1 when every high byte is 0, 4 once one is D8-DF, else 2
};

// Measures UTF-16LE input of `count` units at `bytes` (any alignment). With drop_cr every
// U+000D is left out.
Utf16Scan utf16le_scan(const uint8_t* bytes, size_t count, bool drop_cr);

// Writes the code points of the input at out, scan.code_points units of `unit` bytes (at least
// scan.unit).
void utf16le_load_units(const uint8_t* bytes, size_t count, const Utf16Scan& scan, bool drop_cr, uint8_t* out,
                        unsigned unit);

// Room that is always enough for the UTF-16 of a text, LF as CR LF included: two 16-bit units
// per unit.
size_t utf16_size_bound(UnitText text);

// Writes the UTF-16 of a text at out (room for utf16_size_bound units), with crlf every LF as
// CR LF, and answers the 16-bit units written.
size_t utf16_encode_units(UnitText text, bool crlf, char16_t* out);

// The UTF-16 of a text as a string, with crlf every LF as CR LF.
std::u16string utf16_from_units(UnitText text, bool crlf);

// A NUL-terminated byte string with each byte widened to a 16-bit unit.
std::u16string cstring_to_utf16(const char* bytes);

}  // namespace qel

// utf8-encode.h: encoding code points and runs of text units as UTF-8.
//
// Every code point up to U+10FFFF has a form: a surrogate held in a string is written as its
// three bytes (which the decoders refuse on the way back). A code point above U+10FFFF raises
// script invalid-char, in the encoders and in the sizes alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "datatypes/series/string-unit.h"
#include "runtime/utf8.h"

namespace qel {

// The size of a code point's UTF-8 form: 1 to 4 bytes.
inline unsigned utf8_char_size(uint32_t code_point) {
  check_code_point(code_point);
  return code_point < 0x80 ? 1 : code_point < 0x800 ? 2 : code_point < 0x10000 ? 3 : 4;
}

// Writes the 1 to 4 bytes of a code point at out (room for 4) and answers their number.
inline unsigned utf8_encode_char(uint32_t code_point, uint8_t* out) {
  check_code_point(code_point);
  return static_cast<unsigned>(utf8_encode_with_surrogates(code_point, out));
}

// Writes byte k of a code point's sequence only when room > k: a sequence that does not fit is
// cut. Answers the bytes written.
unsigned utf8_encode_char_bounded(uint32_t code_point, uint8_t* out, size_t room);

// The UTF-8 size of a text.
size_t utf8_byte_count(UnitText text);

// Room that is always enough for the UTF-8 of a text, LF as CR LF included: 2, 3 or 4 bytes per
// unit of 1, 2 or 4 bytes.
size_t utf8_size_bound(UnitText text);

// Writes the UTF-8 of a text at out (room for utf8_size_bound bytes), with crlf every LF as CR
// LF, and answers the bytes written.
size_t utf8_encode_units(UnitText text, bool crlf, uint8_t* out);

// The UTF-8 of a text as a string, with crlf every LF as CR LF.
std::string utf8_from_units(UnitText text, bool crlf);

// Writes the UTF-8 of a text into room bytes at out: each sequence takes from the room what
// remains of it, the one that meets the end is cut, and nothing follows. The whole text is still
// checked for code points above U+10FFFF. Answers the bytes written.
size_t utf8_encode_units_bounded(UnitText text, uint8_t* out, size_t room);

}  // namespace qel

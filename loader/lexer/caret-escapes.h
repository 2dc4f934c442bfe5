// caret-escapes.h: the caret escapes of strings and chars, and the UTF-8 characters between them.
#pragma once

#include <cstdint>

namespace qel {

// One character of string or char text: its code point (-1 when invalid) and the address after it.
struct TextChar {
  int32_t code_point;
  const uint8_t* next;
};

// Decodes the escape after a caret at p (p points after the caret; p <= end). Invalid: a
// missing character, a parenthesised form that is neither a name nor one to six hexadecimal
// digits closed by ")", and a code point above U+10FFFF. A lone surrogate is valid: text may
// hold one (a file name's bytes that are no UTF-8 stand as U+DC80-U+DCFF), and its mold writes
// it as this escape.
TextChar decode_caret_escape(const uint8_t* p, const uint8_t* end);

// Decodes one character at p (p < end): a caret escape when `escapes` and it starts with a
// caret, else one UTF-8 sequence (invalid when ill-formed).
TextChar decode_text_char(const uint8_t* p, const uint8_t* end, bool escapes);

}  // namespace qel

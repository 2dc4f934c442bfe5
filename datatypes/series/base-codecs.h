// base-codecs.h: bytes written as text in base 2, 16, 58 or 64, and such text read back.
//
// Encoders write ASCII into caller memory sized by `base_encoded_size` and answer the end.
// Decoders read text of any unit (1, 2 or 4 bytes: string buffers, and the lexer's UTF-8 token
// bytes as 1-byte units) into caller memory sized by `base_decoded_capacity` and answer the byte
// count, or nothing when the text is not valid in the base; they never stop half-way with a
// partial result. What every decoder accepts:
// - ";" starts a comment that runs to the next line feed;
// - blanks are skipped: in bases 2 and 16 every code point up to and including space, in bases
//   58 and 64 backspace, tab, line feed, form feed, carriage return, space and "'";
// - any other code point that is not a digit of the base, and every code point above 127, makes
//   the text invalid;
// - base 2 takes groups of eight digits and base 16 pairs; a group cut short is invalid;
// - base 64 takes groups of four digits; a last group of two or three digits must be padded
//   with "=" to four, and after the padding only blanks and comments may follow;
// - base 58 reads each leading "1" as a zero byte and the rest as one big-endian number.
// Empty text (or only blanks and comments) decodes to no bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "datatypes/series/string-unit.h"

namespace qel {

// Whether a base has a codec: 2, 16, 58 or 64.
constexpr bool base_codec_exists(int64_t base) { return base == 2 || base == 16 || base == 58 || base == 64; }

// The most text bytes that encoding n bytes writes (64-bit: callers check it against their
// ceiling before they allocate).
uint64_t base_encoded_size(int32_t base, uint64_t n);

// Writes the text of the bytes at `out` and answers the end of what was written. Base 2 writes
// eight digits per byte, high bit first; base 16 two upper-case digits; base 64 the padded
// standard alphabet without line breaks; base 58 one "1" per leading zero byte, then the digits
// of the rest as a big-endian number.
uint8_t* base_encode(int32_t base, std::span<const uint8_t> bytes, uint8_t* out);

// The most bytes a text of n units decodes to.
uint64_t base_decoded_capacity(int32_t base, uint64_t n);

// Decodes the text into `out`: the byte count, or nullopt when the text is invalid.
template <class Unit>
std::optional<size_t> base_decode_units(int32_t base, std::span<const Unit> text, uint8_t* out);

// The same for text of a runtime unit.
std::optional<size_t> base_decode(int32_t base, UnitText text, uint8_t* out);

}  // namespace qel

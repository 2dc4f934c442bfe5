// percent-coding.h: text written with percent escapes ("%" and two upper-case hexadecimal
// digits per byte of its UTF-8), and such text read back.
//
// Encoding keeps the bytes its table keeps and escapes the rest; bytes 0x80-0xFF are always
// escaped. Decoding turns each escape, or each run of escapes that spells one UTF-8 sequence,
// into one code point; anything else, a "%" that starts no escape included, is copied as it is.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "datatypes/series/string-unit.h"
#include "runtime/cell.h"

namespace qel {

// Which bytes stay plain.
enum class PercentTable : uint8_t {
  component,  // A-Z a-z 0-9 - . _ ~ (the unreserved characters of a locator)
  locator,    // those and ! # $ & ' ( ) * + , / : = ? @
  url_mold,   // the locator table without ( and ), which end a url! token
};

// url-encode-byte: whether the table keeps the byte plain.
bool percent_keeps(PercentTable table, uint8_t byte);

// Appends the UTF-8 text, each byte plain or escaped, to `out`.
void percent_encode_utf8(std::string_view utf8, PercentTable table, std::string& out);

// url-encode-string: a text value from its index, as UTF-8 and escaped.
std::string percent_encode_text(const Cell& text, PercentTable table);

// percent-decode-escape: the byte when the units at `at` are "%" and two hexadecimal digits
// (upper or lower case); `end` bounds the read.
template <class Unit>
std::optional<uint8_t> percent_decode_escape(const Unit* at, const Unit* end);

// url-decode-string: the code points of the decoded text. A run of escapes whose lead byte
// announces a sequence (C0-FF) and that has the escapes to complete it must decode, by the
// checked UTF-8 decoder, to one code point: nullopt when it is ill-formed (overlong forms and
// surrogates included). Shorter runs keep their "%" as text; an escape of a byte below C0 is
// that code point (%41 is "A", %80 is U+0080).
std::optional<std::vector<uint32_t>> percent_decode(UnitText text);

// url-decode-string on a value: the text from its index decoded into a new text of `type`
// (script access invalid-utf8 for an ill-formed escaped sequence, with its bytes).
Cell percent_decode_text(const Cell& text, Type type);

// percent-decode-in-place: the same decoding written back over the value's text from its index
// (the buffer widening when a decoded code point needs it). Answers false, changing nothing, for
// an ill-formed escaped sequence.
bool percent_decode_in_place(const Cell& text);

}  // namespace qel

// string-convert.h: the text of a value as UTF-8 or UTF-16, for the OS, file, GUI and codec
// layers.
//
// Each converts the value's text from its index, at most `limit` code points (a negative limit:
// to the tail); with crlf every LF is written as CR LF. A code point above U+10FFFF raises
// script invalid-char. Results are returned or written to the caller's memory: nothing is kept
// in the value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "runtime/cell.h"

namespace qel {

std::string string_to_utf8(const Cell& value, int64_t limit = -1, bool crlf = false);

// Writes at most `room` bytes of the UTF-8 at out, the sequence that meets the end of the room
// cut; with nul a 0 byte follows the text inside the room (room must then be at least 1).
// Answers the bytes of text written.
size_t string_to_utf8_bounded(const Cell& value, uint8_t* out, size_t room, int64_t limit, bool nul);

std::u16string string_to_utf16(const Cell& value, int64_t limit = -1, bool crlf = false);

}  // namespace qel

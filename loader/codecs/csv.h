// csv.h: the CSV codec's native halves: the reader that cuts text into rows of fields, and the
// writer of one line of escaped fields.
#pragma once

#include <cstdint>
#include <vector>

#include "datatypes/series/string-unit.h"
#include "runtime/cell.h"

namespace qel {

// The delimiter (a char! or a string!) as text, checked without copying it: a char!'s code point
// is held in `code_point`, a string's units stay in its buffer. An empty one, one holding CR or
// LF, or one equal to the quote character could never be read back: script invalid-arg naming it.
UnitText csv_delimiter(const Cell& delimiter, uint32_t quote, uint32_t& code_point);

// csv-read: the text from its index as a block! of rows, each a block! of strings. Lines end at
// CR LF, LF or CR; a line break at the very end starts no row. A field is quoted when it opens
// with the quote character and a closing one follows (two quote characters inside stand for
// one, line breaks belong to it); otherwise it runs to the whole delimiter or a line break,
// quotes included. With trim, spaces and tabs may stand around a quoted field, and each field
// loses its leading and trailing ones and then, when it opens and ends with a quote character,
// those two and its doubled quotes.
// Anything but a delimiter or a line break after a quoted field answers the error! value
// "Invalid CSV data at line" and the line number (not raised).
Cell csv_read(const Cell& text, const Cell& delimiter, uint32_t quote, bool trim);

// csv-line: a new string! of the values of a block from its index, each escaped as
// csv_escape_onto does, joined by the delimiter (checked as csv_delimiter checks it) and ended
// by a line feed.
Cell csv_line(const Cell& values, const Cell& delimiter, uint32_t quote, const Cell& quotable);
// The value formed (a string as it is) onto the text, quoted when it holds a character of the
// bitset `quotable` (which holds the quote character): between quote characters, each quote
// character inside doubled.
void csv_escape_onto(NodeId text, const Cell& value, uint32_t quote, const Cell& quotable);

}  // namespace qel

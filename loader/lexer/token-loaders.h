// token-loaders.h: the scanners and loaders of value tokens (see token-handlers.h for their
// contract), and the text decoding the text-like types share.
#pragma once

#include <cstdint>

#include "loader/lexer/token-handlers.h"
#include "runtime/type-ids.h"

namespace qel {

// Appends a value at the tail: `make` fills the cell (its constructors set the header); the
// new-line flag the slot was given stays.
template <class Make>
void lexer_append_value(LexerState& state, Make&& make) {
  Cell& cell = lexer_cell(lexer_alloc_slot(state));
  uint32_t new_line = cell.header & kNewLineFlag;
  make(cell);
  cell.header |= new_line;
}

// Decodes text [text, text_end) of a token starting at `token` (UTF-8, and caret escapes when
// `escapes`; a file! also takes U+DC80-U+DCFF, its names' non-UTF-8 bytes) into a new value of
// `type` (any text type) at the tail when `load`, else only checks it. `flags` are the class flags over the text: they choose the text unit. An invalid
// character or escape is a syntax error of the record's error type (or `type` when none is set).
LexStatus lexer_load_text(LexerState& state, const uint8_t* token, const uint8_t* text, const uint8_t* text_end,
                          uint32_t flags, bool escapes, Type type, bool load);

// Strings: quoted and braced (from the opening byte to the closing one; it is also their
// scanner), raw.
LexStatus load_quoted_string(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_raw_string(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_char(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// Words of every kind, issues and refinements.
LexStatus scan_word_kind(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_word(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_issue(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_issue(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_refinement(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// Numbers: integer!, float!, percent!, the special floats, hexadecimal integers.
LexStatus load_integer(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_float(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_percent(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_special_float(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_hex_integer(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// The text types: file! (quoted with caret escapes, or unquoted and percent-decoded), url!
// (percent-decoded), email!, ref! (after its "@") and tag! (between its angle brackets).
LexStatus load_file(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_url(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_email(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_ref(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_tag(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// tuple!, pair! and the points (the text inside the parentheses; three numbers make the
// token a point3D!).
LexStatus load_tuple(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_pair(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_point(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// The builder of a parenthesis that a comma turned into a point (see lexer-nesting.h).
LexStatus build_point(LexerState& state, uint64_t first, uint64_t count, Type type, Cell& out);

// time!, date! and money!.
LexStatus load_time(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_date(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_money(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// binary! literals in base 2, 16 or 64.
LexStatus load_binary(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

// Construction syntax #( ... ): logic!, none!, unset! and datatype! values.
LexStatus scan_construction(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

}  // namespace qel

// token-loaders.h: the scanners and loaders of value tokens (see token-handlers.h for their
// contract), and the text decoding the text-like types share.
#pragma once

#include <cstdint>

#include "loader/lexer/token-handlers.h"
#include "runtime/type-ids.h"

namespace qel {

// Decodes text [text, text_end) of a token starting at `token` (UTF-8, and caret escapes when
// `escapes`) into a new value of `type` (any text type) at the tail when `load`, else only
// checks it. `flags` are the class flags over the text: they choose the text unit. An invalid
// character or escape is a syntax error of the record's error type (or `type` when none is set).
LexStatus lexer_load_text(LexerState& state, const uint8_t* token, const uint8_t* text, const uint8_t* text_end,
                          uint32_t flags, bool escapes, Type type, bool load);

// Strings: quoted and braced (from the opening byte to the closing one; it is also their
// scanner), raw.
LexStatus load_quoted_string(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus load_raw_string(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

}  // namespace qel

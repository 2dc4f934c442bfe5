// lexer-errors.h: syntax errors of the lexer, with the line and an excerpt of the input.
#pragma once

#include <cstdint>
#include <string>

#include "loader/lexer/lexer-state.h"

namespace qel {

// Reports a syntax error of `type` (a datatype id for "invalid", or one of the kError* codes)
// found in [start, end); a null start means the opening of the innermost open construct. Not
// loading, it answers stop with the token type error!; loading, a tracer may decline the
// error (stop: the scan goes on after the token); otherwise the error is raised.
LexStatus lexer_syntax_error(LexerState& state, const uint8_t* start, const uint8_t* end, int32_t type);

// The position text: "(line N)".
std::string lexer_position_text(int64_t line);

// The excerpt an error shows: the input from start up to the first newline or the end, at most
// 30 bytes of whole UTF-8 characters. Answers its length in bytes.
size_t lexer_excerpt_length(const uint8_t* start, const uint8_t* end);

}  // namespace qel

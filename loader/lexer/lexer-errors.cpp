// lexer-errors.cpp: syntax errors of the lexer: the tracer's say, the position text, the
// excerpt and the catalog error.
#include "loader/lexer/lexer-errors.h"

#include <charconv>

#include "datatypes/series/utf8-decode.h"
#include "loader/lexer/lexer-nesting.h"
#include "loader/lexer/lexer-text.h"
#include "loader/lexer/lexer-trace.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"

namespace qel {

namespace {

inline constexpr size_t kExcerptBytes = 30;
inline constexpr int32_t kErrorTypeId = static_cast<int32_t>(Type::error);

// The type an error event reports: the given type when positive, else the first positive of
// the closing type, the token type and the error type, else error!.
int32_t event_type(const LexerState& state, int32_t type) {
  for (int32_t candidate : {type, state.closing_type, state.token_type, state.error_type})
    if (candidate > 0) return candidate;
  return kErrorTypeId;
}

bool is_path_type(int32_t type) {
  return type >= static_cast<int32_t>(Type::path) && type <= static_cast<int32_t>(Type::get_path);
}

// The character a missing error names: for a closer with no opener its opener, for an open
// construct its closer (] for block! and map!, ) for paren! and points).
char missing_character(int32_t type, int32_t construct) {
  bool square = construct == static_cast<int32_t>(Type::block) || construct == static_cast<int32_t>(Type::map);
  if (type == kErrorUnmatchedCloser) return square ? '[' : '(';
  return square ? ']' : ')';
}

}  // namespace

std::string lexer_position_text(int64_t line) {
  char digits[24];
  auto [end, error] = std::to_chars(digits, digits + sizeof digits, line);
  return "(line " + std::string(digits, end) + ")";
}

size_t lexer_excerpt_length(const uint8_t* start, const uint8_t* end) {
  const uint8_t* at = start;
  while (at < end && *at != '\n') {
    // A sequence that is not whole stands for its lead alone: the byte that broke it (a line
    // end, say) is read on its own.
    Utf8Step step = utf8_decode_step(at, end);
    uint32_t size = step.status == Utf8Status::ok ? step.size : 1;
    if (static_cast<size_t>(at - start) + size > kExcerptBytes) break;
    at += size;
  }
  return static_cast<size_t>(at - start);
}

LexStatus lexer_syntax_error(LexerState& state, const uint8_t* start, const uint8_t* end, int32_t type) {
  if (!state.load) {
    state.token_type = kErrorTypeId;
    return LexStatus::stop;
  }
  if (!start) start = lexer_innermost_opening(state);
  if (state.tracer) {
    int32_t reported = event_type(state, type);
    if (lexer_innermost_is_path(state)) lexer_close_after_error(state);
    if (!lexer_trace(state, LexerEvent::error, reported, kTokenError, -1, start, end)) return LexStatus::stop;
  }
  bool missing = type == kErrorUnmatchedCloser || type == kErrorUnclosed;
  if (missing && is_path_type(state.closing_type)) type = kErrorBadChar;
  Cell position = lexer_text_value(lexer_position_text(state.line));
  Cell excerpt =
      lexer_text_value({reinterpret_cast<const char*>(start), lexer_excerpt_length(start, state.input_end)});
  switch (type) {
    case kErrorBadChar: raise_error(error_id("syntax", "bad-char"), position, excerpt);
    case kErrorMalconstruct: raise_error(error_id("syntax", "malconstruct"), position, excerpt);
    case kErrorUnmatchedCloser:
    case kErrorUnclosed: {
      Cell character = lexer_char_value(static_cast<uint8_t>(missing_character(type, state.closing_type)));
      raise_error(error_id("syntax", "missing"), position, character, excerpt);
    }
  }
  raise_error(error_id("syntax", "invalid"), position, datatype_cell(static_cast<Type>(type)), excerpt);
}

}  // namespace qel

// text-type-loaders.cpp: file!, url!, email!, ref! and tag! literals, through the text decoding
// strings use; unquoted files and urls are percent-decoded once loaded.
#include <cstring>

#include "datatypes/series/percent-coding.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/lexer-state.h"
#include "loader/lexer/token-loaders.h"

namespace qel {

namespace {

constexpr int32_t id_of(Type type) { return static_cast<int32_t>(type); }

bool holds_percent(const uint8_t* text, const uint8_t* end) {
  return std::memchr(text, '%', static_cast<size_t>(end - text)) != nullptr;
}

// Loads the text as `type` without caret escapes, percent-decoded when it holds "%". An escape
// run that spells ill-formed UTF-8 is invalid `type`.
LexStatus load_percent_text(LexerState& state, const uint8_t* start, const uint8_t* text, const uint8_t* end,
                            uint32_t flags, Type type, bool load) {
  bool percent = holds_percent(text, end);
  // The escapes decode alike whether the rest is read as bytes or as code points.
  if (percent && !percent_decode({text, static_cast<size_t>(end - text), 1}))
    return lexer_syntax_error(state, start, end, id_of(type));
  LexStatus status = lexer_load_text(state, start, text, end, flags, false, type, load);
  if (status != LexStatus::ok || !load || !percent) return status;
  percent_decode_in_place(lexer_cell(state.tail - 1));
  return LexStatus::ok;
}

}  // namespace

LexStatus load_file(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  bool quoted = end - start >= 2 && start[1] == '"';
  if (!quoted) return load_percent_text(state, start, start + 1, end, flags, Type::file, load);
  bool closed = end < state.input_end && *end == '"';
  if (!closed) return lexer_syntax_error(state, start, end, id_of(Type::file));
  return lexer_load_text(state, start, start + 2, end, flags, true, Type::file, load);
}

LexStatus load_url(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  if (*start == ':') return lexer_syntax_error(state, start, end, id_of(Type::get_word));
  if (*start == '\'') return lexer_syntax_error(state, start, end, id_of(Type::lit_word));
  return load_percent_text(state, start, start, end, flags, Type::url, load);
}

LexStatus load_email(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  return lexer_load_text(state, start, start, end, flags, false, Type::email, load);
}

LexStatus load_ref(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  return lexer_load_text(state, start, start + 1, end, flags, false, Type::ref, load);
}

LexStatus load_tag(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  if (*start != '<') return lexer_syntax_error(state, start, end, id_of(Type::tag));
  return lexer_load_text(state, start, start + 1, end, flags, false, Type::tag, load);
}

}  // namespace qel

// word-loaders.cpp: words of every kind, issues and refinements: the kind a token's prefix and
// suffix give, and the interned name.
#include <string_view>

#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"
#include "runtime/contexts.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr int32_t id_of(Type type) { return static_cast<int32_t>(type); }

// A word's kind and the name inside its token; type is negative (minus the type reported)
// when the token is no valid word of any kind.
struct WordShape {
  int32_t type;
  const uint8_t* name;
  const uint8_t* name_end;
};

// The kind of a word token: a leading apostrophe makes a lit-word! (not also a set-word!), a
// leading colon alone a get-word!, a trailing colon alone a set-word!; a colon both before and
// after is no word.
WordShape word_shape(const uint8_t* start, const uint8_t* end, uint32_t flags) {
  bool trailing = (flags & kFlagColon) && end[-1] == ':';
  if (*start == '\'') {
    if (trailing) return {-id_of(Type::lit_word), start, end};
    return {id_of(Type::lit_word), start + 1, end};
  }
  if (!(flags & kFlagColon)) return {id_of(Type::word), start, end};
  bool leading = *start == ':';
  if (leading && !trailing) return {id_of(Type::get_word), start + 1, end};
  if (trailing && !leading) return {id_of(Type::set_word), start, end - 1};
  return {-id_of(Type::word), start, end};
}

// Appends a word of the type bound to the global context (resolved on first lookup).
void append_word(LexerState& state, Type type, const uint8_t* name, const uint8_t* name_end) {
  uint32_t symbol = symbol_intern_bytes({reinterpret_cast<const char*>(name), static_cast<size_t>(name_end - name)});
  lexer_append_value(state, [&](Cell& cell) { cell = make_cell(type, global_context(), symbol, kUnresolved); });
}

// Checks a word of a known type's name (an empty one is an error of that type) and appends it.
LexStatus load_named(LexerState& state, Type type, const uint8_t* start, const uint8_t* end, const uint8_t* name,
                     const uint8_t* name_end, bool load) {
  if (name == name_end) return lexer_syntax_error(state, start, end, id_of(type));
  if (load) append_word(state, type, name, name_end);
  return LexStatus::ok;
}

}  // namespace

LexStatus scan_word_kind(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
  WordShape shape = word_shape(start, end, flags);
  if (shape.type < 0) return lexer_syntax_error(state, start, end, -shape.type);
  state.token_type = shape.type;  // the kind the prefix or suffix gives is what a scan answers
  return LexStatus::ok;
}

LexStatus load_word(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  WordShape shape = word_shape(start, end, flags);
  if (shape.type < 0) return lexer_syntax_error(state, start, end, -shape.type);
  // A path's first element is a word! whatever its text says.
  Type type = static_cast<Type>(state.error_type > 0 ? state.error_type : shape.type);
  return load_named(state, type, start, end, shape.name, shape.name_end, load);
}

LexStatus scan_issue(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
  state.error_type = id_of(Type::issue);
  if (end - start < 2 || *start != '#') return lexer_syntax_error(state, start, end, id_of(Type::issue));
  return LexStatus::ok;
}

LexStatus load_issue(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  if (scan_issue(state, start, end, flags, load) == LexStatus::stop) return LexStatus::stop;
  return load_named(state, Type::issue, start, end, start + 1, end, load);
}

LexStatus load_refinement(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  size_t size = static_cast<size_t>(end - start);
  if (size == 1) return load_named(state, Type::word, start, end, start, end, load);  // the word /
  if (size == 2 && (*start == '\'' || *start == ':' || start[1] == ':')) {
    Type type = *start == '\'' ? Type::lit_word : *start == ':' ? Type::get_word : Type::set_word;
    const uint8_t* name = type == Type::set_word ? start : start + 1;
    return load_named(state, type, start, end, name, name + 1, load);
  }
  if (*start != '/') return lexer_syntax_error(state, start, end, id_of(Type::refinement));
  return load_named(state, Type::refinement, start, end, start + 1, end, load);
}

}  // namespace qel

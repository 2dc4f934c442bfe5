// string-loaders.cpp: the text of string tokens made into text values: quoted, braced and raw
// strings, and the decoding the other text types share.
#include <algorithm>
#include <cstring>

#include "datatypes/scalars/char.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-unit.h"
#include "loader/lexer/caret-escapes.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/lexer-tables.h"
#include "loader/lexer/lexer-trace.h"
#include "loader/lexer/token-loaders.h"
#include "runtime/series.h"

namespace qel {

namespace {

constexpr int32_t kStringType = static_cast<int32_t>(Type::string);

// What a pass over text found: the first invalid character (null when none) and the largest
// code point.
struct TextScan {
  const uint8_t* invalid;
  uint32_t widest;
};

TextScan scan_text(const uint8_t* text, const uint8_t* end, bool escapes) {
  uint32_t widest = 0;
  for (const uint8_t* at = text; at < end;) {
    TextChar c = decode_text_char(at, end, escapes);
    if (c.code_point < 0) return {at, widest};
    widest = std::max(widest, static_cast<uint32_t>(c.code_point));
    at = c.next;
  }
  return {nullptr, widest};
}

// Writes the text's characters in `unit` at out; answers how many.
uint64_t write_text(const uint8_t* text, const uint8_t* end, bool escapes, uint8_t* out, unsigned unit) {
  uint64_t count = 0;
  for (const uint8_t* at = text; at < end; ++count) {
    TextChar c = decode_text_char(at, end, escapes);
    code_point_write(out + count * unit, unit, static_cast<uint32_t>(c.code_point));
    at = c.next;
  }
  return count;
}

// Counts the percent signs from `at` forwards (step 1) or backwards (step -1).
size_t percent_run(const uint8_t* at, const uint8_t* limit, int step) {
  size_t count = 0;
  for (; at != limit && *at == '%'; at += step) ++count;
  return count;
}

// The class flags over a run of bytes.
uint32_t flags_over(const uint8_t* from, const uint8_t* to) {
  uint32_t flags = 0;
  for (; from < to; ++from) flags |= char_flags(*from);
  return flags;
}

}  // namespace

LexStatus lexer_load_text(LexerState& state, const uint8_t* token, const uint8_t* text, const uint8_t* text_end,
                          uint32_t flags, bool escapes, Type type, bool load) {
  int32_t error_type = state.error_type > 0 ? state.error_type : static_cast<int32_t>(type);
  escapes = escapes && (flags & kFlagCaret);
  bool plain = !escapes && !(flags & kFlagNonAscii);
  TextScan scanned = plain ? TextScan{nullptr, 0x7F} : scan_text(text, text_end, escapes);
  if (scanned.invalid) return lexer_syntax_error(state, token, text_end, error_type);
  if (!load) return LexStatus::ok;
  unsigned unit = unit_for_code_point(scanned.widest);  // the narrowest that holds the text
  uint64_t bytes = static_cast<uint64_t>(text_end - text);
  NodeId node = new_text_series(static_cast<int64_t>(bytes), unit);
  uint8_t* out = series_buffer(node)->head_address();
  uint64_t count = bytes;
  if (plain)
    std::memcpy(out, text, bytes);
  else
    count = write_text(text, text_end, escapes, out, unit);
  series_buffer_set_tail(node, static_cast<uint32_t>(count + 1));
  lexer_append_value(state, [&](Cell& cell) { cell = string_value(node, 0, type); });
  return LexStatus::ok;
}

LexStatus load_quoted_string(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  return lexer_load_text(state, start, start + 1, end, flags, true, Type::string, load);
}

LexStatus load_raw_string(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load) {
  size_t opening = percent_run(start, end, 1);
  size_t closing = percent_run(end - 1, start, -1);
  const uint8_t* text = start + opening + 1;
  const uint8_t* text_end = end - closing - 1;
  if (closing > opening) return lexer_syntax_error(state, start, end, kStringType);
  if (closing < opening) {
    // The closing was too short to end the string: it goes on to a brace and enough percents.
    const uint8_t* at = end;
    const uint8_t* limit = state.input_end;
    for (; at < limit; ++at)
      if (*at == '}' && static_cast<size_t>(limit - at - 1) >= opening && percent_run(at + 1, limit, 1) >= opening)
        break;
    if (at == limit) return lexer_syntax_error(state, start, limit, kStringType);
    const uint8_t* after = at + 1 + opening;
    flags |= flags_over(end, at);
    state.line += std::count(end, after, '\n');
    state.position = after;
    text_end = at;
  }
  if (!load) {
    (void)lexer_trace(state, LexerEvent::open, kStringType, kTokenRawString, -1, start, text);
    (void)lexer_trace(state, LexerEvent::close, kStringType, kTokenRawString, -1, start, state.position);
  }
  return lexer_load_text(state, start, text, text_end, flags, false, Type::string, load);
}

LexStatus load_char(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* content = start + 2;  // after #"
  bool opened = end - start >= 2 && start[0] == '#' && start[1] == '"';
  TextChar c = opened && content < end ? decode_text_char(content, end, true) : TextChar{-1, content};
  if (c.code_point < 0 || c.next != end)
    return lexer_syntax_error(state, start, end, static_cast<int32_t>(Type::char_));
  if (load) lexer_append_value(state, [&](Cell& cell) { char_make_at(cell, static_cast<uint32_t>(c.code_point)); });
  return LexStatus::ok;
}

}  // namespace qel

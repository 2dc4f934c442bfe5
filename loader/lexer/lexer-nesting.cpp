// lexer-nesting.cpp: opening and closing constructs on the cell buffer, paths, points, braced
// strings, commas, comments and the end checks.
#include "loader/lexer/lexer-nesting.h"

#include <array>

#include "datatypes/series/block-core.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/lexer-scan.h"
#include "loader/lexer/lexer-tables.h"
#include "loader/lexer/lexer-trace.h"
#include "loader/lexer/token-loaders.h"
#include "runtime/error-raise.h"
#include "runtime/series.h"

namespace qel {

namespace {

constexpr int32_t id_of(Type type) { return static_cast<int32_t>(type); }
constexpr bool is_path(Type type) { return type >= Type::path && type <= Type::get_path; }
constexpr bool is_point(Type type) { return type == Type::point2d || type == Type::point3d; }

// A block-like value holding copies of the cells.
LexStatus build_block(LexerState&, uint64_t first, uint64_t count, Type type, Cell& out) {
  block_make_at(out, static_cast<int64_t>(count));
  set_value_type_byte(out, type);
  lexer_append_cells(out, first, count);
  return LexStatus::ok;
}

// The builder of each construct type; map! installs its own.
std::array<ConstructBuilder, kTypeTableRows> builders = [] {
  std::array<ConstructBuilder, kTypeTableRows> table{};
  for (Type type : {Type::block, Type::paren, Type::path, Type::lit_path, Type::set_path, Type::get_path})
    table[type_index(type)] = build_block;
  table[type_index(Type::point2d)] = table[type_index(Type::point3d)] = build_point;
  return table;
}();

// True when a closer fits the open construct: ] a block! or map!, ) a paren! or a point, a
// path's end its own path, and a colon after a path! makes it a set-path!.
bool closer_fits(Type closer, Type construct) {
  switch (closer) {
    case Type::block: return construct == Type::block || construct == Type::map;
    case Type::paren: return construct == Type::paren || is_point(construct);
    case Type::set_path: return construct == Type::path;
    default: return closer == construct;
  }
}

// The type a closed construct's value takes.
Type closed_type(Type closer, const Cell& marker) {
  Type construct = marker_construct(marker);
  if (closer == Type::set_path) return Type::set_path;
  if (is_point(construct)) return marker_commas(marker) >= 2 ? Type::point3d : Type::point2d;
  return construct;
}

// True when a construct cannot open inside the innermost one (a point holds only numbers).
bool opens_nothing_inside(const LexerState& state) {
  int64_t marker = innermost_marker(state);
  return marker >= 0 && is_point(marker_construct(lexer_cell(marker)));
}

// Writes a marker of `construct` opened at `opening` at the tail: it becomes the innermost
// construct.
void push_marker(LexerState& state, Type construct, const uint8_t* opening) {
  uint64_t index = lexer_alloc_slot(state);
  Cell& cell = lexer_cell(index);
  cell.header = (cell.header & kNewLineFlag) | static_cast<uint32_t>(kOpenMarkerType);
  cell.w1 = static_cast<uint32_t>(index - state.head);
  cell.w2 = static_cast<uint32_t>(construct);
  cell.w3 = static_cast<uint32_t>(opening - state.input_start);
  state.head = index + 1;
}

// Opens a construct at `opening`: a marker at the tail becomes the innermost construct.
LexStatus open_construct(LexerState& state, Type construct, const uint8_t* opening) {
  if (opens_nothing_inside(state)) return lexer_syntax_error(state, nullptr, state.position, id_of(Type::point2d));
  if (!lexer_trace(state, LexerEvent::open, id_of(construct), kTokenOpenBlock, -1, opening, state.position))
    return LexStatus::ok;  // the tracer declined: nothing opens
  push_marker(state, construct, opening);
  state.start_state = kStartNormal;
  return LexStatus::ok;
}

// Writes the value of the construct closed as `type` over its marker at `index`, keeping the
// marker's new-line flag: the enclosing construct is the innermost one again, with one more item.
void settle_closed(LexerState& state, uint64_t index, const Cell& marker, Cell value, Type type) {
  value.header |= marker.header & kNewLineFlag;
  lexer_cell(index) = value;
  state.tail = index + 1;
  state.head = index - marker.w1;
  state.token_type = id_of(type);
  lexer_note_item(state, false);
}

// A comma-made point's items, counted in scan mode: one integer! or float! more than its commas.
bool scanned_point_fits(const Cell& marker, Type type) {
  uint32_t items = marker_items(marker);
  return !(marker.header & kMarkerNonNumber) && items == marker_commas(marker) + 1 &&
         items == (type == Type::point3d ? 3u : 2u);
}

// Closes the innermost construct with a closer of kind `closer`: the cells after its marker
// become one value written over the marker. Not loading, the value is only a placeholder.
LexStatus close_construct(LexerState& state, Type closer, bool after_error) {
  int64_t at = innermost_marker(state);
  if (at < 0 || !closer_fits(closer, marker_construct(lexer_cell(at)))) {
    state.closing_type = id_of(closer);
    return lexer_syntax_error(state, nullptr, state.position, kErrorUnmatchedCloser);
  }
  uint64_t index = static_cast<uint64_t>(at);
  Cell marker = lexer_cell(index);
  const uint8_t* opening = state.input_start + marker.w3;
  if (!after_error && !lexer_trace(state, LexerEvent::close, id_of(marker_construct(marker)), kTokenCloseBlock, -1,
                                   opening, state.position)) {
    state.start_state = kStartNormal;  // the tracer declined: the construct stays open
    return LexStatus::ok;
  }
  Type type = closed_type(closer, marker);
  Cell value = make_cell(Type::none);
  if (state.scan && is_point(type) && !scanned_point_fits(marker, type))
    return lexer_syntax_error(state, nullptr, state.position, id_of(type));
  if (state.load) {
    ConstructBuilder builder = builders[type_index(type)];
    if (!builder) raise_error(error_id("internal", "feature-na"));
    if (builder(state, index + 1, state.tail - index - 1, type, value) == LexStatus::stop) {
      state.tail = index;  // the construct is dropped
      state.head = index - marker.w1;
      state.start_state = lexer_innermost_is_path(state) ? kStartPathElement : kStartNormal;
      return LexStatus::stop;
    }
  }
  settle_closed(state, index, marker, value, type);
  state.start_state = lexer_innermost_is_path(state) ? kStartPathElement : kStartNormal;
  return LexStatus::ok;
}

// True for the classes after a path element that end the path.
constexpr bool ends_path(CharClass c) {
  switch (c) {
    case CharClass::blank: case CharClass::newline: case CharClass::lbracket: case CharClass::rbracket:
    case CharClass::lparen: case CharClass::rparen: case CharClass::lbrace: case CharClass::dquote:
    case CharClass::colon: case CharClass::less: case CharClass::semi: case CharClass::other:
    case CharClass::bad: case CharClass::nul:
      return true;
    default:
      return false;
  }
}

constexpr bool is_number_byte(uint8_t byte) {
  if (byte >= '0' && byte <= '9') return true;
  switch (byte) {
    case '\t': case ' ': case '#': case '+': case '-': case '.':
    case 'A': case 'E': case 'F': case 'I': case 'N': case 'a': case 'e': case 'f': case 'i': case 'n':
      return true;
    default:
      return false;
  }
}

}  // namespace

void lexer_set_construct_builder(Type type, ConstructBuilder builder) { builders[type_index(type)] = builder; }

bool point_lookahead(const uint8_t* after, const uint8_t* end) {
  if (end - after < 4) return false;
  while (after < end && is_number_byte(*after)) ++after;
  return after == end || *after == ',';
}

const uint8_t* lexer_innermost_opening(const LexerState& state) {
  int64_t marker = innermost_marker(state);
  return marker < 0 ? state.input_start : state.input_start + lexer_cell(marker).w3;
}

bool lexer_innermost_is_paren(const LexerState& state) {
  int64_t marker = innermost_marker(state);
  if (marker < 0) return false;
  Type construct = marker_construct(lexer_cell(marker));
  return construct == Type::paren || is_point(construct);
}

void lexer_note_item(LexerState& state, bool number) {
  if (!state.scan || !lexer_innermost_is_paren(state)) return;
  Cell& marker = lexer_cell(innermost_marker(state));
  if (marker_items(marker) < 0xFF) marker.header += 1u << kMarkerItemShift;
  if (!number) marker.header |= kMarkerNonNumber;
}

bool lexer_innermost_is_path(const LexerState& state) {
  int64_t marker = innermost_marker(state);
  return marker >= 0 && is_path(marker_construct(lexer_cell(marker)));
}

void lexer_close_after_error(LexerState& state) {
  (void)close_construct(state, marker_construct(lexer_cell(innermost_marker(state))), true);
}

LexStatus lexer_path_step(LexerState& state) {
  if (!lexer_innermost_is_path(state)) {  // a tracer kept the path from closing or opening
    state.start_state = kStartNormal;
    return LexStatus::ok;
  }
  const uint8_t* at = state.position;
  const uint8_t* end = state.input_end;
  Type path = marker_construct(lexer_cell(innermost_marker(state)));
  if (at == end) return close_construct(state, path, false);
  CharClass c = char_class(*at);
  if (c == CharClass::colon) {
    state.position = at + 1;
    if (at + 1 < end && at[1] == '/') return lexer_syntax_error(state, nullptr, at + 1, id_of(Type::path));
    return close_construct(state, Type::set_path, false);
  }
  if (ends_path(c)) return close_construct(state, path, false);
  if (c != CharClass::slash || at + 1 == end) {
    state.position = at + 1;
    return lexer_syntax_error(state, nullptr, at + 1, id_of(Type::path));
  }
  state.position = at + 1;
  state.start_state = kStartPathElement;
  return LexStatus::ok;
}

bool lexer_plain_block_bracket(LexerState& state, const uint8_t* bracket, bool opens) {
  if (opens) {
    if (opens_nothing_inside(state)) return false;
    state.position = bracket + 1;
    push_marker(state, Type::block, bracket);
    return true;
  }
  int64_t at = innermost_marker(state);
  if (at < 0) return false;
  Cell marker = lexer_cell(static_cast<uint64_t>(at));
  if (!closer_fits(Type::block, marker_construct(marker))) return false;
  uint64_t enclosing = static_cast<uint64_t>(at) - marker.w1;  // the enclosing construct's head
  if (enclosing > state.base) {
    Type outer = marker_construct(lexer_cell(enclosing - 1));
    if (is_path(outer) || outer == Type::paren || is_point(outer)) return false;  // a path step, a paren's item
  }
  state.position = bracket + 1;
  settle_closed(state, static_cast<uint64_t>(at), marker, make_cell(Type::none), closed_type(Type::block, marker));
  return true;
}

LexStatus lexer_end_check(LexerState& state, bool prescan) {
  if (state.start_state == kStartBraced)
    return lexer_syntax_error(state, state.brace_start, state.input_end, id_of(Type::string));
  int64_t marker = innermost_marker(state);
  if (marker < 0) return LexStatus::ok;
  Type construct = marker_construct(lexer_cell(marker));
  if (prescan && state.start_state == kStartPathElement) {
    if (state.token_type != id_of(Type::error)) state.token_type = id_of(construct);
    return LexStatus::ok;
  }
  // A path is open at the end only when the input ends just after one of its slashes.
  if (is_path(construct)) return lexer_syntax_error(state, nullptr, state.input_end, id_of(Type::path));
  state.closing_type = id_of(construct);
  return lexer_syntax_error(state, nullptr, state.input_end, kErrorUnclosed);
}

// ---- structural scanners -----------------------------------------------------------------
// A one-byte token is empty: its byte is the delimiter at `end`, consumed here.

LexStatus scan_end(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t, bool) {
  if (end == state.input_end) return LexStatus::ok;
  state.position = end + 1;  // a NUL byte before the end of the input
  return lexer_syntax_error(state, end, end + 1, kErrorBadChar);
}

LexStatus scan_error_token(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
  int32_t type = state_type(state.previous_state);
  if (type == 0) type = kErrorBadChar;
  const uint8_t* at = start;
  bool nul = end < state.input_end && *end == 0;
  if (nul) {
    type = kErrorBadChar;
    at = end;
  } else if (state.start_state == kStartBraced) {
    at = state.brace_start;
  } else if (state.start_state == kStartPathElement && *start == ':' && end - start == 1) {
    type = id_of(Type::path);  // a slash followed by a colon that starts no get-word
    at = nullptr;
  } else if (end < state.input_end && *end == ',' && lexer_innermost_is_paren(state)) {
    // A comma makes the parenthesis a point, so a token it cuts short is a point's bad number.
    type = id_of(Type::point2d);
    at = nullptr;
  } else if (type == id_of(Type::block) || type == id_of(Type::paren) || is_path(static_cast<Type>(type))) {
    at = nullptr;
  }
  // A failing first byte, or a NUL, is passed over; else the scan goes on where the token failed.
  if (end < state.input_end && (start == end || nul)) state.position = end + 1;
  if (state.start_state == kStartPoint)
    state.start_state = lexer_innermost_is_path(state) ? kStartPathElement : kStartNormal;
  return lexer_syntax_error(state, at, end, type);
}

LexStatus scan_open_block(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t, bool) {
  state.position = end + 1;
  return open_construct(state, Type::block, end);
}

LexStatus scan_close_block(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t, bool) {
  state.position = end + 1;
  return close_construct(state, Type::block, false);
}

LexStatus scan_open_paren(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t, bool) {
  state.position = end + 1;
  if (!point_lookahead(end + 1, state.input_end)) return open_construct(state, Type::paren, end);
  state.start_state = kStartPoint;  // the numbers up to ) are one token
  state.point_lines = state.token_lines;
  return LexStatus::ok;
}

LexStatus scan_close_paren(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t, bool) {
  state.position = end + 1;
  return close_construct(state, Type::paren, false);
}

LexStatus scan_open_map(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
  state.position = end + 1;
  return open_construct(state, Type::map, start);
}

LexStatus scan_open_brace(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t flags, bool) {
  state.position = end + 1;
  if (state.brace_depth == 0) {
    (void)lexer_trace(state, LexerEvent::open, id_of(Type::string), kTokenOpenBrace, -1, end, state.position);
    state.brace_start = end;
    state.brace_flags = state.token_lines > 0 ? kFlagBraceNewLine : 0;
  }
  ++state.brace_depth;
  state.brace_flags |= flags;
  state.start_state = kStartBraced;
  return LexStatus::ok;
}

LexStatus scan_close_brace(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t flags, bool load) {
  state.position = end + 1;
  state.brace_flags |= flags;
  if (--state.brace_depth > 0) {
    if (state.position == state.input_end)
      return lexer_syntax_error(state, state.brace_start, state.input_end, id_of(Type::string));
    return LexStatus::ok;
  }
  const uint8_t* opening = state.brace_start;
  uint32_t string_flags = state.brace_flags;
  state.brace_start = nullptr;
  state.brace_flags = 0;
  state.start_state = kStartNormal;
  (void)lexer_trace(state, LexerEvent::close, id_of(Type::string), kTokenCloseBrace, -1, opening, state.position);
  state.token_lines = (string_flags & kFlagBraceNewLine) ? 1 : 0;  // the value's new-line flag
  lexer_note_item(state, false);
  if (!load) {
    TokenHandler check = token_handlers(kTokenString).scanner;
    return check ? check(state, opening, end, string_flags, false) : LexStatus::ok;
  }
  return lexer_load_token(state, kTokenString, opening, end, string_flags);
}

LexStatus scan_path_start(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool) {
  Type path = *start == '\'' ? Type::lit_path : *start == ':' ? Type::get_path : Type::path;
  state.position = end + 1;
  int64_t before = innermost_marker(state);
  if (open_construct(state, path, start) == LexStatus::stop) return LexStatus::stop;
  if (innermost_marker(state) == before) return LexStatus::ok;  // the tracer declined it
  state.error_type = id_of(Type::word);
  if (state.load) {
    const uint8_t* text = path == Type::path ? start : start + 1;
    int32_t type = state.token_type;
    state.token_type = id_of(Type::word);
    if (lexer_load_token(state, kTokenWord, text, end, flags & ~kFlagColon) == LexStatus::stop) return LexStatus::stop;
    state.token_type = type;
  }
  state.start_state = kStartPathElement;
  return LexStatus::ok;
}

LexStatus scan_comment(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool) {
  (void)lexer_trace(state, LexerEvent::scan, 0, kTokenComment, -1, start, end);
  return LexStatus::ok;
}

LexStatus scan_comma(LexerState& state, const uint8_t*, const uint8_t* end, uint32_t, bool) {
  state.position = end + 1;
  int64_t marker = innermost_marker(state);
  if (marker >= 0) {
    Cell& cell = lexer_cell(marker);
    Type construct = marker_construct(cell);
    if (is_point(construct) || construct == Type::paren) {
      cell.w2 = static_cast<uint32_t>(Type::point2d) | (marker_commas(cell) + 1) << 16;
      return LexStatus::ok;
    }
  }
  return lexer_syntax_error(state, end, end + 1, id_of(Type::point2d));
}

}  // namespace qel

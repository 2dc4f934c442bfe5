// lexer-state.h: the record of one running scan, the cell buffer the scans build values in, and
// the chain of active scans.
//
// Scans nest (a loader or a tracer may start another one), so the records form a chain from the
// outermost to the innermost, each on the C++ stack of its scan. All of them share one cell
// buffer on the runtime heap: a scan owns the region [base, tail), an inner scan starts at its
// outer scan's tail, and every position in it is an index, so growing the buffer moves nothing a
// loader holds. The chain's cells, input cells and tracers are collector roots (lexer_mark).
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

struct LexerTracer;

// What a handler or an error report tells the scan loop: go on, or stop (the lexer's stop
// signal: the token is abandoned, and in scan and prescan mode the scan ends). Never an
// exception: a syntax error in load mode raises a language error instead.
enum class [[nodiscard]] LexStatus : uint8_t { ok, stop };

// The token types the engine itself names (token type = final state - 66).
enum TokenType : uint8_t {
  kTokenEnd = 0,
  kTokenError = 1,
  kTokenOpenBlock = 2,
  kTokenCloseBlock = 3,
  kTokenOpenParen = 4,
  kTokenCloseParen = 5,
  kTokenOpenBrace = 6,
  kTokenCloseBrace = 7,
  kTokenOpenMap = 8,
  kTokenPathStart = 9,
  kTokenConstruction = 10,
  kTokenComment = 11,
  kTokenComma = 12,
  kTokenString = 13,
  kTokenWord = 14,
  kTokenIssue = 15,
  kTokenInteger = 16,
  kTokenRefinement = 17,
  kTokenChar = 18,
  kTokenFile = 19,
  kTokenBinary = 20,
  kTokenPercent = 21,
  kTokenFloat = 22,
  kTokenSpecialFloat = 23,
  kTokenTuple = 24,
  kTokenDate = 25,
  kTokenPair = 26,
  kTokenPoint = 27,
  kTokenTime = 28,
  kTokenMoney = 29,
  kTokenTag = 30,
  kTokenUrl = 31,
  kTokenEmail = 32,
  kTokenHexInteger = 33,
  kTokenRawString = 34,
  kTokenRef = 35,
};

// The states a token can start in.
inline constexpr uint8_t kStartNormal = 0;
inline constexpr uint8_t kStartBraced = 4;        // inside a braced string
inline constexpr uint8_t kStartPoint = 35;        // the numbers of a point literal
inline constexpr uint8_t kStartPathElement = 59;  // after a path's slash

// Error types of lexer_syntax_error besides datatype ids.
inline constexpr int32_t kErrorBadChar = -1;
inline constexpr int32_t kErrorMalconstruct = -2;
inline constexpr int32_t kErrorUnmatchedCloser = -3;  // missing: the opener of the closer seen
inline constexpr int32_t kErrorUnclosed = -4;         // missing: the closer of the open construct
inline constexpr int32_t kNoErrorType = -1;           // error type: none set by a handler

// Class flags the scan ORs over a token's bytes: an apostrophe, a colon, a point, a caret, UTF-8
// sequences.
inline constexpr uint32_t kFlagApostrophe = 0x02000000;
inline constexpr uint32_t kFlagColon = 0x04000000;
inline constexpr uint32_t kFlagPoint = 0x10000000;
inline constexpr uint32_t kFlagCaret = 0x20000000;
inline constexpr uint32_t kFlagNonAscii = 0xC0000000;
inline constexpr uint32_t kFlagFourByte = 0x80000000;
// Added to the brace flags when a newline preceded a braced string.
inline constexpr uint32_t kFlagBraceNewLine = 0x00020000;

struct LexerState {
  LexerState* outer = nullptr;  // the enclosing scan's record; null for the outermost
  // Cell buffer indices: the region's first cell, the first cell of the innermost open construct
  // (just after its marker, or base), the next free cell.
  uint64_t base = 0;
  uint64_t head = 0;
  uint64_t tail = 0;
  // The input: bytes that stay put and unchanged for the whole scan (a copy, or a series
  // buffer itself when nothing but the lexer runs).
  const uint8_t* input_start = nullptr;
  const uint8_t* input_end = nullptr;
  const uint8_t* position = nullptr;   // next byte to scan
  const uint8_t* token_end = nullptr;  // just past the current token
  int64_t line = 1;
  int64_t token_lines = 0;  // newlines consumed by the current token, its leading blanks included
  int32_t error_type = kNoErrorType;  // what a handler failing without its own type reports
  int32_t token_type = 0;             // datatype id of the current token (34 error!); the answer
  uint8_t start_state = kStartNormal;
  uint8_t previous_state = 0;  // the state before the final one
  int32_t closing_type = 0;    // construct a missing closer is reported for
  int32_t last_type = 0;       // token type of the previous token
  const uint8_t* brace_start = nullptr;  // the opening brace of the outermost braced string
  int32_t brace_depth = 0;
  uint32_t brace_flags = 0;  // flags over the braced string's parts, plus kFlagBraceNewLine
  int64_t point_lines = 0;   // token lines of a point literal's opening parenthesis
  const LexerTracer* tracer = nullptr;
  Cell input{};       // the string! or binary! the bytes come from (none for plain bytes)
  bool load = false;  // values are made (neither prescan nor scan mode)
  bool scan = false;  // scan mode: every token checked, nothing made
  // Last conversion of a byte offset into a character offset of a string! input.
  int64_t cached_byte = 0;
  int64_t cached_char = 0;
};

// The innermost active scan, or null.
LexerState* lexer_innermost();

// Pushes a record onto the chain for one scan and pops it on every exit, emptying its region
// of the cell buffer. The record starts its region at the enclosing scan's tail.
class LexerStateScope {
 public:
  explicit LexerStateScope(LexerState& state);
  ~LexerStateScope();
  LexerStateScope(const LexerStateScope&) = delete;
  LexerStateScope& operator=(const LexerStateScope&) = delete;

 private:
  LexerState& state_;
};

// The cell at an index of the buffer; valid until the next lexer_alloc_slot.
Cell& lexer_cell(uint64_t index);

// A new cell at the record's tail, the tail advanced by one (the buffer doubles when full; no
// room is internal no-memory). The cell is unset! with the new-line flag when the current
// token's lines are 1 or more. Answers its index.
uint64_t lexer_alloc_slot(LexerState& state);

// Appends copies of `count` cells from index `first` at the tail of a block value's series.
void lexer_append_cells(const Cell& block, uint64_t first, uint64_t count);

// Marker cells of open constructs: type byte 31, w1 = cells between the enclosing construct's
// head and the marker, w2 = construct type in the low 16 bits and commas seen (points) above,
// w3 = byte offset of the opening from the input start.
inline constexpr Type kOpenMarkerType = Type::triple;
inline bool is_open_marker(const Cell& cell) { return cell_type(cell) == kOpenMarkerType; }
inline Type marker_construct(const Cell& marker) { return static_cast<Type>(marker.w2 & 0xFFFF); }
inline uint32_t marker_commas(const Cell& marker) { return marker.w2 >> 16; }

// When nothing is loaded, a paren's marker also counts its items in header bits 8-15 (held at
// 255) and notes in bit 16 an item that is no integer! or float!, so that a comma-made point is
// checked alike in every mode.
inline constexpr uint32_t kMarkerItemShift = 8;
inline constexpr uint32_t kMarkerItemMask = 0xFFu << kMarkerItemShift;
inline constexpr uint32_t kMarkerNonNumber = 1u << 16;
inline uint32_t marker_items(const Cell& marker) { return (marker.header & kMarkerItemMask) >> kMarkerItemShift; }

// The innermost open construct's marker index, or -1 when none is open.
inline int64_t innermost_marker(const LexerState& state) {
  return state.head > state.base ? static_cast<int64_t>(state.head - 1) : -1;
}

// Start-up (init-lexer-tables): the cell buffer (1,000 cells), the scratch buffer and the token
// handler tables. A second call starts afresh.
void init_lexer_tables();
// Start-up (init-lexer): reserves the evaluator's trace-support cell in the root block.
void init_lexer();
// The root-block position of that cell.
uint32_t trace_support_slot();
// The collector's lexer root: every record's cells, input and tracer.
void lexer_mark();

}  // namespace qel

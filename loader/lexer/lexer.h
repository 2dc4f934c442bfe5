// lexer.h: turning UTF-8 text into values: the entry points of the lexer.
//
// Modes: load (the default) makes the values; prescan (make nothing, track only nesting) and
// scan (check every token, make nothing) answer the datatype of what they read. A syntax error
// in load mode is a syntax-category language error; in prescan and scan mode the answer is
// error! and nothing is raised.
#pragma once

#include <cstdint>
#include <span>

#include "loader/lexer/lexer-trace.h"
#include "runtime/cell.h"

namespace qel {

struct LexerRequest {
  bool one = false;       // stop after the first complete value (a block counts as one)
  bool prescan = false;   // prescan mode
  bool scan = false;      // scan mode
  bool as_block = false;  // with one: the value in a block of its own
  const LexerTracer* tracer = nullptr;
  Cell* into = nullptr;   // a block the values are appended to; it is then the result
};

struct LexerAnswer {
  int32_t type;      // datatype id of the last token read (0: none; 34 error!)
  int64_t consumed;  // what was read: characters of a string! input, else bytes
};

// Scans the bytes. The result goes to `out` (a rooted cell): loading, the first value itself
// with `one` (and not as_block) when there is one, else a block of all values (or `into`);
// in prescan and scan mode, and when an error ends in a tracer's veto, none!.
LexerAnswer lexer_transcode(Cell& out, std::span<const uint8_t> text, const LexerRequest& request);

// The same for `length` characters of a string! (or another text value) from its index (-1:
// all of them); positions are counted in characters.
LexerAnswer lexer_load_string(Cell& out, const Cell& string, int64_t length, const LexerRequest& request);

// The same for `length` bytes of a binary! from its index (-1: all of them), after a UTF-8
// byte-order mark at its index, which is passed over.
LexerAnswer lexer_load_binary(Cell& out, const Cell& binary, int64_t length, const LexerRequest& request);

// The size of the UTF-8 byte-order mark at a binary!'s index within its first `length` bytes
// (-1: all of them): 3, or 0 when there is none.
uint32_t binary_bom_size(const Cell& binary, int64_t length);

}  // namespace qel

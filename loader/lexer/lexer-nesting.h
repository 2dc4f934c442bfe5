// lexer-nesting.h: the structural tokens: blocks, parens, maps, paths, points, braced strings,
// commas and comments, and the checks at the end of the input.
//
// An open construct is a marker cell at the tail of the scan's region; the values scanned after
// it follow it, and closing turns them into one value written over the marker. Nesting never
// recurses: any depth of brackets is a run of markers.
#pragma once

#include <cstdint>

#include "loader/lexer/lexer-state.h"
#include "loader/lexer/token-handlers.h"
#include "runtime/type-ids.h"

namespace qel {

// Makes the value of a closed construct from `count` cells from `first` (map! and the point
// types plug theirs in); a failure reports its own syntax error.
using ConstructBuilder = LexStatus (*)(LexerState& state, uint64_t first, uint64_t count, Type type, Cell& out);

// Installs the builder of a construct type (the block-like types have the lexer's own).
void lexer_set_construct_builder(Type type, ConstructBuilder builder);

// True when the text after a left parenthesis reads as the numbers of a point literal.
bool point_lookahead(const uint8_t* after, const uint8_t* end);

// The opening of the innermost open construct, or the input start when none is open.
const uint8_t* lexer_innermost_opening(const LexerState& state);

// True when the innermost open construct is a path.
bool lexer_innermost_is_path(const LexerState& state);
// True when the innermost open construct is a paren! or a point: the plain scan keeps out of
// it, so that its items are counted.
bool lexer_innermost_is_paren(const LexerState& state);
// In scan mode, counts an item of the innermost paren or point (`number`: an integer! or float!
// token), for the check of a comma-made point when it closes.
void lexer_note_item(LexerState& state, bool number);

// Closes the innermost open construct as it stands, after an error a tracer was told of.
void lexer_close_after_error(LexerState& state);

// A plain scan's block bracket at `bracket` (no tracer, no values made): opens or closes a
// block as its scanner would and answers true when that can neither fail nor leave the normal
// start state (no point is open; the closer fits a block or map that is not inside a path);
// else changes nothing and answers false.
bool lexer_plain_block_bracket(LexerState& state, const uint8_t* bracket, bool opens);

// After a path element: closes the path, or consumes the slash before the next element.
LexStatus lexer_path_step(LexerState& state);

// The checks at the end of the input: an unclosed braced string, an unclosed construct (the
// innermost one is reported), and in prescan mode a path that is still open.
LexStatus lexer_end_check(LexerState& state, bool prescan);

// Structural scanners, by token type.
LexStatus scan_end(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_error_token(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_open_block(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_close_block(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_open_paren(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_close_paren(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_open_brace(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_close_brace(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_open_map(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_path_start(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_comment(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);
LexStatus scan_comma(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t flags, bool load);

}  // namespace qel

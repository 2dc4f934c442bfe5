// parse-match.h: what the parse engine matches at one input position, without rules: one
// literal, the search of `to` and `thru`, and the repetition of a literal.
//
// `end` is where the input counts as ended: its tail, or the /part limit when that lies before
// it. Nothing here looks past it, so a limit cuts matches and searches alike. Text runs in its
// buffer's own unit width; nothing here allocates a value or reaches a safe point.
#pragma once

#include <cstdint>
#include <optional>

#include "runtime/cell.h"

namespace qel {

// Whether the input is a text series (string! and its kin).
bool parse_text_input(const Cell& input);

// An element of block input against a literal rule under the engine's op (0 or 2); a lit-word!
// or lit-path! rule compares with the word-aware codes, so 'word matches word and 'word.
bool parse_compare(const Cell& element, const Cell& rule, int32_t op);

// On binary input, the bytes the one token the lexer reads at the index takes when its datatype
// is one the datatype! or typeset! rule selects, else -1 (a token the lexer refuses included).
int64_t parse_scan_datatype(const Cell& input, int64_t end, const Cell& rule);

// The units a literal matches at the input's index (0 for an empty text), or -1.
int64_t parse_match_literal(const Cell& input, int64_t end, const Cell& value, int32_t op);

// The first place from the index before `end` where the literal stands: its start and the
// position just past it. Text input raises script parse-rule for a literal no text search takes.
struct ParseFound {
  int64_t start;
  int64_t after;
};
std::optional<ParseFound> parse_find_value(const Cell& input, int64_t end, const Cell& value, int32_t op);

// How many times in a row the literal matches from the index, at most `max` (-1: no maximum),
// and the position after the last match.
struct ParseRepeated {
  int64_t count;
  int64_t index;
};
ParseRepeated parse_repeat_value(const Cell& input, int64_t end, const Cell& value, int32_t op, int64_t max);

}  // namespace qel

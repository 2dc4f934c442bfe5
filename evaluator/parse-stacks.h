// parse-stacks.h: the parse engine's two stacks, shared by nested parse calls.
//
// Both are blocks kept in root slots, so the collector sees everything on them:
// - the input stack holds the input series of the nested levels: a parse appends its input at
//   start and `into` appends the sub-series it enters;
// - the rule stack holds frames of exactly three cells: a rule-block frame (none, a position
//   marker, the outer rule block) or a command frame (the target word or a count marker, a
//   position marker, the command cell). Marker cells carry type byte 31 and command cells type
//   byte 37, so a tracer sees them as triple! and pair! values.
//
// A parse called while another runs (from a paren, a tracer or a function they call) works
// above a head: parse_stacks_enter appends a marker holding both heads to the rule stack and
// moves the heads past the content, parse_stacks_leave puts them back. Cells below a head belong
// to the outer calls and are never read or changed by the inner one.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"

namespace qel {

inline constexpr Type kParseMarkerType = Type::triple;
inline constexpr Type kParseCommandType = Type::pair;
// Either stack may hold this many cells above its head before the parse stops.
inline constexpr int64_t kParseStackLimit = 10000;

// The stacks' nodes (which never change) and heads, read inline by the engine's hot path and
// changed only by the functions below.
struct ParseStacks {
  NodeId input = 0;
  NodeId rules = 0;
  uint32_t input_head = 0;
  uint32_t rule_head = 0;
};
extern ParseStacks parse_stacks;

// The cells between a block's head and tail.
inline int64_t parse_cells_in(NodeId node) {
  const SeriesBuffer* buffer = series_buffer(node);
  return (buffer->tail - buffer->head) / sizeof(Cell);
}

// init-parse: makes the two stacks (room for 8 and 100 cells) in root slots and the keyword
// table; a start-up step after the native table.
void init_parse();

// The stacks as block values (their own root slots hold them).
inline Cell parse_input_stack() { return make_cell(Type::block, 0, parse_stacks.input); }
inline Cell parse_rule_stack() { return make_cell(Type::block, 0, parse_stacks.rules); }

// Cells above each stack's head.
inline int64_t parse_input_depth() { return parse_cells_in(parse_stacks.input) - parse_stacks.input_head; }
inline int64_t parse_rule_depth() { return parse_cells_in(parse_stacks.rules) - parse_stacks.rule_head; }
// The heads, as cell counts from each block's first cell.
inline uint32_t parse_input_head() { return parse_stacks.input_head; }
inline uint32_t parse_rule_head() { return parse_stacks.rule_head; }

// parse-stacks-enter: when a parse is already running (the rule stack is not empty above its
// head), saves both heads in a marker and moves them past the content; answers whether it did.
bool parse_stacks_enter();
// parse-stacks-leave: when the rule stack's head is above 0, steps back over the marker below it
// and restores both heads from it.
void parse_stacks_leave();
// parse-stacks-reset: empties both stacks from their heads, then leaves when nested.
void parse_stacks_reset(bool nested);
// parse-check-stacks: over the limit, resets both stacks to this call's heads and raises script
// parse-stack.
[[noreturn]] void parse_stacks_overflow();
inline void parse_check_stacks() {
  if (parse_input_depth() > kParseStackLimit || parse_rule_depth() > kParseStackLimit) [[unlikely]]
    parse_stacks_overflow();
}

}  // namespace qel

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

namespace qel {

inline constexpr Type kParseMarkerType = Type::triple;
inline constexpr Type kParseCommandType = Type::pair;
// Either stack may hold this many cells above its head before the parse stops.
inline constexpr int64_t kParseStackLimit = 10000;

// init-parse: makes the two stacks (room for 8 and 100 cells) in root slots and the keyword
// table; a start-up step after the native table.
void init_parse();

// The stacks as block values (their own root slots hold them).
Cell parse_input_stack();
Cell parse_rule_stack();

// Cells above each stack's head.
int64_t parse_input_depth();
int64_t parse_rule_depth();
// The heads, as cell counts from each block's first cell.
uint32_t parse_input_head();
uint32_t parse_rule_head();

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
void parse_check_stacks();

}  // namespace qel

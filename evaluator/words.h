// words.h: the word family: word! (15), set-word! (16), lit-word! (17), get-word! (18),
// refinement! (19) and issue! (20), and the angle reduction of the trigonometric natives.
//
// A word cell: w1 the node of the context it is bound to (0 when unbound), w2 its symbol, w3 its
// slot in that context or -1 while unresolved. The six kinds share the cell and differ only in
// the type byte: converting between kinds keeps the binding.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// Reads source text as one value, as make and to of the word family do for string! and char!
// sources (the lexer's one-token scan); the stand-in raises script bad-to-arg.
using WordTextScanner = Cell (*)(const Cell& text, Type target);
void set_word_text_scanner(WordTextScanner scanner);

// angle-to-radians: an angle in degrees reduced for the mode (0 tangent, 2 sine, any other
// cosine) and turned into radians.
double angle_to_radians(double angle, int32_t mode);

// word-compare: the comparison of two words by code (0 for equal, else non-zero; -2 when they
// cannot compare).
int32_t word_compare(const Cell& value, const Cell& other, int32_t code);

void register_word_datatype();
void register_set_word_datatype();
void register_lit_word_datatype();
void register_get_word_datatype();
void register_refinement_datatype();
void register_issue_datatype();

}  // namespace qel

// string.h: string!, the datatype of text (type 7, parent series!): its action functions, the
// text element hook of the series actions, and what char! and the set natives take from it.
//
// file!, url!, tag!, email! and ref! inherit these functions through the registry. Every action
// that changes a text tells the series' owner before and after (series.h); an owner's handler
// reaches the evaluator, so positions are read again from the value after each notification.
#pragma once

#include <cstdint>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/datatype-registry.h"

namespace qel {

// string-init: registers string! with its action row, and the text element hook for every text
// type.
void string_init();

// The row tag!, email! and ref! start from: string!'s actions inherited, but random, the bitwise
// actions, sort and trim, which they do not have.
ActionRow lesser_text_type_row();

// The code point at a text value's index, for char! make and to; at the tail raises script
// bad-to-arg with char! and the value.
uint32_t char_from_text(const Cell& text);

// --- Forming values into text --------------------------------------------------------------------------

// Forms a value onto the tail of a text: whole, or with `budgeted` within `budget` code points
// (what the value's form writes beyond them is cut off again). Answers the budget left, below 0
// when the form was cut.
int32_t string_form_onto(NodeId text, const Cell& value, bool budgeted, int32_t budget);

// Forms the elements of a block-like value from its index onto the tail of a text, while `part`
// is above 0: budgeted, `part` is a budget of code points that goes on from element to element;
// otherwise each element is formed whole and counts 1. Answers what is left of `part`.
int32_t string_form_elements_onto(NodeId text, const Cell& block, bool budgeted, int32_t part);

// --- The actions -------------------------------------------------------------------------------------

Cell* string_make(Cell& type, Cell& spec, Type type_id);
Cell* string_to(Cell& type, Cell& spec, Type type_id);
int32_t string_form(const Cell& value, Cell& buffer, bool part, int32_t limit);
int32_t string_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                    int32_t indent);
Cell* string_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step);
int32_t string_compare(const Cell& value1, const Cell& value2, int32_t op);
// append tells the owner only with `notify` (insert and change append without); insert takes the
// slot's append flag and ignores it.
void string_append(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool notify);
void string_insert(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool append);
void string_change(Cell& series, Cell& value, int32_t part, bool only, int32_t dup);
// string-char-in-bitset: the code point at the text's index is in the bitset (beyond its stored
// bytes, the bitset's negated flag answers); false at the tail.
bool string_char_in_bitset(const Cell& value, const Cell& bitset);

Cell* string_find(Cell& series, Cell& value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
                  Cell* skip, bool last, bool reverse, bool tail, bool match);
Cell* string_select(Cell& series, Cell& value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
                    Cell* skip, bool last, bool reverse);
Cell* string_sort(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse,
                  bool stable);
void string_swap(Cell& series1, Cell& series2);
Cell* string_take(Cell& series, Cell* part, bool deep, bool last);
void string_trim(Cell& series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);

// --- Set operations ---------------------------------------------------------------------------------

// string-set-operation, under the set operation codes of block.h (8 unique ... 12 difference):
// a new text of the records of series1 (and series2 for union and difference; unique ignores
// it) that the operation keeps, each record once by its first code point (folded through the
// upper-case map unless case_sensitive). Records are /skip units (an integer! of 1 or more,
// else script invalid-refine-arg), or single code points. Answers series1's cell, referring to
// the new buffer at index 0.
Cell string_set_operation(int32_t op, const Cell& series1, const Cell& series2, bool case_sensitive,
                          const Cell* skip);

}  // namespace qel

// loop-steps.h: the steps of the series loops (foreach, forall, remove-each) over their hidden
// cells, and the assignment of values to a block of words that foreach and set share.
//
// foreach and remove-each push copies of their series and word arguments (remove-each before
// them an integer! counter) and then open their loop frame, so the steps find them just below the
// loop frame's base: the word or word block one cell below, the series cursor two below, the
// counter three below. The cursor is a copy: its index advances, the caller's argument does not.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The hidden cells of the current loop frame.
Cell& loop_words_cell();
Cell& loop_cursor_cell();
Cell& loop_counter_cell();

// What set's refinements ask of an assignment to a block of words.
struct WordAssignFlags {
  bool any = false;   // unset! values are set too (else need-value names the word)
  bool only = false;  // the source itself goes to every word, even a block
  bool some = false;  // a none value leaves its word untouched
};

// loop-words-assign-block: sets the first n words of the word block (from its index). A
// block-like source without `only` gives word i its value i (none past its tail); any other
// source goes to every word. Nothing is set unless every entry is a word!, set-word!, get-word!
// or lit-word! (else script invalid-arg with the entry) and, without `any`, no value is unset!
// (else script need-value with its word).
void loop_words_assign_block(const Cell& words, const Cell& source, uint32_t n, WordAssignFlags flags);

// loop-words-assign-string: sets word i of the first n words of the word block to `pick series
// i` (none past the tail), for a series whose elements are made by pick (text, binary).
void loop_words_assign_string(const Cell& words, const Cell& series, uint32_t n);

// Raises script invalid-arg with the first entry of the word block that is no word, or with the
// block itself when it holds none at all; foreach checks its word block once so.
void loop_words_check(const Cell& words);

// foreach-next: false at the cursor's tail; else the loop word gets the element at the cursor
// (the cell itself for block-like series, pick for the others) and the cursor moves by one.
bool foreach_next();

// foreach-next-multi: false at the cursor's tail; else the n words of the word block get the
// next n values (none past the tail) and the cursor moves by n, past the tail when the group was
// short.
bool foreach_next_multi(uint32_t n);

// remove-each-set-count: the counter cell gets the number of loop words (1 for a single word).
void remove_each_set_count();

// remove-each-remove: after an iteration whose value (the loop frame's result cell) is truthy,
// removes the group just assigned: the cursor steps back by the count and that many elements go;
// the cursor keeps the position remove answers.
void remove_each_remove();

// forall-step: moves the loop word's series on by one (in place, in the word's value cell; the
// word caches its slot); answers whether it is now at its tail. The word must still hold a
// position in the series the loop started with (`start`), else script bad-loop-series with the
// word's value.
bool forall_step(Cell& word, const Cell& start);

// Whether a value is a series forall can walk.
bool forall_series(const Cell& value);

}  // namespace qel

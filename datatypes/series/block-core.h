// block-core.h: the cell-level primitives behind block! and its kin (paren!, the path family,
// hash!): locating, appending, inserting, cutting and finding cells, shallow and deep copies,
// constructors and value-stack operations, the mold loop and the structural comparison.
//
// A block is a series of 16-byte cells; position = head + 16 x index. Cell addresses these
// functions answer are valid until the block grows or a safe point passes; callers that go on
// keep the block value (node and index) instead.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// --- Locating cells ---------------------------------------------------------------------------

// block-length: the cells from the index to the tail, not clamped (negative past the tail).
int64_t block_length(const Cell& block);
// block-advance-one: index + 1 when a cell remains before the tail; answers whether the
// position is now the tail.
bool block_advance_one(Cell& block);
// block-head-cell: the cell at the index; an index past the tail is first set to the tail.
Cell* block_head_cell(Cell& block);
// block-tail-cell: just past the last cell.
Cell* block_tail_cell(const Cell& block);
// block-at-tail: the position is the tail.
bool block_at_tail(const Cell& block);
// block-cell-at: the cell n places from the head (n from 0).
Cell* block_cell_at(const Cell& block, int64_t n);
// The number of cells between head and tail.
int64_t block_total_cells(const Cell& block);

// --- Cutting ----------------------------------------------------------------------------------

// block-clear-at-index: the tail moves to the index.
void block_clear_at_index(const Cell& block);
// block-truncate: the tail moves to n cells from the head.
void block_truncate(const Cell& block, int64_t n);
// block-drop-last: removes the last cell of a non-empty block; an index left past the tail is
// set to the new length.
void block_drop_last(Cell& block);

// --- Appending and inserting ------------------------------------------------------------------

// block-append-copy: a copy of the value in a fresh cell at the tail; answers the cell.
Cell* block_append_copy(const Cell& block, const Cell& value);
// block-append-cells: copies of the source's cells from its index to its tail, at the tail.
void block_append_cells(const Cell& target, const Cell& source);
// block-insert-value: a copy of the value at the index (at the head with at_head). A full
// buffer grows to 2 x (used + 16) bytes. With advance, the block's index moves past it, so
// repeated inserts keep their order.
void block_insert_value(Cell& block, const Cell& value, bool advance, bool at_head);
// block-insert-cells: block_insert_value of each source cell from its index, advancing.
void block_insert_cells(Cell& target, const Cell& source);

// --- Finding and removing ---------------------------------------------------------------------

// block-find-value: the cell after the first cell from the index that equals the value (by the
// value's compare action under the find equality), or none (also when the match is last).
Cell block_find_value(const Cell& block, const Cell& value);
// block-remove-value: removes the first cell equal to the value, from the head (from_head) or
// the index; answers whether the removed cell lay before index + 1, so that the caller can step
// its own index back; false when there was none.
bool block_remove_value(const Cell& block, const Cell& value, bool from_head);
// block-find-word: the cell after the first word-kind cell from the index whose symbol is the
// word's (exact: the same spelling; else the same up to case), or none (also when it is last).
Cell block_find_word(const Cell& block, const Cell& word, bool exact);
// The position of that word-kind cell, or -1.
int64_t block_find_word_position(const Cell& block, const Cell& word, bool exact);

// --- Copies -----------------------------------------------------------------------------------

// Which nested cells a deep copy replaces by their own deep copies.
enum class DeepCopy : uint8_t {
  none,          // a shallow copy
  blocks,        // block! cells
  blocks_paths,  // block!, paren! and path family cells
  series,        // every series cell (blocks, text, binary!, vector!, image! ...)
};

// block-copy-deep: pushes a copy of the cells from the index (a block of the source's type,
// at least one cell of room) on the value stack, nested cells replaced per `deep`; answers the
// pushed cell. A block met again inside itself raises internal no-cycle.
Cell* block_copy_deep(const Cell& block, DeepCopy deep);
// Replaces the nested cells of a block, from its head, by their deep copies (see DeepCopy).
void block_copy_nested(const Cell& block, DeepCopy deep);
// Whether a datatype! or typeset! selects the type.
bool types_select(const Cell& types, Type type);
// block-copy-by-types: every `step`-th cell from the index whose type the datatype! or
// typeset! selects and that is a series or composite value is replaced by its copy (copy
// /deep when deep, passing the typeset on).
void block_copy_by_types(const Cell& block, int64_t step, bool deep, const Cell& types);

// The nested copies of a copy action, in the copy made of the block on node `origin`: with
// types, every `step`-th cell from position `first` whose type they select is replaced by its
// copy; else, with deep, every series cell by its deep copy (the origin on the copy path: met
// again inside itself, internal no-cycle).
void block_copy_contents(NodeId origin, const Cell& copy, int64_t first, int64_t step, bool deep, const Cell* types);

// --- Constructors -----------------------------------------------------------------------------

// block-make-at: an empty block! with room for max(n, 1) cells, written into the cell.
void block_make_at(Cell& cell, int64_t n);
// block-make-at-sized: with preallocate, room for n cells from the runtime heap (never moves);
// else n unset cells of room.
void block_make_at_sized(Cell& cell, int64_t n, bool preallocate);
// block-make-in: a new empty block in a fresh cell at the parent's tail, or pushed on the
// value stack when the parent is none; answers the cell.
Cell* block_make_in(const Cell& parent, int64_t capacity);
// block-push: a copy of the block on the value stack; block-push-new: a new empty block!.
Cell* block_push(const Cell& block);
Cell* block_push_new(int64_t capacity);

// --- Mold and compare ---------------------------------------------------------------------------

// block-mold-cells: molds the cells from the index into the text buffer, spaces between them;
// a cell with the new-line marker starts a new line indented by `indent` levels of four spaces
// (a marker on the first cell indents the whole block one level more and puts its end on a
// line of its own). Every unit written comes off the limit; with `part`, molding stops once it
// is used up. Answers the remaining limit.
int32_t block_mold_cells(const Cell& block, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                         int32_t indent);
// block-compare-cells: -1, 0 or 1, or a cell comparison's own non-zero answer (-2 included).
int32_t block_compare_cells(const Cell& a, const Cell& b, int32_t op);
// compare-element-cells: two elements of a compared block or object: by the compare action
// when they are of one type, two word kinds or two numbers; else ordered by their type ids.
int32_t compare_element_cells(const Cell& x, const Cell& y, int32_t op);

// The block hooks of pick, poke and random: the cell itself, any value, a copy into the cell.
void block_register_element_hooks(Type type);

}  // namespace qel

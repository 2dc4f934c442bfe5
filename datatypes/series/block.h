// block.h: block! (type 5, parent series!): its actions, which paren!, the path family and
// hash! inherit, and the set operations of blocks.
#pragma once

#include <cstdint>

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// A copy of the cells of a block-like value from its index, typed `type`, pushed on the value
// stack: make and to of the block family.
Cell* block_make_from(const Cell& spec, Type type);

// The bracketed mold of the block family: the elided form when the block is being walked
// already, else `open`, the cells by block_mold_cells and `close` (no brackets with /only),
// each bracket one unit off the limit.
int32_t block_mold_bracketed(const Cell& value, Cell& buffer, const char* open, const char* close, bool only,
                             bool all, bool flat, bool part, int32_t limit, int32_t indent);

// The position of the cell a path step on the block reaches by the selector: an integer! counts
// from the index as pick does, another key reaches the cell after it; -1 when there is none.
int64_t block_path_position(const Cell& block, const Cell& selector, bool case_sensitive);

// The actions the path family and paren! take from block! by name.
int32_t block_form(const Cell& value, Cell& buffer, bool part, int32_t limit);
Cell* block_to(Cell& type, Cell& spec, Type type_id);
Cell* block_copy(Cell& value, Cell* part, bool deep, Cell* types, Cell& result);

// The set operations of blocks: 8 unique, 9 union, 10 intersect, 11 exclude, 12 difference.
inline constexpr int32_t kSetUnique = 8, kSetUnion = 9, kSetIntersect = 10, kSetExclude = 11, kSetDifference = 12;
// block-set-operation: a new block of the first input's type (the second's for union) holding
// the records of the operation without duplicates. /skip makes records of that many cells of
// which only the first is tested (an integer! of at least 1, else invalid-refine-arg naming
// /skip); /case tests letter case.
Cell block_set_operation(int32_t op, const Cell& first, const Cell& second, bool case_sensitive, const Cell* skip);

// block-init: registers block! with its action row and its element hooks.
void block_init();

}  // namespace qel

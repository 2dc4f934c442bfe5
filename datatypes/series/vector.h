// vector.h: vector! (type 35, parent string!): numbers of one element type packed in a byte
// buffer: 8-, 16- or 32-bit integers or characters, 32- or 64-bit floats, 64-bit percents.
//
// A vector! cell: the index in elements, the buffer's node (its unit is the element size) and
// the element type id in the fourth word (char!, integer!, float! or percent!). Elements are
// stored little-endian: integers as their low bits, read back sign-extended; characters as
// their low bits, read back zero-extended (a code point is never negative); floats as float32
// or double. Arithmetic works out every result before it writes one, so an error leaves the
// vector as it was.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// vector-make-at: an empty vector of the element type and size (bytes) with room for n
// elements; a size past the series ceiling raises internal no-memory.
void vector_make_at(Cell& cell, int64_t n, Type element, int32_t size);

// The elements from the vector's index as a new block! pushed on the value stack (block! make
// and to of a vector).
Cell* vector_to_block_push(const Cell& vector);

// number op vector, into `number`: a new vector of the vector's element type and size whose
// elements are number op element (integer!, char! and float! arithmetic with a vector on the
// right).
void vector_number_op(Cell& number, Cell& vector, int32_t op);

// vector-init: registers vector! with its action row and element hooks.
void vector_init();

}  // namespace qel

// object.h: object! values: contexts with an identity (class id) and change hooks.
//
// The object cell (object!, and error! and port! which share it): w1 the node of its context
// (kind 2; the context's owner slot holds a copy of the cell), w2 the class id, w3 the node of
// the change-hook record or 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// object-next-class-id: the next class id. Ids 1 (error!) and 2 (port!) are fixed, so the
// first id handed out is 3.
uint32_t object_next_class_id();
// object-make-empty: a new object with room for n fields and class id 0.
Cell object_make_empty(int64_t n);

// object-mold-as: the opening text, then each field as a set-word and its molded value (one
// indented line each unless flat), then "]"; an object met inside itself writes the cycle marker.
int32_t object_mold_as(const Cell& object, std::string_view opening, Cell& output, bool all, bool flat, bool part,
                       int32_t limit, int32_t indent);

// register-object-datatype: object! with select, reflect, modify, form, mold, path step, put,
// compare and copy;
// error! inherits them.
void register_object_datatype();

}  // namespace qel

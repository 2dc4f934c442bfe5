// object.h: object! values: contexts with an identity (class id) and change hooks.
//
// The object cell (object!, and error! and port! which share it): w1 the node of its context
// (kind 2; the context's owner slot holds a copy of the cell), w2 the class id, w3 the node of
// the change-hook record or 0.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"
#include "runtime/services.h"

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

// object-install-hooks: makes the change-hook record when the object's on-change* or
// on-deep-change* field holds a function! (the deep one also records the object as the owner of
// its series); such a field holding anything but a function, none or unset is script
// bad-field-set.
void object_install_hooks(Cell& object);
// object-fire-field-change: runs on-change* with the field word, the old and the new value;
// object-fire-on-change: runs on-deep-change* with the seven values of the change. An object
// without a change-hook record is script invalid-obj-evt.
void object_fire_field_change(const Cell& owner, const Cell& word, const Cell& old_value, const Cell& new_value);
void object_fire_on_change(const OwnerChange& change);

// register-object-datatype: object! with select, reflect, modify, form, mold, path step, put,
// compare and copy, which error! inherits; installs the two fire services.
void register_object_datatype();

}  // namespace qel

// object.h: object! values: contexts with an identity (class id) and change hooks.
//
// The object cell (object!, and error! and port! which share it): w1 the node of its context
// (kind 2; the context's owner slot holds a copy of the cell), w2 the class id, w3 the node of
// the change-hook record or 0.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/cell.h"
#include "runtime/services.h"

namespace qel {

// object-next-class-id: the next class id. Ids 1 (error!) and 2 (port!) are fixed, so the
// first id handed out is 3.
uint32_t object_next_class_id();
// object-make-empty: a new object with room for n fields and class id 0.
Cell object_make_empty(int64_t n);
// A new object of fields of these names, in this order, every one none: a prototype's layout.
Cell object_with_none_fields(std::span<const char* const> names);

// make object! (object-make): a new object from a prototype object (its context copied) or the
// object! type (four empty slots), and a spec: an object! merged in (its words added, its values
// copied), or a block whose set-words are collected, which is bound to the new object (self
// included) and evaluated after the prototype's series and functions were taken over. A new
// class id is taken when fields were added or there was no prototype. Then the hooks are
// installed. Any other spec is syntax malconstruct (object!, the spec).
Cell object_make(const Cell& prototype, const Cell& spec);
// construct: the same from a block spec that is never evaluated nor bound: its fields take the
// values after their set-words literally (see object_collect_set_words), on a copy of the
// prototype object when one is given.
Cell object_construct(const Cell& prototype, const Cell& spec, bool logic_words_kept);
Cell* object_make_action(Cell& type, Cell& spec, Type type_id);
// How object_collect_set_words gives fields their values.
enum class SpecValues : uint8_t {
  evaluated,      // none of them: the spec will be evaluated (a trailing run of set-words gets none)
  literal,        // the value after each run, unevaluated; the words true, yes and on give true,
                  // false, no and off false, none none
  literal_words,  // the value after each run, unevaluated, those words kept as words
};
// object-collect-set-words: adds the spec's set-words (from its index) to the context and
// answers whether any was new; the values as the mode says (a run of set-words ending the spec
// gets none in every mode).
bool object_collect_set_words(NodeId context, const Cell& spec, SpecValues mode);
// The object's series values replaced by deep copies bound to it and its function! values made
// again with bodies bound to it, so nothing is shared with the object they came from.
void object_own_inherited_values(const Cell& object);
// object-set-from-value: sets the fields from one value: a block's items in order (none past its
// end), another object's namesake fields, or (any other value, or with only) the value itself.
// Without any and some an unset! item paired with a field is script need-value before anything
// is set; with some a none item leaves its field alone. Fields are set as set-words set them;
// the handler fields of an object with hooks are only marked.
void object_set_from_value(const Cell& object, const Cell& value, bool any, bool only, bool some);
// Whether the slot is the object's on-change* or on-deep-change* field.
bool object_is_handler_field(const Cell& object, uint32_t slot);

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

// register-object-datatype: object! with make, select, reflect, modify, form, mold, path step, put,
// compare and copy, which error! inherits; installs the two fire services.
void register_object_datatype();

}  // namespace qel

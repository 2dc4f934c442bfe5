// series.h: the series model shared by every series datatype: positions and lengths, the
// element hooks of the series types, change notifications to owners, and series!'s actions.
//
// A series value is a position (its index, in units) in a buffer that several values may
// share. The index is signed 32-bit and may lie past the tail after another value shrank the
// buffer: reading clamps it to 0 .. total length, and every sum of an index and a count is made
// in 64 bits before it is clamped or checked, so nothing wraps.
//
// Memory rule: a buffer moves when its series grows and at a safe point. An owner notification
// reaches the evaluator (a safe point), so an action computes its positions again from the
// value after each notification: the handler may have changed or cleared the series.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"

namespace qel {

// --- Kinds of series --------------------------------------------------------------------------

// What the units of a series hold.
enum class SeriesKind : uint8_t { none, block, text, binary, vector, image };
SeriesKind series_kind(Type type);

// --- Positions and lengths ----------------------------------------------------------------------

inline SeriesBuffer* series_buffer_of(const Cell& series) { return series_buffer(series.w2); }
inline int64_t series_index(const Cell& series) { return payload_i32(series, 1); }
inline void series_set_index(Cell& series, int64_t index) { set_payload_i32(series, 1, static_cast<int32_t>(index)); }
// log2 of the unit: 0, 1, 2 or 4.
inline unsigned series_shift(const SeriesBuffer* buffer) { return static_cast<unsigned>(std::countr_zero(buffer->unit())); }

// series-total-length: the units between head and tail, whatever the index.
inline int64_t series_total_length(const Cell& series) {
  // An image's buffer is its record: it counts pixels, its size word in the cell.
  if (cell_type(series) == Type::image) [[unlikely]] return int64_t{series.w3 & 0xFFFF} * (series.w3 >> 16);
  const SeriesBuffer* buffer = series_buffer_of(series);
  return int64_t{buffer->tail - buffer->head} >> series_shift(buffer);
}
// The index clamped to 0 .. total length. Inline: every position read of a scan starts here.
inline int64_t series_clamped_index(const Cell& series) {
  return std::clamp<int64_t>(series_index(series), 0, series_total_length(series));
}
// The units from the clamped index to the tail.
inline int64_t series_length_after(const Cell& series) {
  return series_total_length(series) - series_clamped_index(series);
}
// The address of the unit at a position from the head; valid until the series grows or a safe
// point passes.
inline uint8_t* series_unit_address(const Cell& series, int64_t position) {
  SeriesBuffer* buffer = series_buffer_of(series);
  return buffer->head_address() + (position << series_shift(buffer));
}

// series-at-tail: the position is at or past the tail.
bool series_at_tail(const Cell& series);
// series-advance: moves the index by n only when the new position stays inside head .. tail;
// answers whether the position is now at the tail.
bool series_advance(Cell& series, int64_t n);
// series-length-from-index: from the head, the total length; else the units from the index (a
// negative index reads as 0). An index past the tail is set to the tail in the value, and 0 is
// answered.
int32_t series_length_from_index(Cell& series, bool from_head);

// How a full buffer grows to take more units: to twice what it then needs, or to exactly that.
enum class Growth : uint8_t { doubled, exact };
// Makes room for `units` units at `position` (inside the content or at the tail): the units
// from there move up and the tail with them. A size past the series ceiling raises internal
// no-memory before anything changes.
void series_open_gap(const Cell& series, int64_t position, int64_t units, Growth growth);
// Removes `count` units at `start` (both inside the content): the rest moves down.
void series_cut_units(const Cell& series, int64_t start, int64_t count);

// Moves a value's index back to its tail when it lies past it; a negative index reads as 0.
void series_clamp_index(Cell& series);

// A /part, /skip or /compare argument that is no integer! and no position in the same series.
[[noreturn]] void raise_invalid_refine_arg(const Cell& refinement, const Cell& argument);
// Whether the argument is a position in the same series: the same type and buffer.
bool series_same(const Cell& series, const Cell& other);
// The count of a /part argument measured from the series' index: an integer! as it is, or
// another position in the same series (both indexes clamped) less this one; any other
// argument raises invalid-refine-arg naming /part.
int64_t series_part_count(const Cell& series, const Cell& part);
// The /skip size of a search: 1 without /skip, else an integer! of 1 or more (invalid-refine-arg,
// out-of-range).
int64_t skip_size(const Cell* skip);

// --- Element hooks ----------------------------------------------------------------------------

// What depends on the element type, registered by each series type. Positions are units from
// the head, inside the content.
struct ElementHooks {
  // The element as a value: a block's cell, a text's char!, a binary's integer! ...
  Cell (*pick)(const Cell& series, int64_t position);
  // Raises the error for a value the series cannot hold; changes nothing.
  void (*check)(const Cell& series, const Cell& value);
  // Stores a checked value over the element at the position.
  void (*store)(const Cell& series, int64_t position, const Cell& value);
  // Inserts `count` elements of `source` (from its index) at `position` of `target`, whose
  // unit differs; null where no conversion exists (move raises move-bad).
  void (*insert_converted)(const Cell& target, int64_t position, const Cell& source, int64_t count);
};

void series_set_element_hooks(Type type, const ElementHooks* hooks);
// The hooks of a series type; a series type without hooks is a build defect (runtime error 98).
const ElementHooks& series_element_hooks(Type type);

// The element n from the index (1 the one at it, -1 the one before it) as pick answers it:
// none when n is 0 or no element is there.
Cell series_pick_value(const Cell& series, int64_t n);
// The unit that pick and poke address: n counts from the index (1 is the unit at it, -1 the
// one before it); -1 when n is 0 or the unit lies outside the content.
int64_t series_pick_position(const Cell& series, int64_t n);
// Stores the value over the element n from the index as poke does, announcing it; raises
// script out-of-range (n) when there is no such element.
void series_poke_value(const Cell& series, int64_t n, const Cell& value);

// --- Change notifications ---------------------------------------------------------------------

// The modifying actions, each announced with a word before the change and its past form after.
enum class SeriesChange : uint8_t {
  random, clear, poke, remove, reverse, take, move, append, insert, change, put, sort, swap, trim,
};

// Whether a change to the series reaches an owner at all (one flag test).
bool series_owned(const Cell& series);
// Tells the owner of an owned series before the change; answers whether an owner was told.
bool series_notify_before(const Cell& series, SeriesChange change, const Cell& value, int64_t index, int64_t count);
// Tells it after the change. Callers make this call only when the before-call told an owner,
// except for clear, remove, move and put on an existing key, which always make it.
void series_notify_after(const Cell& series, SeriesChange change, const Cell& value, int64_t index, int64_t count);

// --- Actions shared with the series types -------------------------------------------------------

// series-copy: a new series of the value's type from the units at its index (/part: an
// integer!, a pair! range or a position in the same series), written into `result`, which
// the caller keeps rooted; answers it.
Cell& series_copy_into(const Cell& series, const Cell* part, Cell& result);
// series-take: removes and answers the taken units as a new series (pushed on the value
// stack), or a none! cell when the range is empty.
Cell* series_take(Cell& series, Cell* part, bool last);
// series-remove: removes units at the index (/part) or a key and the unit after it (/key).
void series_remove(Cell& series, Cell* part, Cell* key);

// reflect and modify of a series (and of bitset!): only the field `owned`. reflect answers a
// block of the owner object and its field word, or none (other fields: internal not-done);
// modify with none releases the series, with [owner-object field-word] gives it to that owner.
void series_reflect(Cell& value, Cell& field);
Cell* series_modify(Cell& target, Cell& field, Cell& value, bool case_);

// series-init: registers series! (type 42, no parent) with its action row.
void series_init();

}  // namespace qel

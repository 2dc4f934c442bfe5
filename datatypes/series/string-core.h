// string-core.h: the primitives every text value is built on: making string values, reading
// code points at positions, writing code points and text with the unit rules, removing units.
//
// A text value (string!, file!, url!, tag!, email!, ref!) is a series cell: w1 its index in
// units, w2 its node; w3 stays 0 (conversions return std::string or write to caller memory).
// Writers take the node and re-read the buffer through it, since any of them may grow or widen
// the buffer; an address or UnitText read from a buffer is valid only until the next write to
// that buffer or the next safe point.
//
// The unit rules, kept here:
// - appending a code point (string_append_char) widens a 1-byte buffer for anything from U+0080,
//   to 2 bytes below U+10000 and to 4 from there, and a 2-byte buffer from U+10000;
// - storing one (string_put_char, string_poke_char, string_insert_char) and loading text widen
//   only when the code point does not fit: a 1-byte buffer above U+00FF, a 2-byte one above
//   U+FFFF;
// - writing text (string_write_text) widens the target to the text's unit when that is wider.
// So appending U+00E9 makes a 1-byte string 2-byte, while poking, inserting or loading it keeps
// 1-byte units.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "datatypes/series/string-unit.h"
#include "runtime/cell.h"
#include "runtime/series-buffer.h"
#include "runtime/series.h"

namespace qel {

// The text types: string! and the types built on it.
constexpr bool is_text_type(Type type) {
  return type == Type::string || type == Type::file || type == Type::url || type == Type::tag ||
         type == Type::email || type == Type::ref;
}

// The word types, whose text is their symbol's name.
constexpr bool is_word_type(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::lit_word || type == Type::get_word ||
         type == Type::refinement || type == Type::issue;
}

// --- Making ---------------------------------------------------------------------------------------

// A text value on a node at an index.
constexpr Cell string_value(NodeId node, uint32_t index = 0, Type type = Type::string) {
  return make_cell(type, index, node);
}

// A new empty text buffer with room for `capacity` units (at least 1) of a unit; answers its node.
NodeId new_text_series(int64_t capacity, unsigned unit);

// Writes an empty string! with room for the capacity (at least 1) into the cell: 1-byte units,
// or the given unit.
void string_make_at(Cell& cell, int64_t capacity);
void string_make_at_sized(Cell& cell, int64_t capacity, unsigned unit);

// Pushes a copy of the value on the value stack; answers the new cell.
Cell* string_push(const Cell& value);

// --- Positions and reading -------------------------------------------------------------------------

inline unsigned text_unit(NodeId node) { return series_buffer(node)->unit(); }

// The units between head and tail, whatever the index.
inline uint32_t string_total_length(NodeId node) { return series_buffer_length(node); }

// The value's index, clipped to 0 .. its tail.
inline uint32_t string_index(const Cell& value) {
  const int32_t index = payload_i32(value, 1);
  const uint32_t total = string_total_length(value.w2);
  return index < 0 ? 0 : std::min(static_cast<uint32_t>(index), total);
}

// Code points from the index to the tail (0 when the index lies past it).
inline uint32_t string_length(const Cell& value) { return string_total_length(value.w2) - string_index(value); }

// The text from the index to the tail: the buffer read once, its unit 1, 2 or 4. Inline: every
// comparison and hash of text starts here.
inline UnitText string_text(const Cell& value) {
  SeriesBuffer* buffer = series_buffer(value.w2);
  const unsigned unit = buffer->unit();
  const unsigned shift = unit_shift(unit);
  const uint32_t total = (buffer->tail - buffer->head) >> shift;
  const int32_t index = payload_i32(value, 1);
  const uint32_t at = index < 0 ? 0 : std::min(static_cast<uint32_t>(index), total);
  return {buffer->head_address() + (size_t{at} << shift), total - at, unit};
}
// The same, at most `limit` units (a negative limit: to the tail).
inline UnitText string_text_part(const Cell& value, int64_t limit) {
  UnitText text = string_text(value);
  if (limit >= 0 && static_cast<uint64_t>(limit) < text.length) text.length = static_cast<size_t>(limit);
  return text;
}

// The code points of a text, one 32-bit number each.
std::vector<uint32_t> text_code_points(UnitText text);

// The byte address of the code point at the index; an index past the tail is first clipped and
// written back into the value.
uint8_t* string_position(Cell& value);

// True when the index is at or past the tail.
bool string_at_tail(const Cell& value);

// The code point at index + offset, which must lie before the tail.
uint32_t string_char_at(const Cell& value, int64_t offset);

// The offset from the index of the first code point equal to c, or -1.
int64_t string_find_char(const Cell& value, uint32_t c);

// True when a code point at index, index + skip, index + 2 x skip ... equals c; unless
// case_sensitive both sides go through the upper-case map. skip >= 1.
bool string_contains_char(const Cell& value, uint32_t c, int64_t skip, bool case_sensitive);

// True when the text at the index starts with the bytes, each byte taken as a code point.
bool string_starts_with(const Cell& value, std::string_view bytes);

// --- Writing code points -------------------------------------------------------------------------

// Appends a code point at the tail, widening by the append rule.
void string_append_char(NodeId node, uint32_t c);

// Stores a code point at a unit offset before the tail, widening when it does not fit.
void string_put_char(NodeId node, uint32_t offset, uint32_t c);

// Stores a code point at any unit offset: the buffer grows to hold it at once, and an offset at
// or past the tail moves the tail after it, the units between the old tail and the offset
// becoming U+0000.
void string_poke_char(NodeId node, uint32_t offset, uint32_t c);

// Moves the units from the offset (at most the tail) up by one and stores the code point there.
void string_insert_char(NodeId node, uint32_t offset, uint32_t c);

// Removes n units at a unit offset; offset + n must not pass the tail.
void string_remove_units(NodeId node, uint32_t offset, uint32_t n);

// Sets the tail n units after the head when that is before the tail.
void series_buffer_truncate(NodeId node, uint32_t n);

// Empties the buffer, gives it 1-byte units again and sets the value's index to 0.
void string_reset(Cell& value);

// --- Units -------------------------------------------------------------------------------------------

// Widens the buffer in place to a wider unit (growing it first when the wider units do not fit);
// a unit not wider than the buffer's changes nothing.
void string_widen_to(NodeId node, unsigned unit);

// Widens the buffer to at least the unit after checking that `units` units of the resulting
// unit stay under the ceiling (2^31 - 1 bytes; internal no-memory, nothing changed, when they
// do not). Answers the resulting unit.
unsigned string_widen_for(NodeId node, unsigned unit, int64_t units);

// Copies `count` units of `from_unit` bytes to units of `to_unit` bytes (not narrower); the
// areas must not overlap unless the units agree.
void copy_units(const uint8_t* from, unsigned from_unit, uint8_t* to, unsigned to_unit, size_t count);

// Makes the buffer hold at least `bytes` from its head: when it does not, it grows to twice its
// capacity or to `bytes` when that is more. Past 2^31 - 1 bytes raises internal no-memory with
// nothing changed. Answers the buffer.
SeriesBuffer* text_reserve(NodeId node, int64_t bytes);

// --- Writing text -----------------------------------------------------------------------------------

enum class TextMode : uint8_t {
  append,     // at the tail
  insert,     // at the offset, the units from there moving up
  overwrite,  // from the offset, the tail moving only when the text reaches past it
};

// Writes the text into the buffer at a unit offset (ignored when appending), widening the buffer
// to the text's unit when that is wider. The text may lie in this very buffer: it is taken
// before anything moves. Answers the unit offset just after the written text.
uint32_t string_write_text(NodeId node, uint32_t offset, UnitText text, TextMode mode);

// Replaces `replaced` units at a unit offset with `copies` copies of the text, the units after
// them moving to follow; the buffer widens to the text's unit when that is wider. The text may
// lie in this very buffer. A result past the ceiling raises internal no-memory with nothing
// changed. Answers the unit offset just after the copies.
uint32_t string_splice(NodeId node, uint32_t offset, uint32_t replaced, UnitText text, int64_t copies);

// Exchanges the span of length_a bytes at first with the span of length_b bytes that follows it,
// across a gap of `gap` bytes after the second: A B gap becomes B gap A.
void swap_adjacent_spans(uint8_t* first, size_t length_a, size_t length_b, size_t gap);

// --- Numbers in text ---------------------------------------------------------------------------------

// The decimal number in the text as a double; `error` is set when the text is not wholly one.
double decimal_span_to_float(UnitText text, bool& error);

}  // namespace qel

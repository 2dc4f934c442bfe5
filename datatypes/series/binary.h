// binary.h: binary!, the byte string (type 41, parent string!): a series of 1-byte units whose
// elements are the bytes 0-255.
//
// binary! takes navigation, pick, poke, copy, remove, reverse, move, find, select, sort, swap and
// take from string! and series! (through its element hook, which reads a byte as an integer! and
// stores the low 8 bits of a char! or integer!), and has its own conversion, forms, comparison,
// bitwise actions, append, insert, change and trim: a value put into a binary contributes bytes.
// A binary never widens: its unit stays one byte whatever is stored in it.
//
// The raw byte operations below are for the loader, the codecs, checksums, compression and
// images. They tell no owner of a change. Addresses they answer are valid until the series grows
// or a safe point passes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// binary-init: registers binary! with its action row and its element hook.
void binary_init();

// --- Raw byte operations ----------------------------------------------------------------------

// Bytes from the index (clamped to 0 .. length) to the tail.
int64_t binary_length(const Cell& binary);
uint8_t* binary_head_address(const Cell& binary);  // the byte at the (clamped) index
uint8_t* binary_tail_address(const Cell& binary);  // just past the last byte
bool binary_at_tail(const Cell& binary);
// Moves the index forward by n when it stays within the tail; answers whether it is at the tail.
bool binary_skip(Cell& binary, int64_t n);
inline bool binary_next(Cell& binary) { return binary_skip(binary, 1); }
// The byte at head + offset (offset from the buffer's head, before the tail).
uint8_t binary_byte_at(const Cell& binary, int64_t offset);
// binary-byte-in-bitset: the byte at the index is in the bitset; false at the tail.
bool binary_byte_in_bitset(const Cell& binary, const Cell& bitset);
// Sets the tail to the (clamped) index.
void binary_truncate_at_index(const Cell& binary);
// Copies n bytes at the tail.
void binary_append_bytes(const Cell& binary, std::span<const uint8_t> bytes);
// Opens room at `position` (from the head, at most the tail) and copies the bytes there.
void binary_insert_bytes(const Cell& binary, int64_t position, std::span<const uint8_t> bytes);
// Writes the bytes at index + offset, the tail moving to the end of the write when it lies past.
void binary_write_bytes_at(const Cell& binary, int64_t offset, std::span<const uint8_t> bytes);
// Appends four bytes, most significant first.
void binary_append_int32_be(int32_t value, const Cell& binary);
// An empty binary! (index 0) with room for at least `capacity` bytes, written into the cell or
// appended to a block.
void binary_make_at(Cell& cell, int64_t capacity);
void binary_make_in(NodeId block, int64_t capacity);
// A new binary holding a copy of the bytes, appended to a block, or (block 0) pushed on the value
// stack; answers the new cell (valid until the block grows or the stack is popped).
Cell* binary_from_bytes(std::span<const uint8_t> bytes, NodeId block);
inline Cell* binary_push_bytes(std::span<const uint8_t> bytes) { return binary_from_bytes(bytes, 0); }
Cell* binary_push(const Cell& binary);
// The bytes from the index, copied out.
std::vector<uint8_t> binary_copy_bytes(const Cell& binary);

// --- The bytes of a value ---------------------------------------------------------------------

// What becomes of a value that has no bytes of its own: refused (script bad-to-arg naming
// binary! and the value), or its formed text.
enum class OtherValues : uint8_t { refuse, form };

// binary-value-bytes: appends the bytes a value contributes to `out`:
// - char!: its UTF-8 form; integer!: one byte, -128..255 (negative ones as their two's
//   complement; else script invalid-arg naming the value); binary!: its bytes from the index;
//   tuple!: its components; the text types: their text from the index as UTF-8; block!, paren!,
//   hash!: each value from the index in order (a block met again inside itself raises internal
//   no-cycle);
// - anything else as `others` says.
// `limit` (-1: none) bounds the bytes of a single value; for a block it counts values, each
// taken whole, unless `only`, where it counts bytes and goes down into the block's values.
void binary_value_bytes(std::vector<uint8_t>& out, const Cell& value, int64_t limit, bool only, OtherValues others);

// The byte poke and the element hook store: the low 8 bits of a char! or integer!; any other
// value raises script invalid-arg naming it.
uint8_t binary_byte_of_value(const Cell& value);

// --- Comparing and matching -------------------------------------------------------------------

// The bytes a text or binary value stands for when bytes are compared: a binary's from its index,
// a text's UTF-8 (a tag! within "<" and ">").
std::vector<uint8_t> comparable_bytes(const Cell& value);

// binary-compare-core: -1, 0 or 1 as the left binary's bytes from its index are smaller, equal
// or greater than the right value's (a binary, or text as its UTF-8), compared unsigned and
// exactly; -2 when the right value is neither. Code 9 (same?) answers 0 only for the same node
// and index; the equality codes answer 1 at once for other lengths. In match mode 0 means that
// the right value's bytes start the left's (an empty right value matches, except under code 12).
int32_t binary_compare_core(const Cell& left, const Cell& right, int32_t op, bool match);

// binary-match-at: the bytes the value matches at the binary's index (a text or binary value,
// or a char! as its UTF-8, under the comparison code), or -1 when it does not match or is of
// another type. Parse advances by the count.
int64_t binary_match_at(const Cell& binary, const Cell& value, int32_t op);

// --- Base codecs ------------------------------------------------------------------------------

// debase: decodes a text from its index in base 2, 16, 58 or 64 into a new binary! written into
// `out`; answers false, with `out` untouched, when the text is not valid in the base.
bool binary_decode_base(const Cell& text, int32_t base, Cell& out);
// enbase: the bytes of a binary (from its index) as text in the base, ASCII. An output past the
// series ceiling raises script too-long.
std::string binary_encode_base(const Cell& binary, int32_t base);

// --- The actions ------------------------------------------------------------------------------

Cell* binary_make(Cell& type, Cell& spec, Type type_id);
Cell* binary_to(Cell& type, Cell& spec, Type type_id);
// The layout of form and mold: "#{" (unless only), two upper-case digits per byte, and past 30
// bytes (unless flat) the digits on lines of 32 bytes, indented one level deeper than the value.
int32_t binary_mold_core(const Cell& value, Cell& output, bool only, bool flat, bool part, int32_t limit,
                         int32_t indent);
void binary_append(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool notify);
void binary_insert(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool append);
void binary_change(Cell& series, Cell& value, int32_t part, bool only, int32_t dup);
void binary_trim(Cell& series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with);

// The conversions of other types from a binary's bytes at its index: integer! (the first one to
// four bytes, most significant first; none give 0), float! (up to eight, as the bit pattern of a
// double), char! (one UTF-8 sequence, checked; an empty binary raises script bad-to-arg).
int32_t integer_from_binary(const Cell& binary);
double float_from_binary(const Cell& binary);
uint32_t char_from_binary(const Cell& binary);

}  // namespace qel

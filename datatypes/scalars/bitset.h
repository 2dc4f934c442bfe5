// bitset.h: bitset!, a set of non-negative integers (code points, mostly) held as an array of
// bits in a byte series: membership, the spec walk of make, to and the other actions, the bit
// operations core and the registration.
//
// The cell: type 30, payload word 2 the node of a unit-1 series (word 1 its index, always 0).
// Bit n lives in byte n >> 3 under the mask 0x80 >> (n & 7). The buffer flag kBitsetNegated
// says what lies beyond the stored bytes: every number there is a member of a negated bitset and
// of no other. Growth fills new bytes by that flag (0xFF negated, else 0x00). A copy keeps the
// flag and drops kSeriesOwned. The highest storable bit is kBitsetHighestBit, so that length?
// (8 x the byte count) fits an integer!; growing beyond raises script out-of-range.
//
// Changes tell an owner before and after (series_notify_before/_after); the handlers run Qel
// code, so the actions hold the node and re-read the buffer after them.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"
#include "runtime/series.h"

namespace qel {

inline constexpr uint32_t kBitsetNegated = 0x80000;
inline constexpr int64_t kBitsetHighestBit = 2147483639;

// The walk's operations: find the highest number named, set, test that all are members, clear.
enum class BitOp : uint8_t { size = 0, set = 1, test = 2, clear = 3 };
// Who walks a spec: make, to or another action; it decides the error for a bad item.
enum class SpecMode : uint8_t { make = 0, to = 1, action = 2 };

inline Cell* bitset_make_at(Cell& cell, NodeId node) {
  cell = make_cell(Type::bitset, 0, node);
  return &cell;
}

inline bool bitset_negated(NodeId node) { return (series_buffer(node)->flags & kBitsetNegated) != 0; }
inline uint32_t bitset_byte_count(NodeId node) {
  const SeriesBuffer* buffer = series_buffer(node);
  return buffer->tail - buffer->head;
}
// bitset-bits-head: the address of byte 0; valid until the bitset grows or a safe point passes.
inline uint8_t* bitset_bits_head(NodeId node) { return series_buffer(node)->head_address(); }

// Membership of n: one byte load and a mask inside the stored bytes, the negated flag beyond
// them (and for a negative n).
inline bool bitset_member(NodeId node, int64_t n) {
  const SeriesBuffer* buffer = series_buffer(node);
  const uint64_t byte = static_cast<uint64_t>(n) >> 3;
  if (n < 0 || byte >= buffer->tail - buffer->head) return (buffer->flags & kBitsetNegated) != 0;
  return (reinterpret_cast<const uint8_t*>(buffer + 1)[buffer->head + byte] & (0x80 >> (n & 7))) != 0;
}

// bitset-in-range?: byte n >> 3 lies inside the stored bytes (a negative n never does).
inline bool bitset_in_range(NodeId node, int64_t n) { return n >= 0 && (n >> 3) < bitset_byte_count(node); }

// bitset-ensure: grows the array so that bit n is stored (n >> 3 + 1 bytes), the new bytes
// filled by the negated flag's rule. Beyond kBitsetHighestBit: script out-of-range naming n.
void bitset_ensure(NodeId node, int64_t n);

// bitset-invert-bytes: complements every stored byte.
void bitset_invert_bytes(NodeId node);

// bitset-range-op: op on the bits low .. high. Set and clear change only what the array must
// hold (a negated set or a normal clear stops at the array); test reads beyond it as the flag.
// Answers the test's result (true for the other operations).
bool bitset_range_op(NodeId node, int64_t low, int64_t high, BitOp op);

// bitset-spec-walk: op on every number a spec names (char!, integer!, float!, string!, block!
// with ranges "low - high"), raising the mode's error for any other item. The size operation
// answers the byte count the spec needs (at least 1); test answers whether all are members;
// set and clear answer true.
int64_t bitset_spec_walk(const Cell& spec, NodeId node, BitOp op, SpecMode mode);

// bitset-make-core: the body of make and to (mode make or to), into `result`.
Cell* bitset_make_core(Cell& result, const Cell& spec, SpecMode mode);

// A new bitset node: a copy of the array and its negated flag, without ownership.
NodeId bitset_copy_node(NodeId node);

// bitset-set-op: the bit operations core for or~, and~, xor~ (5-7) and union, intersect,
// exclude, difference (9-12); unique (8) answers `left`. The right operand must be a bitset!
// (else script invalid-type). The shorter array is extended by its fill; the result's flag is
// the operation on the two flags; its length is the longer one's, except and~ of two normal
// bitsets, which keeps the shorter.
Cell bitset_set_op(const Cell& left, const Cell& right, int32_t op);

// bitset-hex-out: each byte as two uppercase hexadecimal digits (complemented when asked),
// stopping once a /part budget is used up; answers the budget left.
int32_t bitset_hex_out(NodeId node, Cell& output, bool part, int32_t budget, bool complement);

void register_bitset_datatype();

}  // namespace qel

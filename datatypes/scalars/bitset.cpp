// bitset.cpp: the bit array of bitset!: growth, ranges, the spec walk, make and to, the bit
// operations core and the hexadecimal text.
#include "datatypes/scalars/bitset.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/math-ops.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "runtime/language-thread.h"
#include "runtime/quit.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

[[noreturn]] void raise_out_of_range(const Cell& value) { raise_error(error_id("script", "out-of-range"), value); }
[[noreturn]] void raise_bit_out_of_range(int64_t n) {
  Cell cell;
  raise_out_of_range(*integer_make_at(cell, static_cast<int32_t>(std::min<int64_t>(n, INT32_MAX))));
}

uint8_t fill_byte(NodeId node) { return bitset_negated(node) ? 0xFF : 0x00; }

// Sets or clears bits low .. high, all inside the stored bytes: whole bytes at once between the
// two ends.
void write_bits(NodeId node, int64_t low, int64_t high, bool on) {
  uint8_t* bits = bitset_bits_head(node);
  while (low <= high && (low & 7)) {
    on ? bits[low >> 3] |= 0x80 >> (low & 7) : bits[low >> 3] &= ~(0x80 >> (low & 7));
    ++low;
  }
  if (high - low + 1 >= 8) {
    const int64_t bytes = (high - low + 1) >> 3;
    std::memset(bits + (low >> 3), on ? 0xFF : 0x00, static_cast<size_t>(bytes));
    low += bytes << 3;
  }
  for (; low <= high; ++low) on ? bits[low >> 3] |= 0x80 >> (low & 7) : bits[low >> 3] &= ~(0x80 >> (low & 7));
}

bool bit_set(const uint8_t* bits, int64_t n) { return (bits[n >> 3] & (0x80 >> (n & 7))) != 0; }

// Whether bits low .. high, all inside the stored bytes, are set: whole bytes at once between the
// two ends.
bool all_bits_set(NodeId node, int64_t low, int64_t high) {
  const uint8_t* bits = bitset_bits_head(node);
  for (; low <= high && (low & 7); ++low)
    if (!bit_set(bits, low)) return false;
  for (; high - low + 1 >= 8; low += 8)
    if (bits[low >> 3] != 0xFF) return false;
  for (; low <= high; ++low)
    if (!bit_set(bits, low)) return false;
  return true;
}

// The highest bit the stored bytes hold (-1 when there are none).
int64_t last_stored_bit(NodeId node) { return int64_t{bitset_byte_count(node)} * 8 - 1; }

}  // namespace

void bitset_ensure(NodeId node, int64_t n) {
  if (n > kBitsetHighestBit) raise_bit_out_of_range(n);
  const uint32_t need = static_cast<uint32_t>((n >> 3) + 1);
  const uint32_t have = bitset_byte_count(node);
  if (need <= have) return;
  SeriesBuffer* buffer = series_buffer(node);
  if (buffer->head + need > buffer->capacity)
    buffer = grow_series_copy(node, std::max<int64_t>(int64_t{buffer->head} + need, int64_t{buffer->capacity} * 2));
  std::memset(buffer->head_address() + have, fill_byte(node), need - have);
  buffer->tail = buffer->head + need;
}

void bitset_invert_bytes(NodeId node) {
  uint8_t* bits = bitset_bits_head(node);
  for (uint32_t i = 0; i < bitset_byte_count(node); ++i) bits[i] = static_cast<uint8_t>(~bits[i]);
}

bool bitset_range_op(NodeId node, int64_t low, int64_t high, BitOp op) {
  const bool negated = bitset_negated(node);
  switch (op) {
    case BitOp::set:
      if (!negated) bitset_ensure(node, high);
      if (bitset_in_range(node, low)) write_bits(node, low, std::min(high, last_stored_bit(node)), true);
      return true;
    case BitOp::clear:
      if (negated) bitset_ensure(node, high);
      if (bitset_in_range(node, low)) write_bits(node, low, std::min(high, last_stored_bit(node)), false);
      return true;
    case BitOp::test:
      if (!bitset_in_range(node, low)) return negated;
      if (!all_bits_set(node, low, std::min(high, last_stored_bit(node)))) return false;
      return high <= last_stored_bit(node) || negated;
    default:
      return true;
  }
}

// --- The spec walk ---------------------------------------------------------------------------------

namespace {

struct Walk {
  NodeId node;
  BitOp op;
  SpecMode mode;
  int64_t highest = -1;
};

bool is_range_word(const Cell& cell) {
  return cell_type(cell) == Type::word && symbol_canonical(cell.w2) == symbol_canonical(sym_range);
}

// The number a char!, integer! or float! item names; a float is truncated. Outside a test a
// negative number is out of range, and so is a float that names no 32-bit integer in any walk.
int64_t item_number(const Cell& item, BitOp op) {
  int64_t n;
  if (cell_type(item) == Type::float_) {
    const double whole = std::trunc(float_value(item));
    if (double_out_of_int_range(whole)) raise_out_of_range(item);
    n = static_cast<int64_t>(whole);
  } else {
    n = integer_value(item);
  }
  if (n < 0 && op != BitOp::test) raise_out_of_range(item);
  return n;
}

// The operation on one number; the answer of a test.
bool number_op(Walk& walk, int64_t n) {
  switch (walk.op) {
    case BitOp::size:
      if (n > kBitsetHighestBit) raise_bit_out_of_range(n);
      walk.highest = std::max(walk.highest, n);
      return true;
    case BitOp::test:
      return bitset_member(walk.node, n);
    default:
      return bitset_range_op(walk.node, n, n, walk.op);
  }
}

// Every code point of a text from its index, each by the number rule.
bool text_op(Walk& walk, const Cell& text) {
  const uint32_t length = string_length(text);
  if (walk.op == BitOp::set && !bitset_negated(walk.node)) {  // one growth for the whole text
    uint32_t highest = 0;
    for (uint32_t i = 0; i < length; ++i) highest = std::max(highest, string_char_at(text, i));
    if (length) bitset_ensure(walk.node, highest);
  }
  for (uint32_t i = 0; i < length; ++i)
    if (!number_op(walk, string_char_at(text, i))) return false;
  return true;
}

[[noreturn]] void raise_bad_item(const Walk& walk, const Cell& item) {
  switch (walk.mode) {
    case SpecMode::make: raise_error(error_id("script", "bad-make-arg"), datatype_cell(Type::bitset), item);
    case SpecMode::to: raise_bad_to_arg(Type::bitset, item);
    default: raise_error(error_id("script", "invalid-arg"), item);
  }
}

bool walk_value(Walk& walk, const Cell& value);

// low - high: the upper bound must be of the lower's type and not below it.
bool range_items(Walk& walk, const Cell& lower, const Cell& block, uint32_t upper_at) {
  if (upper_at >= series_buffer_length(block.w2)) raise_error(error_id("script", "past-end"));
  const Cell upper = series_buffer(block.w2)->head_cell()[upper_at];
  if (cell_type(upper) != cell_type(lower)) raise_error(error_id("script", "invalid-arg"), upper);
  const int64_t low = item_number(lower, walk.op), high = item_number(upper, walk.op);
  if (high < low) raise_error(error_id("script", "past-end"));
  if (walk.op == BitOp::size) return number_op(walk, high);
  if (walk.op == BitOp::test && low < 0) return bitset_negated(walk.node);
  return bitset_range_op(walk.node, low, high, walk.op);
}

// The items of a block from its index, read again each time (the walk grows the bitset).
bool walk_block(Walk& walk, const Cell& block) {
  check_stack_headroom();
  for (uint32_t i = block.w1; i < series_buffer_length(block.w2); ++i) {
    const Cell item = series_buffer(block.w2)->head_cell()[i];
    const bool bound = cell_type(item) == Type::char_ || cell_type(item) == Type::integer;
    bool member;
    if (bound && i + 1 < series_buffer_length(block.w2) && is_range_word(series_buffer(block.w2)->head_cell()[i + 1])) {
      member = range_items(walk, item, block, i + 2);
      i += 2;
    } else {
      member = walk_value(walk, item);
    }
    if (!member) return false;
  }
  return true;
}

bool walk_value(Walk& walk, const Cell& value) {
  switch (cell_type(value)) {
    case Type::char_:
    case Type::integer:
    case Type::float_: return number_op(walk, item_number(value, walk.op));
    case Type::string: return text_op(walk, value);
    case Type::block: return walk_block(walk, value);
    case Type::binary: raise_error(error_id("internal", "not-done"));
    default: raise_bad_item(walk, value);
  }
}

}  // namespace

int64_t bitset_spec_walk(const Cell& spec, NodeId node, BitOp op, SpecMode mode) {
  Walk walk{node, op, mode};
  const bool answer = walk_value(walk, spec);
  if (op == BitOp::size) return walk.highest < 0 ? 1 : (walk.highest >> 3) + 1;
  return answer;
}

// --- make and to ---------------------------------------------------------------------------------

namespace {

// A new bitset of the bytes of a binary from its index, complemented and negated after `not`.
NodeId bitset_from_binary(const Cell& binary, bool negated) {
  const int64_t count = series_length_after(binary);
  NodeId node = new_byte_series(count);
  series_buffer_append_bytes(node, series_unit_address(binary, series_clamped_index(binary)), count);
  if (negated) {
    bitset_invert_bytes(node);
    series_buffer(node)->flags |= kBitsetNegated;
  }
  return node;
}

// make bitset! n: n bits (an int32, not negative) rounded up to whole bytes, all clear.
NodeId bitset_of_size(const Cell& spec) {
  const double bits = cell_type(spec) == Type::integer ? integer_value(spec) : std::trunc(float_value(spec));
  if (double_out_of_int_range(bits) || bits < 0 || bits > kBitsetHighestBit + 1) raise_out_of_range(spec);
  const int64_t bytes = (static_cast<int64_t>(bits) + 7) >> 3;
  NodeId node = new_byte_series_filled(bytes, 0);
  series_buffer(node)->tail = series_buffer(node)->head + static_cast<uint32_t>(bytes);
  return node;
}

// A spec walked twice: once for the size, once to set (or, negated, to clear) its bits in an
// array filled by the flag.
NodeId bitset_from_spec(const Cell& spec, bool negated, SpecMode mode) {
  NodeId sizing = new_byte_series(0);
  const int64_t bytes = bitset_spec_walk(spec, sizing, BitOp::size, mode);
  NodeId node = new_byte_series_filled(bytes, negated ? 0xFF : 0x00);
  SeriesBuffer* buffer = series_buffer(node);
  buffer->tail = buffer->head + static_cast<uint32_t>(bytes);
  if (negated) buffer->flags |= kBitsetNegated;
  bitset_spec_walk(spec, node, negated ? BitOp::clear : BitOp::set, mode);
  return node;
}

bool starts_with_not(const Cell& block) {
  return block.w1 < series_buffer_length(block.w2) && cell_type(series_buffer(block.w2)->head_cell()[block.w1]) == Type::word &&
         symbol_canonical(series_buffer(block.w2)->head_cell()[block.w1].w2) == symbol_canonical(sym_not);
}

}  // namespace

NodeId bitset_copy_node(NodeId node) {
  NodeId copy = copy_series_buffer(node);
  series_buffer(copy)->flags &= ~kSeriesOwned;
  return copy;
}

Cell* bitset_make_core(Cell& result, const Cell& spec, SpecMode mode) {
  Cell walked = spec;
  bool negated = false;
  if (cell_type(spec) == Type::block && starts_with_not(spec)) {
    negated = true;
    walked.w1 = spec.w1 + 1;
    const uint32_t at = walked.w1;
    if (at < series_buffer_length(spec.w2) && cell_type(series_buffer(spec.w2)->head_cell()[at]) == Type::binary)
      walked = series_buffer(spec.w2)->head_cell()[at];
  }
  switch (cell_type(walked)) {
    case Type::integer:
    case Type::float_:
      if (mode == SpecMode::to) raise_bad_to_arg(Type::bitset, spec);
      return bitset_make_at(result, bitset_of_size(walked));
    case Type::bitset: return bitset_make_at(result, bitset_copy_node(walked.w2));
    case Type::binary: return bitset_make_at(result, bitset_from_binary(walked, negated));
    default: return bitset_make_at(result, bitset_from_spec(walked, negated, mode));
  }
}

// --- Bit operations ------------------------------------------------------------------------------

namespace {

uint64_t combine(uint64_t a, uint64_t b, int32_t op) {
  switch (op) {
    case kOpOr:
    case kOpUnion: return a | b;
    case kOpAnd:
    case kOpIntersect: return a & b;
    case kOpXor:
    case kOpDifference: return a ^ b;
    case kOpExclude: return a & ~b;
    default: fatal_no_match_switch();
  }
}

// Eight bytes of an array from byte i on, the bytes past its end read as its fill.
uint64_t eight_bytes(const uint8_t* bits, uint32_t count, uint32_t i, uint8_t fill) {
  uint8_t chunk[8];
  std::memset(chunk, fill, sizeof chunk);
  if (i < count) std::memcpy(chunk, bits + i, std::min<uint32_t>(8, count - i));
  uint64_t word;
  std::memcpy(&word, chunk, sizeof word);
  return word;
}

}  // namespace

Cell bitset_set_op(const Cell& left, const Cell& right, int32_t op) {
  if (op == kOpUnique) return left;
  if (cell_type(right) != Type::bitset) raise_invalid_type(right);
  const uint32_t na = bitset_byte_count(left.w2), nb = bitset_byte_count(right.w2);
  const bool fa = bitset_negated(left.w2), fb = bitset_negated(right.w2);
  const bool negated = combine(fa, fb, op) & 1;
  const uint32_t length = !fa && !fb && op == kOpAnd ? std::min(na, nb) : std::max(na, nb);
  NodeId node = new_byte_series_filled(length, 0);  // no collection: the operands stay put
  SeriesBuffer* buffer = series_buffer(node);
  buffer->tail = buffer->head + length;
  if (negated) buffer->flags |= kBitsetNegated;
  const uint8_t* a = bitset_bits_head(left.w2);
  const uint8_t* b = bitset_bits_head(right.w2);
  uint8_t* out = buffer->head_address();
  for (uint32_t i = 0; i < length; i += 8) {
    const uint64_t word = combine(eight_bytes(a, na, i, fa ? 0xFF : 0), eight_bytes(b, nb, i, fb ? 0xFF : 0), op);
    std::memcpy(out + i, &word, std::min<uint32_t>(8, length - i));
  }
  return make_cell(Type::bitset, 0, node);
}

// --- Text ----------------------------------------------------------------------------------------

int32_t bitset_hex_out(NodeId node, Cell& output, bool part, int32_t budget, bool complement) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char chunk[128];
  size_t used = 0;
  for (uint32_t i = 0; i < bitset_byte_count(node) && !(part && budget <= 0); ++i) {
    const uint8_t byte = static_cast<uint8_t>(bitset_bits_head(node)[i] ^ (complement ? 0xFF : 0));
    chunk[used++] = kDigits[byte >> 4];
    chunk[used++] = kDigits[byte & 15];
    budget = budget_less(budget, 2);
    if (used == sizeof chunk) {
      series_append_ascii(output.w2, {chunk, used});  // may move the output, never the bitset
      used = 0;
    }
  }
  series_append_ascii(output.w2, {chunk, used});
  return budget;
}

}  // namespace qel

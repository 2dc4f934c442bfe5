// binary-bytes.cpp: the raw byte operations on binaries, the bytes values contribute, the
// conversions of other types from bytes, and the base codecs on binary and text values.
#include <algorithm>
#include <bit>
#include <cstring>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/series/base-codecs.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "datatypes/series/string.h"
#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-encode.h"
#include "runtime/cycle-guard.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/memory.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// A new binary buffer's node; sizes past the ceiling raise internal no-memory.
NodeId new_binary_series(int64_t capacity) { return new_byte_series(std::max<int64_t>(capacity, 1)); }

void append_limited(std::vector<uint8_t>& out, const uint8_t* bytes, size_t n, int64_t limit) {
  if (limit >= 0) n = std::min(n, static_cast<size_t>(limit));
  out.insert(out.end(), bytes, bytes + n);
}

void append_text_bytes(std::vector<uint8_t>& out, const std::string& text, int64_t limit) {
  append_limited(out, reinterpret_cast<const uint8_t*>(text.data()), text.size(), limit);
}

// The formed text of a value as UTF-8.
std::string formed_utf8(const Cell& value) {
  GcRoot<Cell> text(string_value(new_text_series(16, 1)));
  string_form_onto(text->w2, value, false, 0);
  return string_to_utf8(*text);
}

void block_value_bytes(std::vector<uint8_t>& out, const Cell& block, int64_t limit, bool only, OtherValues others) {
  if (cycle_stack_contains(block.w2)) raise_error(error_id("internal", "no-cycle"));
  check_stack_headroom();
  CyclePush level(block.w2);
  for (int64_t i = series_clamped_index(block); i < series_total_length(block); ++i) {
    if (limit == 0) break;
    Cell element = *reinterpret_cast<const Cell*>(series_unit_address(block, i));
    size_t before = out.size();
    binary_value_bytes(out, element, only ? limit : -1, only, others);
    if (limit > 0) limit -= only ? static_cast<int64_t>(out.size() - before) : 1;
  }
}

}  // namespace

// --- Raw byte operations ----------------------------------------------------------------------

int64_t binary_length(const Cell& binary) { return series_length_after(binary); }
uint8_t* binary_head_address(const Cell& binary) { return series_unit_address(binary, series_clamped_index(binary)); }
uint8_t* binary_tail_address(const Cell& binary) { return series_buffer_of(binary)->tail_address(); }
bool binary_at_tail(const Cell& binary) { return series_at_tail(binary); }
bool binary_skip(Cell& binary, int64_t n) { return series_advance(binary, n); }
uint8_t binary_byte_at(const Cell& binary, int64_t offset) { return *series_unit_address(binary, offset); }

bool binary_byte_in_bitset(const Cell& binary, const Cell& bitset) {
  return !binary_at_tail(binary) && bitset_member(bitset.w2, *binary_head_address(binary));
}

void binary_truncate_at_index(const Cell& binary) {
  series_buffer_truncate(binary.w2, static_cast<uint32_t>(series_clamped_index(binary)));
}

void binary_append_bytes(const Cell& binary, std::span<const uint8_t> bytes) {
  binary_insert_bytes(binary, series_total_length(binary), bytes);
}

void binary_insert_bytes(const Cell& binary, int64_t position, std::span<const uint8_t> bytes) {
  if (bytes.empty()) return;
  series_open_gap(binary, position, static_cast<int64_t>(bytes.size()), Growth::doubled);
  std::memcpy(series_unit_address(binary, position), bytes.data(), bytes.size());
}

void binary_write_bytes_at(const Cell& binary, int64_t offset, std::span<const uint8_t> bytes) {
  int64_t at = series_clamped_index(binary) + offset;
  int64_t past = at + static_cast<int64_t>(bytes.size()) - series_total_length(binary);
  if (past > 0) series_open_gap(binary, series_total_length(binary), past, Growth::doubled);
  std::memcpy(series_unit_address(binary, at), bytes.data(), bytes.size());
}

void binary_append_int32_be(int32_t value, const Cell& binary) {
  uint32_t v = static_cast<uint32_t>(value);
  const uint8_t bytes[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                            static_cast<uint8_t>(v)};
  binary_append_bytes(binary, bytes);
}

void binary_make_at(Cell& cell, int64_t capacity) { cell = make_cell(Type::binary, 0, new_binary_series(capacity)); }

void binary_make_in(NodeId block, int64_t capacity) {
  Cell binary;
  binary_make_at(binary, capacity);
  *series_append_fresh_slot(block) = binary;
}

Cell* binary_from_bytes(std::span<const uint8_t> bytes, NodeId block) {
  Cell binary;
  binary_make_at(binary, static_cast<int64_t>(bytes.size()));
  binary_append_bytes(binary, bytes);
  if (block == 0) return stack_push_value(binary);
  Cell* slot = series_append_fresh_slot(block);
  *slot = binary;
  return slot;
}

Cell* binary_push(const Cell& binary) { return stack_push_value(binary); }

std::vector<uint8_t> binary_copy_bytes(const Cell& binary) {
  const uint8_t* at = binary_head_address(binary);
  return std::vector<uint8_t>(at, at + binary_length(binary));
}

// --- The bytes of a value ---------------------------------------------------------------------

void binary_value_bytes(std::vector<uint8_t>& out, const Cell& value, int64_t limit, bool only, OtherValues others) {
  Type type = cell_type(value);
  switch (type) {
    case Type::char_: {
      uint8_t utf8[4];
      append_limited(out, utf8, utf8_encode_char(value.w2, utf8), limit);
      return;
    }
    case Type::integer: {
      int32_t n = payload_i32(value, 2);
      if (n < -128 || n > 255) raise_error(error_id("script", "invalid-arg"), value);
      uint8_t byte = static_cast<uint8_t>(n);
      append_limited(out, &byte, 1, limit);
      return;
    }
    case Type::binary:
      append_limited(out, binary_head_address(value), static_cast<size_t>(binary_length(value)), limit);
      return;
    case Type::tuple:
      append_limited(out, tuple_bytes(value), static_cast<size_t>(tuple_length(value)), limit);
      return;
    case Type::block:
    case Type::paren:
    case Type::hash:
      return block_value_bytes(out, value, limit, only, others);
    default:
      if (is_text_type(type)) return append_text_bytes(out, string_to_utf8(value), limit);
      if (others == OtherValues::refuse) raise_bad_to_arg(Type::binary, value);
      append_text_bytes(out, formed_utf8(value), limit);
  }
}

uint8_t binary_byte_of_value(const Cell& value) {
  Type type = cell_type(value);
  if (type != Type::char_ && type != Type::integer) raise_error(error_id("script", "invalid-arg"), value);
  return static_cast<uint8_t>(value.w2);
}

// --- Conversions from bytes -------------------------------------------------------------------

namespace {

// Up to `most` bytes from the index, most significant first.
uint64_t leading_bytes_number(const Cell& binary, int64_t most) {
  int64_t n = std::min(binary_length(binary), most);
  const uint8_t* at = binary_head_address(binary);
  uint64_t number = 0;
  for (int64_t i = 0; i < n; ++i) number = number << 8 | at[i];
  return number;
}

}  // namespace

int32_t integer_from_binary(const Cell& binary) { return static_cast<int32_t>(leading_bytes_number(binary, 4)); }

double float_from_binary(const Cell& binary) { return std::bit_cast<double>(leading_bytes_number(binary, 8)); }

uint32_t char_from_binary(const Cell& binary) {
  if (binary_at_tail(binary)) raise_bad_to_arg(Type::char_, binary);
  const uint8_t* at = binary_head_address(binary);
  const uint8_t* end = at + binary_length(binary);
  Utf8Step step = utf8_decode_checked(at, end);
  if (step.status != Utf8Status::ok) raise_invalid_utf8(utf8_error_bytes(at, end));
  return step.code_point;
}

// --- Base codecs ------------------------------------------------------------------------------

bool binary_decode_base(const Cell& text, int32_t base, Cell& out) {
  UnitText units = string_text(text);
  uint64_t capacity = base_decoded_capacity(base, units.length);
  if (capacity > kSeriesMaxBytes) raise_error(error_id("script", "too-long"));
  Cell binary;
  binary_make_at(binary, static_cast<int64_t>(capacity));
  units = string_text(text);  // read again: making the binary may have moved the text
  std::optional<size_t> decoded = base_decode(base, units, series_buffer_of(binary)->head_address());
  if (!decoded) return false;
  series_buffer_of(binary)->tail = series_buffer_of(binary)->head + static_cast<uint32_t>(*decoded);
  out = binary;
  return true;
}

std::string binary_encode_base(const Cell& binary, int32_t base) {
  uint64_t size = base_encoded_size(base, static_cast<uint64_t>(binary_length(binary)));
  if (size > kSeriesMaxBytes) raise_error(error_id("script", "too-long"));
  std::string text(size, '\0');
  std::span<const uint8_t> bytes(binary_head_address(binary), static_cast<size_t>(binary_length(binary)));
  uint8_t* end = base_encode(base, bytes, reinterpret_cast<uint8_t*>(text.data()));
  text.resize(static_cast<size_t>(end - reinterpret_cast<uint8_t*>(text.data())));
  return text;
}

}  // namespace qel

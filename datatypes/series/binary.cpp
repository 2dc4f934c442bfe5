// binary.cpp: binary!'s registration and element hook, and its make, to, form, mold, compare,
// bitwise actions and matcher.
#include "datatypes/series/binary.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/base-codecs.h"
#include "datatypes/series/image.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "datatypes/series/utf8-encode.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// --- The element hook -------------------------------------------------------------------------

Cell byte_pick(const Cell& series, int64_t position) {
  return make_cell(Type::integer, 0, binary_byte_at(series, position));
}

void byte_check(const Cell&, const Cell& value) { binary_byte_of_value(value); }

void byte_store(const Cell& series, int64_t position, const Cell& value) {
  *series_unit_address(series, position) = binary_byte_of_value(value);
}

// Bytes move between series of 1-byte units only; nothing converts into a binary.
constexpr ElementHooks kByteHooks = {byte_pick, byte_check, byte_store, nullptr};

// --- Helpers ----------------------------------------------------------------------------------

// A new binary holding the bytes, written into the cell.
Cell* binary_at(Cell& cell, std::span<const uint8_t> bytes) {
  binary_make_at(cell, static_cast<int64_t>(bytes.size()));
  binary_append_bytes(cell, bytes);
  return &cell;
}

// The bytes of a number, most significant first.
template <class Number>
Cell* big_endian_at(Cell& cell, Number number) {
  uint8_t bytes[sizeof number];
  for (size_t i = 0; i < sizeof number; ++i) bytes[i] = static_cast<uint8_t>(number >> (8 * (sizeof number - 1 - i)));
  return binary_at(cell, bytes);
}

// The spelling of an issue! read as base-16 text; text that does not decode raises script
// invalid-data naming the issue.
Cell* binary_from_issue(Cell& cell, const Cell& issue) {
  UnitText spelling = symbol_text(issue.w2);
  std::vector<uint8_t> bytes(base_decoded_capacity(16, spelling.length));
  std::optional<size_t> n = base_decode(16, spelling, bytes.data());
  if (!n) raise_error(error_id("script", "invalid-data"), issue);
  bytes.resize(*n);
  return binary_at(cell, bytes);
}

constexpr bool is_text_or_binary(Type type) { return is_text_type(type) || type == Type::binary; }

// Writes a line feed and four spaces per level.
int32_t output_line_break(Cell& output, int32_t levels, int32_t budget) {
  budget = output_text(output, "\n", budget);
  for (int32_t i = 0; i < levels; ++i) budget = output_text(output, "    ", budget);
  return budget;
}

// and~ 6, or~ 5 and xor~ 7 on the frame's two binaries: a new binary as long as the longer one,
// bytes past the shorter one copied (or~, xor~) or zero (and~).
template <int32_t Op>
void binary_bitwise() {
  Cell* base = value_stack.base;
  if (cell_type(base[1]) != Type::binary) raise_error(error_id("script", "invalid-arg"), base[1]);
  std::vector<uint8_t> a = binary_copy_bytes(base[0]), b = binary_copy_bytes(base[1]);
  if (a.size() < b.size()) std::swap(a, b);
  for (size_t i = 0; i < a.size(); ++i) {
    uint8_t y = i < b.size() ? b[i] : 0;
    if constexpr (Op == 6) a[i] = i < b.size() ? a[i] & y : 0;
    if constexpr (Op == 5) a[i] |= y;
    if constexpr (Op == 7) a[i] ^= y;
  }
  binary_at(base[0], a);
}

Cell* binary_complement(Cell& value) {
  uint8_t* at = binary_head_address(value);
  for (int64_t i = 0, n = binary_length(value); i < n; ++i) at[i] = static_cast<uint8_t>(~at[i]);
  return &value;
}

int32_t binary_form(const Cell& value, Cell& output, bool part, int32_t limit) {
  return binary_mold_core(value, output, false, false, part, limit, 0);
}

int32_t binary_mold(const Cell& value, Cell& output, bool only, bool, bool flat, bool part, int32_t limit,
                    int32_t indent) {
  return binary_mold_core(value, output, only, flat, part, limit, indent);
}

int32_t binary_compare(const Cell& value1, const Cell& value2, int32_t op) {
  if (cell_type(value2) != Type::binary) return kNotComparable;
  return binary_compare_core(value1, value2, op, false);
}

}  // namespace

// --- Registration -----------------------------------------------------------------------------

void binary_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(binary_make)
      .set<Act::To>(binary_to)
      .set<Act::Form>(binary_form)
      .set<Act::Mold>(binary_mold)
      .set<Act::Compare>(binary_compare)
      .set<Act::And>(binary_bitwise<6>)
      .set<Act::Complement>(binary_complement)
      .set<Act::Or>(binary_bitwise<5>)
      .set<Act::Xor>(binary_bitwise<7>)
      .set<Act::Append>(binary_append)
      .set<Act::Insert>(binary_insert)
      .set<Act::Change>(binary_change)
      .set<Act::Trim>(binary_trim);
  register_datatype(Type::binary, Type::string, "binary!", row);
  series_set_element_hooks(Type::binary, &kByteHooks);
}

// --- make and to ------------------------------------------------------------------------------

Cell* binary_make(Cell& type, Cell& spec, Type type_id) {
  if (cell_type(spec) == Type::money) raise_error(error_id("script", "bad-make-arg"), datatype_cell(type_id), spec);
  if (cell_type(spec) == Type::integer || cell_type(spec) == Type::float_) return string_make(type, spec, type_id);
  return binary_to(type, spec, type_id);
}

Cell* binary_to(Cell& type, Cell& spec, Type) {
  Type from = cell_type(spec);
  switch (from) {
    case Type::integer: return big_endian_at(type, static_cast<uint32_t>(payload_i32(spec, 2)));
    case Type::float_:
    case Type::percent: return big_endian_at(type, std::bit_cast<uint64_t>(payload_f64(spec)));
    case Type::issue: return binary_from_issue(type, spec);
    case Type::bitset: return binary_at(type, {bitset_bits_head(spec.w2), bitset_byte_count(spec.w2)});
    case Type::image:
      type = *image_to_binary(spec, PixelBytes::argb);
      stack_drop(1);
      return &type;
    case Type::block:
    case Type::paren:
    case Type::hash:
    case Type::char_:
    case Type::tuple:
    case Type::binary: break;
    default:
      if (!is_text_type(from)) raise_bad_to_arg(Type::binary, spec);
  }
  std::vector<uint8_t> bytes;
  binary_value_bytes(bytes, spec, -1, false, OtherValues::refuse);
  return binary_at(type, bytes);
}

// --- form and mold ----------------------------------------------------------------------------

int32_t binary_mold_core(const Cell& value, Cell& output, bool only, bool flat, bool part, int32_t limit,
                         int32_t indent) {
  int32_t budget = part ? limit : INT32_MAX;
  if (!only) budget = output_text(output, "#{", budget);
  int64_t length = binary_length(value);
  bool lines = length > 30 && !flat;
  if (lines) budget = output_line_break(output, indent + 1, budget);
  for (int64_t i = 0; i < length && !(part && budget <= 0); ++i) {
    budget = output_text(output, byte_to_hex_text(binary_byte_at(value, series_clamped_index(value) + i)).view(), budget);
    if (lines && (i + 1) % 32 == 0) budget = output_line_break(output, indent + 1, budget);
  }
  if (lines && length % 32 != 0) budget = output_line_break(output, indent, budget);
  if (!only) budget = output_text(output, "}", budget);
  return part ? budget : limit;
}

// --- Comparing and matching -------------------------------------------------------------------

std::vector<uint8_t> comparable_bytes(const Cell& value) {
  Type type = cell_type(value);
  if (type == Type::binary) return binary_copy_bytes(value);
  std::string utf8 = string_to_utf8(value);
  if (type == Type::tag) utf8 = "<" + utf8 + ">";
  return std::vector<uint8_t>(utf8.begin(), utf8.end());
}

int32_t binary_compare_core(const Cell& left, const Cell& right, int32_t op, bool match) {
  Type type = cell_type(right);
  if (!is_text_or_binary(type)) return kNotComparable;
  bool same_place = type == Type::binary && left.w2 == right.w2 &&
                    series_clamped_index(left) == series_clamped_index(right);
  if (op == kCompareSame) return same_place ? 0 : -1;
  bool equality = op == kCompareEqual || op == kCompareNotEqual || op == kCompareStrictEqual || op == kCompareFind;
  if (same_place && equality) return 0;
  std::vector<uint8_t> b = comparable_bytes(right);
  const uint8_t* a = binary_head_address(left);
  size_t a_length = static_cast<size_t>(binary_length(left));
  size_t n;
  if (match) {
    if (b.empty()) return op == kCompareFind ? 1 : 0;
    if (a_length < b.size()) return 1;
    n = b.size();
  } else {
    if (equality && a_length != b.size()) return 1;
    n = std::min(a_length, b.size());
  }
  int order = n == 0 ? 0 : std::memcmp(a, b.data(), n);
  if (order != 0) return order < 0 ? -1 : 1;
  if (match || a_length == b.size()) return 0;
  return a_length < b.size() ? -1 : 1;
}

int64_t binary_match_at(const Cell& binary, const Cell& value, int32_t op) {
  Type type = cell_type(value);
  if (type == Type::char_) {
    uint8_t utf8[4];
    size_t n = utf8_encode_char(value.w2, utf8);
    if (binary_length(binary) < static_cast<int64_t>(n)) return -1;
    return std::memcmp(binary_head_address(binary), utf8, n) == 0 ? static_cast<int64_t>(n) : -1;
  }
  if (!is_text_or_binary(type)) return -1;
  if (binary_compare_core(binary, value, op, true) != 0) return -1;
  return static_cast<int64_t>(comparable_bytes(value).size());
}

}  // namespace qel

// string-load.cpp: loading UTF-8 and UTF-16LE bytes into text buffers.
#include "datatypes/series/string-load.h"

#include <algorithm>

#include "datatypes/series/string-core.h"
#include "datatypes/series/utf16.h"
#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-load.h"
#include "runtime/error-raise.h"
#include "runtime/memory.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Room for `count` units of a unit in the target (emptied, unit set), or a new buffer; answers
// the node and the address where the units go.
struct Destination {
  NodeId node;
  uint8_t* units;
};
Destination text_destination(NodeId target, size_t count, unsigned unit) {
  if (count > kMaxTextBytes) raise_no_memory();
  int64_t bytes = static_cast<int64_t>(count) << unit_shift(unit);
  if (target == 0) target = new_text_series(static_cast<int64_t>(count), unit);
  SeriesBuffer* buffer = text_reserve(target, bytes);  // raises, the text untouched, when too large
  buffer->flags = (buffer->flags & ~kSeriesUnitMask) | unit;
  buffer->tail = static_cast<uint32_t>(buffer->head + bytes);
  return {target, buffer->head_address()};
}

// Raises invalid-utf8 for a scan that stopped at an ill-formed sequence.
void check_well_formed(std::span<const uint8_t> bytes, const Utf8Scan& scan) {
  if (scan.ill_formed) raise_invalid_utf8(utf8_error_bytes(bytes.data() + scan.end, bytes.data() + bytes.size()));
}

// Raises invalid-utf8 with the bytes of a sequence cut short by the end of the input.
void check_whole(std::span<const uint8_t> bytes, const Utf8Scan& scan) {
  if (scan.remainder > 0) raise_invalid_utf8(bytes.subspan(scan.end));
}

// Writes the text of a checked scan into the target or a new buffer; answers the node.
NodeId load_scanned(std::span<const uint8_t> bytes, const Utf8Scan& scan, NodeId target, bool crlf) {
  Destination to = text_destination(target, scan.code_points, scan.unit);
  utf8_load_units(bytes, scan, crlf, to.units, scan.unit);
  return to.node;
}

NodeId load_text(std::span<const uint8_t> bytes, TextEncoding encoding) {
  if (encoding == TextEncoding::utf8) return string_load_utf8(bytes, 0, nullptr, false);
  return load_utf16le_text(bytes.data(), bytes.size() / 2, 0, false);
}

}  // namespace

void raise_invalid_utf8(std::span<const uint8_t> shown) {
  NodeId node = new_byte_series(static_cast<int64_t>(shown.size()));
  series_buffer_append_bytes(node, shown.data(), static_cast<int64_t>(shown.size()));
  raise_error(error_id("access", "invalid-utf8"), make_cell(Type::binary, 0, node));
}

NodeId string_load_utf8(std::span<const uint8_t> bytes, NodeId target, size_t* remainder, bool crlf) {
  Utf8Scan scan = utf8_scan(bytes, crlf);
  check_well_formed(bytes, scan);
  NodeId node = load_scanned(bytes, scan, target, crlf);
  if (remainder) *remainder = scan.remainder;
  return node;
}

NodeId load_utf16le_text(const uint8_t* bytes, size_t count, NodeId target, bool drop_cr) {
  Utf16Scan scan = utf16le_scan(bytes, count, drop_cr);
  Destination to = text_destination(target, scan.code_points, scan.unit);
  utf16le_load_units(bytes, count, scan, drop_cr, to.units, scan.unit);
  return to.node;
}

void string_load(std::span<const uint8_t> bytes, Cell& cell, TextEncoding encoding) {
  cell = Cell{kUnsetHeader};
  NodeId node = load_text(bytes, encoding);
  cell = string_value(node);
}

Cell* string_load_push(std::span<const uint8_t> bytes, TextEncoding encoding) {
  Cell* cell = stack_push_value(Cell{kUnsetHeader});
  string_load(bytes, *cell, encoding);
  return cell;
}

void string_load_in(std::span<const uint8_t> bytes, NodeId block, TextEncoding encoding) {
  // Loading allocates but never moves the block, so the slot stays where it is.
  Cell* cell = series_append_fresh_slot(block);
  string_load(bytes, *cell, encoding);
}

Cell* string_from_utf8_strict(std::span<const uint8_t> bytes) {
  Utf8Scan scan = utf8_scan(bytes, false);
  check_well_formed(bytes, scan);
  check_whole(bytes, scan);
  Cell* cell = stack_push_value(Cell{kUnsetHeader});
  *cell = string_value(load_scanned(bytes, scan, 0, false));
  return cell;
}

void string_append_utf8(NodeId node, std::string_view text) {
  std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  Utf8Scan scan = utf8_scan(bytes, false, true);
  check_well_formed(bytes, scan);
  check_whole(bytes, scan);
  uint32_t length = string_total_length(node);
  int64_t new_length = int64_t{length} + static_cast<int64_t>(scan.code_points);
  unsigned unit = string_widen_for(node, scan.unit, new_length);
  SeriesBuffer* buffer = text_reserve(node, new_length * unit);
  utf8_load_units(bytes, scan, false, buffer->tail_address(), unit);
  buffer->tail += static_cast<uint32_t>(scan.code_points * unit);
}

}  // namespace qel

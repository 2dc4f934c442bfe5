// text-from-bytes.cpp: both loads go through the checked UTF-8 loader, so a cut-short tail is
// an error and never silently dropped.
#include "loader/text-from-bytes.h"

#include <algorithm>
#include <string>

#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "runtime/console-input.h"
#include "runtime/gc-root.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kReturn = 0x0D;

Cell load_text(std::span<const uint8_t> bytes, bool fold_line_ends) {
  size_t remainder = 0;
  NodeId node = string_load_utf8(bytes, 0, &remainder, fold_line_ends);
  if (remainder) raise_invalid_utf8(bytes.last(remainder));
  return string_value(node);
}

}  // namespace

Cell string_from_utf8_bytes(std::span<const uint8_t> bytes) { return load_text(bytes, true); }

Cell bytes_to_lines(std::span<const uint8_t> bytes) {
  GcRoot<Cell> block;
  block_make_at(*block, static_cast<int64_t>(std::count(bytes.begin(), bytes.end(), kLineFeed)) + 1);
  while (!bytes.empty()) {
    auto end = std::find(bytes.begin(), bytes.end(), kLineFeed);
    size_t length = static_cast<size_t>(end - bytes.begin());
    bool ended = end != bytes.end();
    size_t kept = ended && length > 0 && bytes[length - 1] == kReturn ? length - 1 : length;
    GcRoot<Cell> line(load_text(bytes.first(kept), false));
    block_append_copy(*block, *line);
    bytes = bytes.subspan(ended ? length + 1 : length);
  }
  return *block;
}

Cell value_from_bytes(std::span<const uint8_t> bytes, bool binary, bool lines) {
  if (binary) {
    Cell value = *binary_push_bytes(bytes);
    stack_drop(1);
    return value;
  }
  return lines ? bytes_to_lines(bytes) : string_from_utf8_bytes(bytes);
}

Cell string_from_os_text(std::string_view text) {
  std::string valid = utf8_sanitized({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  GcRoot<Cell> string(string_value(new_text_series(static_cast<int64_t>(valid.size()), 1)));
  string_append_utf8(string->w2, valid);
  return *string;
}

}  // namespace qel

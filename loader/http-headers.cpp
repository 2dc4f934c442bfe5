// http-headers.cpp: the header parse reads each line only up to its own end, whatever the
// server's spacing and line ends.
#include "loader/http-headers.h"

#include "datatypes/series/block-core.h"
#include "datatypes/series/map.h"
#include "loader/text-from-bytes.h"
#include "runtime/console-input.h"
#include "runtime/contexts.h"
#include "runtime/gc-root.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr int64_t kMapRoom = 20;
constexpr int64_t kRepeatRoom = 4;

// One field of a line (its line end already cut), when it has one.
bool split_field(std::string_view line, std::pair<std::string_view, std::string_view>& field) {
  size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return false;
  size_t value = line.find_first_not_of(" \t", colon + 1);
  field = {line.substr(0, colon), value == std::string_view::npos ? std::string_view() : line.substr(value)};
  return true;
}

// Puts one field: a new name gets its string, a repeated one a block of all its values.
void put_field(const Cell& map, std::string_view name, std::string_view value) {
  Cell key = make_cell(Type::word, 0, symbol_intern_bytes(name), kUnresolved);
  GcRoot<Cell> text(string_from_os_text(value));
  Cell held = map_get(map, key, false);
  if (cell_type(held) == Type::block) {
    block_append_copy(held, *text);
    return;
  }
  if (cell_type(held) == Type::none) {
    map_put(map, key, *text, false);
    return;
  }
  GcRoot<Cell> first(held);
  GcRoot<Cell> values;
  block_make_at(*values, kRepeatRoom);
  block_append_copy(*values, *first);
  block_append_copy(*values, *text);
  map_put(map, key, *values, false);
}

}  // namespace

std::vector<std::pair<std::string_view, std::string_view>> http_header_fields(std::string_view text) {
  std::vector<std::pair<std::string_view, std::string_view>> fields;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::pair<std::string_view, std::string_view> field;
    if (split_field(line, field)) fields.push_back(field);
  }
  return fields;
}

Cell http_headers_to_map(std::string_view text) {
  std::string valid = utf8_sanitized({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
  GcRoot<Cell> map;
  map_make_at(*map, nullptr, kMapRoom);
  for (const auto& [name, value] : http_header_fields(valid)) put_field(*map, name, value);
  return *map;
}

}  // namespace qel

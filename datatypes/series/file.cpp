// file.cpp: file!'s registration, mold and OS form.
#include <algorithm>

#include "datatypes/scalars/char-escape.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/percent-coding.h"
#include "datatypes/series/resource-io.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "datatypes/series/string.h"
#include "datatypes/series/url.h"
#include "datatypes/series/utf8-decode.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/os-environment.h"
#include "runtime/series.h"
#include "runtime/utf8.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Whether a code point stands for a byte of an OS name that is no UTF-8.
bool is_name_byte(uint32_t c) { return c >= kFirstNameByteChar && c <= kLastNameByteChar; }

// Whether a code point needs the quoted form: one the locator table escapes up to U+007E, one
// that ends an unquoted file token, or a surrogate such as a name byte that is no UTF-8 (only a
// quoted file's escapes give one back).
bool needs_quotes(uint32_t c) {
  if (c > 0x7E) return is_surrogate(c);
  if (c == ':' || c == '@' || c == '(' || c == ')') return true;
  return !percent_keeps(PercentTable::locator, static_cast<uint8_t>(c));
}

// Writes a code point inside the quotes: the lexer ends a quoted file at any double quote and
// decodes carets there.
void mold_quoted_char(Cell& output, uint32_t c) {
  if (c == '^') series_append_ascii(output.w2, "^^");
  else if (c == '"') series_append_ascii(output.w2, "^(22)");
  else string_mold_char(output, c, false);
}

}  // namespace

void file_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Mold>(file_mold)
      .set<Act::Open>(nullptr)
      .set<Act::Delete>(file_delete)
      .set<Act::Query>(file_query)
      .set<Act::Read>(file_read)
      .set<Act::Rename>(file_rename)
      .set<Act::Write>(file_write);
  register_datatype(Type::file, Type::url, "file!", row);
}

int32_t file_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t limit, int32_t) {
  size_t length = string_length(value);
  size_t range = part ? std::min<size_t>(length, static_cast<size_t>(std::max(limit, 0))) : length;
  if (length == 0) return output_text(output, "%\"\"", limit);
  bool quoted = false;
  for (size_t i = 0; i < range && !quoted; ++i) quoted = needs_quotes(string_char_at(value, static_cast<int64_t>(i)));
  series_append_ascii(output.w2, quoted ? "%\"" : "%");
  for (size_t i = 0; i < range; ++i) {
    uint32_t c = string_char_at(value, static_cast<int64_t>(i));
    if (quoted) mold_quoted_char(output, c);
    else string_append_char(output.w2, c);
  }
  if (quoted) series_append_ascii(output.w2, "\"");
  return budget_less(limit, range + 1);
}

// --- The OS form ------------------------------------------------------------------------------

void file_path_to_local(const Cell& file, NodeId output, bool prefix_current_dir) {
  bool relative = string_length(file) == 0 || string_char_at(file, 0) != '/';
  if (relative && prefix_current_dir) {
    GcRoot<Cell> dir(file_current_dir());
    string_write_text(output, 0, string_text(*dir), TextMode::append);
  }
  string_write_text(output, 0, string_text(file), TextMode::append);
}

Cell file_current_dir() {
  std::string dir = os_get_current_dir().value_or("");
  if (dir.empty() || dir.back() != '/') dir.push_back('/');
  // The directory's name is an OS name like any other: its bytes need not be UTF-8.
  Cell text = file_from_os_name(dir);
  set_value_type_byte(text, Type::string);
  return text;
}

std::string file_to_os_path(const Cell& file) {
  uint32_t length = string_length(file);
  std::string path;
  path.reserve(length);
  for (uint32_t i = 0; i < length; ++i) {
    uint32_t c = string_char_at(file, i);
    if (is_name_byte(c)) {
      path.push_back(static_cast<char>(c - kNameByteBase));
    } else if (c == 0 || is_surrogate(c)) {
      raise_error(error_id("script", "invalid-arg"), file);
    } else {
      uint8_t bytes[4];
      path.append(reinterpret_cast<const char*>(bytes), utf8_encode(c, bytes));
    }
  }
  return path;  // std::string keeps its NUL terminator: c_str() is the OS form
}

Cell file_from_os_name(std::string_view name) {
  GcRoot<Cell> file(string_value(new_text_series(static_cast<int64_t>(name.size()), 1), 0, Type::file));
  const uint8_t* p = reinterpret_cast<const uint8_t*>(name.data());
  const uint8_t* end = p + name.size();
  while (p < end) {
    Utf8Step step = utf8_decode_step(p, end);
    bool ok = step.status == Utf8Status::ok;
    string_append_char(file->w2, ok ? step.code_point : kNameByteBase + *p);
    p += ok ? step.size : 1;
  }
  return *file;
}

Cell files_from_os_names(const std::vector<std::string>& names) {
  GcRoot<Cell> block;
  block_make_at(*block, static_cast<int64_t>(names.size()));
  for (const std::string& name : names) {
    GcRoot<Cell> file(file_from_os_name(name));
    block_append_copy(*block, *file);
  }
  return *block;
}

Cell* file_push(const Cell& file) { return stack_push_value(file); }

}  // namespace qel

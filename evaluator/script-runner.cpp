// script-runner.cpp: reading a script file, finding its header, evaluating what follows it.
#include "evaluator/script-runner.h"

#include <array>
#include <optional>
#include <string>

#include "datatypes/series/url.h"
#include "evaluator/console-command.h"
#include "loader/file-bytes.h"
#include "runtime/console-input.h"
#include "runtime/datatype-registry.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

inline constexpr std::string_view kHeaderWord = "Qel";
inline constexpr std::string_view kSystemDialect = "/System";
inline constexpr std::string_view kBlanks = " \t\r\n";
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Prints access cannot-open for the path, as a file! that names its bytes exactly.
void print_cannot_open(const char* path) {
  GcRoot<Cell> file(file_from_os_name(path));
  GcRoot<Cell> error(services().error_build(error_id("access", "cannot-open"), std::array{*file}));
  console_print_error(*error, false);
}

// The index after the header word and its block in a loaded script; none when the block holds
// no word Qel (spelt so) followed by a block.
std::optional<uint32_t> body_index(const Cell& block) {
  uint32_t header = symbol_intern_bytes(kHeaderWord);
  uint32_t length = series_buffer_length(block.w2);
  for (uint32_t i = block.w1; i + 1 < length; ++i) {
    const Cell* cells = series_buffer(block.w2)->head_cell();
    if (cell_type(cells[i]) == Type::word && cells[i].w2 == header && cell_type(cells[i + 1]) == Type::block)
      return i + 2;
  }
  return std::nullopt;
}

// Evaluates the script's text; answers the exit status.
int run_script_text(std::string_view text) {
  if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
  size_t header = find_script_header(text);
  GcRoot<Cell> block;
  if (!console_load(header == std::string_view::npos ? text : text.substr(header), *block)) return 1;
  if (header != std::string_view::npos) {
    std::optional<uint32_t> body = body_index(*block);
    if (!body) {
      bool dialect = text.find(std::string(kHeaderWord) + std::string(kSystemDialect)) != std::string_view::npos;
      console_print(dialect ? "*** Error: contains Qel/System code which requires compilation!"
                            : "*** Error: not a Qel program!",
                    true);
      return 1;
    }
    block->w1 = *body;
  }
  GcRoot<Cell> result;
  return console_evaluate(*block, *result) ? 0 : 1;
}

}  // namespace

size_t find_script_header(std::string_view text) {
  for (size_t at = text.find(kHeaderWord); at != std::string_view::npos; at = text.find(kHeaderWord, at + 1)) {
    std::string_view rest = text.substr(at + kHeaderWord.size());
    if (rest.starts_with(kSystemDialect)) rest.remove_prefix(kSystemDialect.size());
    size_t bracket = rest.find_first_not_of(kBlanks);
    if (bracket != std::string_view::npos && rest[bracket] == '[') return at;
  }
  return std::string_view::npos;
}

int run_script_file(const char* path) {
  FileBytes bytes;
  if (read_file_bytes(path, {}, kSeriesByteCeiling, bytes) != ReadStatus::ok) {
    print_cannot_open(path);
    return 1;
  }
  return run_script_text({reinterpret_cast<const char*>(bytes.data.get()), bytes.size});
}

}  // namespace qel

// script-runner.cpp: reading a script file, finding its header, evaluating what follows it.
#include "evaluator/script-runner.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "datatypes/series/string-load.h"
#include "evaluator/console-command.h"
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

// Closes a file descriptor on every exit.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The whole content of a regular file; none when it cannot be opened or read.
std::optional<std::string> read_file(const char* path) {
  FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (file.get() < 0 || ::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) return std::nullopt;
  std::string content;
  char chunk[65536];
  for (;;) {
    ssize_t got = ::read(file.get(), chunk, sizeof chunk);
    if (got == 0) return content;
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    content.append(chunk, static_cast<size_t>(got));
  }
}

// Prints access cannot-open for the path, a file! value.
void print_cannot_open(const char* path) {
  std::string name = utf8_sanitized({reinterpret_cast<const uint8_t*>(path), std::strlen(path)});
  GcRoot<Cell> file;
  string_load({reinterpret_cast<const uint8_t*>(name.data()), name.size()}, *file, TextEncoding::utf8);
  set_value_type_byte(*file, Type::file);
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
  std::optional<std::string> text = read_file(path);
  if (!text) {
    print_cannot_open(path);
    return 1;
  }
  return run_script_text(*text);
}

}  // namespace qel

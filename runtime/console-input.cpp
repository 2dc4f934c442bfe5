// console-input.cpp: reading lines from standard input, the prompt and its echo, the width.
#include "runtime/console-input.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>

#include "datatypes/series/utf8-decode.h"
#include "runtime/console-output.h"
#include "runtime/os-environment.h"

namespace qel {

namespace {

inline constexpr int64_t kDefaultColumns = 80;
inline constexpr size_t kReadChunk = 65536;
inline constexpr char kReplacement[] = "\xEF\xBF\xBD";

// Bytes read from standard input; those from `taken` on are not yet handed out as a line.
std::string pending;
size_t taken = 0;
bool input_ended = false;

// Drops the bytes handed out, once they are the larger part, so each byte moves at most once
// or twice however many lines a read brings.
void drop_taken() {
  if (taken * 2 < pending.size()) return;
  pending.erase(0, taken);
  taken = 0;
}

// Reads more of standard input into pending; false at its end or on a read failure.
bool read_more() {
  char chunk[kReadChunk];
  for (;;) {
    ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got > 0) {
      pending.append(chunk, static_cast<size_t>(got));
      return true;
    }
    if (got < 0 && errno == EINTR) continue;
    input_ended = true;
    return false;
  }
}

// Writes UTF-8 text to standard output as it is.
void write_text(std::string_view text) { console_write_utf8(text.data(), text.size()); }

}  // namespace

std::string utf8_sanitized(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size());
  const uint8_t* at = bytes.data();
  const uint8_t* end = at + bytes.size();
  while (at < end) {
    Utf8Step step = utf8_decode_step(at, end);
    if (step.status == Utf8Status::ok) {
      text.append(reinterpret_cast<const char*>(at), step.size);
      at += step.size;
      continue;
    }
    text += kReplacement;
    // The byte that broke a sequence may start the next one.
    at += step.status == Utf8Status::ill_formed && step.size > 1 ? step.size - 1 : step.size;
  }
  return text;
}

std::optional<std::string> console_read_line() {
  drop_taken();
  size_t scanned = taken;
  size_t line_end;
  while ((line_end = pending.find('\n', scanned)) == std::string::npos) {
    scanned = pending.size();
    if (input_ended || !read_more()) {
      if (taken == pending.size()) return std::nullopt;
      line_end = pending.size();
      break;
    }
  }
  size_t length = line_end - taken;
  if (length > 0 && pending[line_end - 1] == '\r') --length;
  std::string line = utf8_sanitized({reinterpret_cast<const uint8_t*>(pending.data()) + taken, length});
  taken = line_end < pending.size() ? line_end + 1 : line_end;
  return line;
}

std::optional<std::string> console_ask(std::string_view prompt) {
  write_text(prompt);
  console_flush();
  std::optional<std::string> line = console_read_line();
  if (line && ::isatty(STDIN_FILENO) != 1) {
    write_text(*line);
    write_text("\n");
  }
  return line;
}

int64_t console_columns() {
  winsize size{};
  if (::isatty(STDOUT_FILENO) == 1 && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
    return size.ws_col;
  std::optional<std::string> text = os_get_env("COLUMNS");
  if (!text) return kDefaultColumns;
  int64_t columns = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), columns);
  if (error != std::errc{} || end != text->data() + text->size() || columns < 0) return kDefaultColumns;
  return columns;
}

}  // namespace qel

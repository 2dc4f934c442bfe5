// console-input.cpp: reading lines from standard input, the prompt and its echo, the width.
#include "runtime/console-input.h"

#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>

#include "datatypes/series/utf8-decode.h"
#include "runtime/console-output.h"
#include "runtime/interrupt.h"
#include "runtime/os-environment.h"

namespace qel {

namespace {

inline constexpr int64_t kDefaultColumns = 80;
inline constexpr int64_t kDefaultRows = 24;
inline constexpr char kEscape = 27;
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

// Whether the last read ended by Ctrl+C.
bool interrupted = false;

// Waits until standard input has bytes (or its end) or a Ctrl+C request comes; false for the
// request, which it takes. A byte left by a request taken before only wakes it.
bool await_input() {
  const int interrupt = interrupt_fd();
  for (;;) {
    if (interrupt_take()) return false;
    pollfd watch[2] = {{STDIN_FILENO, POLLIN, 0}, {interrupt, POLLIN, 0}};
    if (::poll(watch, interrupt >= 0 ? 2 : 1, -1) < 0 && errno != EINTR) return true;  // read says why
    if (watch[0].revents != 0 && !interrupt_pending()) return true;
  }
}

enum class Read { more, ended, interrupted };

// Reads more of standard input into pending: ended at its end or on a read failure.
Read read_more() {
  if (!await_input()) return Read::interrupted;
  char chunk[kReadChunk];
  for (;;) {
    ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got > 0) {
      pending.append(chunk, static_cast<size_t>(got));
      return Read::more;
    }
    if (got < 0 && errno == EINTR) continue;
    input_ended = true;
    return Read::ended;
  }
}

// Writes UTF-8 text to standard output as it is.
void write_text(std::string_view text) { console_write_utf8(text.data(), text.size()); }

// The terminal's settings from before a hidden read, kept while the read lasts so that a signal
// that ends the process meanwhile can put them back (console_restore_terminal).
termios echo_saved{};
std::atomic<bool> echo_off{false};

// Turns the terminal's echo off while it lives, and back on however the read ends.
class EchoOff {
 public:
  EchoOff() {
    if (::tcgetattr(STDIN_FILENO, &echo_saved) != 0) return;
    termios quiet = echo_saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    echo_off.store(true);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  ~EchoOff() { console_restore_terminal(); }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;
};

// What a piped answer echoes as: the window would show no ESC, and a hidden answer as stars.
std::string echo_of(std::string_view answer, bool hide) {
  if (!answer.empty() && answer.back() == kEscape) answer.remove_suffix(1);
  if (!hide) return std::string(answer);
  std::string stars;
  for (char byte : answer)
    if ((static_cast<uint8_t>(byte) & 0xC0) != 0x80) stars += '*';  // one per character
  return stars;
}

// The terminal's size, when standard output is a terminal that reports one.
std::optional<winsize> terminal_size() {
  winsize size{};
  if (::isatty(STDOUT_FILENO) == 1 && ::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size;
  return std::nullopt;
}

// The numeric value of an environment variable (a count, 0 or more), else the fallback.
int64_t environment_count(const char* name, int64_t fallback) {
  std::optional<std::string> text = os_get_env(name);
  if (!text) return fallback;
  int64_t count = 0;
  auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), count);
  if (error != std::errc{} || end != text->data() + text->size() || count < 0) return fallback;
  return count;
}

std::atomic<bool> resize_seen{false};

void note_resize(int) { resize_seen.store(true, std::memory_order_relaxed); }

}  // namespace

void console_restore_terminal() {
  if (echo_off.exchange(false)) ::tcsetattr(STDIN_FILENO, TCSANOW, &echo_saved);
}

bool console_input_is_terminal() { return ::isatty(STDIN_FILENO) == 1; }

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
  interrupted = false;
  drop_taken();
  size_t scanned = taken;
  size_t line_end;
  while ((line_end = pending.find('\n', scanned)) == std::string::npos) {
    scanned = pending.size();
    const Read read = input_ended ? Read::ended : read_more();
    if (read == Read::interrupted) {
      // The line being typed goes, as the window's Escape drops it (the terminal has dropped
      // its own part of it); what came through a pipe is data, kept for the next read.
      if (console_input_is_terminal()) taken = pending.size();
      interrupted = true;
      return std::string(1, kEscape);
    }
    if (read == Read::ended) {
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

std::optional<std::string> console_ask(std::string_view question, bool hide) {
  const bool terminal = console_input_is_terminal();
  std::optional<std::string> line;
  const auto ask = [&] {
    write_text(question);
    console_flush();
    line = console_read_line();
  };
  if (terminal && hide) {
    EchoOff quiet;  // before the question: what is typed once it shows is never echoed
    ask();
  } else {
    ask();
  }
  if (!line || (terminal && (hide || interrupted))) {
    // The line end the user typed was not echoed, or no line end was typed (input ended, or
    // Ctrl+C, which the terminal shows as ^C on the open line).
    if (terminal) write_text("\n");
  } else if (!terminal) {
    write_text(echo_of(*line, hide));
    write_text("\n");
  }
  console_flush();
  return line;
}

int64_t console_columns() {
  if (std::optional<winsize> size = terminal_size()) return size->ws_col;
  return environment_count("COLUMNS", kDefaultColumns);
}

int64_t console_rows() {
  std::optional<winsize> size = terminal_size();
  if (size && size->ws_row > 0) return size->ws_row;
  return environment_count("LINES", kDefaultRows);
}

void console_watch_resizes() {
  struct sigaction action{};
  action.sa_handler = note_resize;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGWINCH, &action, nullptr);
}

bool console_resized() { return resize_seen.exchange(false, std::memory_order_relaxed); }

}  // namespace qel

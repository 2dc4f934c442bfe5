// console-input.cpp: reading lines from standard input, the prompt and its echo, the width.
#include "runtime/console-input.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
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

// A self-pipe that the resize and continue signals write to, so that a wait for input wakes on
// them whichever thread the signal reached.
int wake_pipe[2] = {-1, -1};

// Async-signal-safe: one byte written without blocking.
void wake_reader() {
  const int saved_errno = errno;
  if (wake_pipe[1] >= 0) {
    [[maybe_unused]] const ssize_t wrote = ::write(wake_pipe[1], "w", 1);
  }
  errno = saved_errno;
}

void drain_wake_pipe() {
  char bytes[64];
  while (::read(wake_pipe[0], bytes, sizeof bytes) > 0) {
  }
}

// What a wait for standard input came to: bytes (or its end) to read, a Ctrl+C request (taken),
// or nothing before the time limit or a signal (SIGWINCH) that woke it.
enum class Wake { input, interrupt, idle };

// Waits until standard input has bytes (or its end) or a Ctrl+C request comes, at most
// timeout_ms (negative: without limit). A byte left by a request taken before only wakes it.
Wake await_input(int timeout_ms) {
  const int interrupt = interrupt_fd();
  for (;;) {
    if (interrupt_take()) return Wake::interrupt;
    // poll passes over a descriptor of -1: a pipe not made
    pollfd watch[3] = {{STDIN_FILENO, POLLIN, 0}, {interrupt, POLLIN, 0}, {wake_pipe[0], POLLIN, 0}};
    const int ready = ::poll(watch, 3, timeout_ms);
    if (ready < 0) return errno == EINTR ? Wake::idle : Wake::input;  // else read says why
    if (ready == 0) return Wake::idle;
    if (watch[2].revents != 0) {
      drain_wake_pipe();
      return Wake::idle;
    }
    if (watch[0].revents != 0 && !interrupt_pending()) return Wake::input;
  }
}

// Reads more of standard input into pending, waiting at most timeout_ms: ended at its end or on a
// read failure.
InputWait read_more(int timeout_ms = -1) {
  const Wake wake = await_input(timeout_ms);
  if (wake != Wake::input) return wake == Wake::interrupt ? InputWait::interrupted : InputWait::idle;
  char chunk[kReadChunk];
  for (;;) {
    ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (got > 0) {
      pending.append(chunk, static_cast<size_t>(got));
      return InputWait::bytes;
    }
    if (got < 0 && errno == EINTR) continue;
    input_ended = true;
    return InputWait::ended;
  }
}

// Writes UTF-8 text to standard output as it is.
void write_text(std::string_view text) { console_write_utf8(text.data(), text.size()); }

// The terminal's settings from before a change of its modes, kept while the change lasts so that
// a signal that ends the process meanwhile can put them back (console_restore_terminal).
termios saved_modes{};
termios changed_modes{};
std::atomic<bool> modes_changed{false};
std::atomic<bool> continued{false};

// Ctrl+Z (SIGTSTP): while the terminal's modes are changed, the user's own settings are back for
// as long as the process is stopped, and the changed ones return when it continues. The stop
// itself is the signal's default action, raised again here; it comes once the handler unblocks
// it, and the process goes on from there when continued. Async-signal-safe.
void on_stop(int signal_number) {
  const int saved_errno = errno;
  const bool changed = modes_changed.load();
  if (changed) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_modes);
  struct sigaction stop_default{}, handler{};
  stop_default.sa_handler = SIG_DFL;
  sigemptyset(&stop_default.sa_mask);
  ::sigaction(signal_number, &stop_default, &handler);
  ::raise(signal_number);
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, signal_number);
  ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stopped here until continued
  ::sigaction(signal_number, &handler, nullptr);
  if (changed && modes_changed.load()) {
    // Only a line being read has a row to show again; a stop between reads leaves nothing stale.
    ::tcsetattr(STDIN_FILENO, TCSANOW, &changed_modes);
    continued.store(true);
    wake_reader();
  }
  errno = saved_errno;
}

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

void note_resize(int) {
  resize_seen.store(true, std::memory_order_relaxed);
  wake_reader();
}

}  // namespace

TerminalModesOff::TerminalModesOff(unsigned local_modes) {
  if (::tcgetattr(STDIN_FILENO, &saved_modes) != 0) return;
  changed_modes = saved_modes;
  changed_modes.c_lflag &= ~static_cast<tcflag_t>(local_modes);
  if ((local_modes & ICANON) != 0) {
    changed_modes.c_cc[VMIN] = 1;  // a read answers each byte as it comes
    changed_modes.c_cc[VTIME] = 0;
  }
  modes_changed.store(true);
  ::tcsetattr(STDIN_FILENO, TCSANOW, &changed_modes);
}

TerminalModesOff::~TerminalModesOff() { console_restore_terminal(); }

void console_restore_terminal() {
  if (modes_changed.exchange(false)) ::tcsetattr(STDIN_FILENO, TCSANOW, &saved_modes);
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
    at += utf8_replacing_step_size(step);
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
    const InputWait read = input_ended ? InputWait::ended : read_more();
    if (read == InputWait::idle) continue;  // a signal woke the wait
    if (read == InputWait::interrupted) {
      // The line being typed goes, as the window's Escape drops it (the terminal has dropped
      // its own part of it); what came through a pipe is data, kept for the next read.
      if (console_input_is_terminal()) console_input_drop();
      interrupted = true;
      return std::string(1, kEscape);
    }
    if (read == InputWait::ended) {
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

InputWait console_input_bytes(int timeout_ms, std::string_view& bytes) {
  drop_taken();
  if (taken == pending.size()) {
    const InputWait read = input_ended ? InputWait::ended : read_more(timeout_ms);
    if (read != InputWait::bytes) return read;
  }
  bytes = std::string_view(pending).substr(taken);
  return InputWait::bytes;
}

void console_input_take(size_t count) { taken = std::min(taken + count, pending.size()); }

void console_input_drop() { taken = pending.size(); }

std::optional<std::string> console_ask(std::string_view question, bool hide) {
  const bool terminal = console_input_is_terminal();
  std::optional<std::string> line;
  const auto ask = [&] {
    write_text(question);
    console_flush();
    line = console_read_line();
  };
  if (terminal && hide) {
    TerminalModesOff quiet(ECHO);  // before the question: what is typed once it shows is never echoed
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

void console_watch_terminal_signals() {
  if (wake_pipe[0] < 0 && ::pipe2(wake_pipe, O_NONBLOCK | O_CLOEXEC) != 0) wake_pipe[0] = wake_pipe[1] = -1;
  struct sigaction action{};
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  action.sa_handler = note_resize;
  ::sigaction(SIGWINCH, &action, nullptr);
  action.sa_handler = on_stop;
  ::sigaction(SIGTSTP, &action, nullptr);
}

bool console_resized() { return resize_seen.exchange(false, std::memory_order_relaxed); }

bool console_continued() { return continued.exchange(false); }

}  // namespace qel

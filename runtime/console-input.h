// console-input.h: the console's front-end services: asking for a line with a prompt, reading
// standard input a line at a time, and the width results are cut to.
//
// A read line is valid UTF-8 whatever came in (ill-formed bytes become U+FFFD), of any length,
// without its line end (LF, and a CR just before it). When standard input is no terminal the
// line is echoed after the prompt with a line end, so standard output reads as the transcript
// of the session.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace qel {

// Replaces every ill-formed UTF-8 sequence of the bytes by U+FFFD (a bad lead byte alone; a
// lead with a bad continuation up to, not including, the bad byte; a sequence cut short by the
// end as a whole).
std::string utf8_sanitized(std::span<const uint8_t> bytes);

// Reads the next line of standard input; none at the end of input (a last line without a line
// end is still a line). Ctrl+C while it waits for input answers the escape character alone: the
// window's Escape key. On a terminal it drops what of the line had come; from a pipe that stays
// and begins the next line.
std::optional<std::string> console_read_line();

// ask: flushes what is printed, writes the question and reads a line; none at the end of input
// (on a terminal a line end is written first, so what follows starts on a line of its own).
// When standard input is no terminal the answer is echoed with a line end, a trailing ESC left
// out (a terminal shows none), a hidden one as one "*" per character. On a terminal the tty
// echoes; a hidden read turns its echo off for that read alone, before the question shows; a read
// that Ctrl+C ended ends the line.
std::optional<std::string> console_ask(std::string_view question, bool hide = false);

// What waiting for standard input came to: bytes to hand out, its end, a Ctrl+C request (taken),
// or nothing within the time or before a signal such as SIGWINCH woke the wait.
enum class InputWait { bytes, ended, interrupted, idle };

// For a reader that takes standard input byte by byte (the console's line editor): the bytes
// not yet handed out, read when there are none, waiting at most timeout_ms (negative: without
// limit). The bytes stay valid until the next call here.
InputWait console_input_bytes(int timeout_ms, std::string_view& bytes);
// Hands out the first count bytes of those: the rest stay for the next reader.
void console_input_take(size_t count);
// Drops every byte not yet handed out: on a terminal Ctrl+C drops the line being typed.
void console_input_drop();

// Turns the given local modes of standard input's terminal off (ECHO, ICANON, ...) while it
// lives and puts the terminal's settings back however the scope ends; a signal that ends the
// process meanwhile puts them back too (console_restore_terminal). With ICANON off a read
// answers each byte as it comes. Nothing typed ahead is discarded either way.
class TerminalModesOff {
 public:
  explicit TerminalModesOff(unsigned local_modes);
  ~TerminalModesOff();
  TerminalModesOff(const TerminalModesOff&) = delete;
  TerminalModesOff& operator=(const TerminalModesOff&) = delete;
};

// Puts back the terminal's settings that a TerminalModesOff changed, while one lasts; else does
// nothing. Async-signal-safe: the signals that end the process call it.
void console_restore_terminal();

// Whether standard input is a terminal, so that a person types the answers.
bool console_input_is_terminal();

// Columns of the console: the terminal's width when standard output is a terminal that reports
// one, else the numeric value of COLUMNS, else 80.
int64_t console_columns();

// Rows of the console: the terminal's height when it reports one, else the numeric value of
// LINES, else 24.
int64_t console_rows();

// Starts noting terminal resizes (SIGWINCH) and handling Ctrl+Z (SIGTSTP): a process stopped
// while a TerminalModesOff lasts leaves the terminal with the user's settings and takes its
// changed modes back when it continues. Either signal wakes a wait for input (console_input_bytes
// answers idle); console_resized and console_continued answer whether one came since they were
// last asked.
void console_watch_terminal_signals();
bool console_resized();
bool console_continued();

}  // namespace qel

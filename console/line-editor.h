// line-editor.h: the text console's line editor: the keys a terminal sends come in as bytes, and
// out come the writes that show the input line and, once it ends, the line read.
//
// The input shows on one row after the question, scrolled sideways so that the caret stays in
// view however long the line grows; each change writes the row again from the input's first
// column ("\r", a move right, the text, an erase to the row's end, the caret put back). Typing at
// the end of a line that fits writes only the character. When the line ends it is written whole,
// unscrolled, followed by a line end, so the screen keeps what was entered.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "console/terminal-keys.h"

namespace qel {

// How the line read ended: not yet; Enter; Escape (the line with an ESC after it, which the
// console takes as a cancel); end of input (Ctrl+D on an empty line, or the input's own end);
// Ctrl+C (an ESC alone).
enum class LineEnd : uint8_t { open, entered, cancelled, input_ended, interrupted };

class LineEditor {
 public:
  // history: the lines Up and Down browse, newest first. hidden: each character shows as "*".
  // columns: the terminal's width; question_columns: the columns the question's last row takes,
  // the input starting right after it. When they leave the input too little room the input
  // starts on a row of its own.
  LineEditor(std::vector<std::string> history, bool hidden, size_t columns, size_t question_columns);

  // Takes bytes until the line ends; answers how many it took (the rest belong to later reads).
  size_t feed(std::string_view bytes);
  // Whether an ESC waits to be told apart from the start of a key's sequence.
  bool escape_waiting() const { return decoder_.escape_waiting(); }
  // No byte followed soon: a waiting ESC was the Escape key.
  void pause();
  // The terminal's width changed: the row is shown again at the new width.
  void resize(size_t columns);
  // The row was lost (the process stopped and continued, the question written again on a fresh
  // row, taking question_columns): the input is shown again after it.
  void resume(size_t question_columns);
  // The input itself ended: a line typed so far is entered, else input ends.
  void input_end();
  // Ctrl+C: the line goes; the row shows ^C after what was typed.
  void interrupt();

  LineEnd end() const { return end_; }
  // The line read: the input (with an ESC after it when cancelled, an ESC alone when
  // interrupted), UTF-8.
  std::string line() const;
  // The bytes to write to the terminal since the last call.
  std::string take_screen();

 private:
  struct Binding;
  static const Binding kBindings[];

  // What the keys do: the actions of the key table.
  void enter();
  void cancel();
  void end_of_input();
  void backspace();
  void delete_forward();
  void caret_left();
  void caret_right();
  void caret_home();
  void caret_end();
  void empty_input();
  void older_line();
  void newer_line();

  void take_key(const Key& key);
  void insert(char32_t code);
  void fetch_history(int step);
  void place_input(size_t start_column);
  size_t room() const;
  size_t shown_width(char32_t code) const;
  size_t shown_columns(size_t from, size_t to) const;
  bool fits_from(size_t from) const;
  size_t earliest_view(size_t to) const;
  void keep_caret_in_view();
  void append_shown(char32_t code);
  void move_right(size_t columns);
  void redraw();
  void finish(LineEnd end);

  std::vector<std::string> history_;
  bool hidden_;
  size_t columns_;
  size_t start_column_ = 0;  // the row's column where the input starts
  std::u32string text_;
  size_t caret_ = 0;
  size_t view_ = 0;  // the first character in view
  size_t history_index_ = 0;  // 0: the line being edited; k: the k-th newest history line
  std::u32string edited_text_;  // the line being edited, kept while the history is browsed
  size_t edited_caret_ = 0;
  LineEnd end_ = LineEnd::open;
  bool redraw_due_ = false;  // the row no longer shows the input as it is
  KeyDecoder decoder_;
  std::vector<Key> keys_;
  std::string screen_;
};

}  // namespace qel

// line-editor.cpp: the text console's line editor: its key table, the editing, the history
// browsing and the writes that show the input row.
#include "console/line-editor.h"

#include <algorithm>
#include <string>
#include <utility>

#include "console/text-columns.h"
#include "datatypes/series/utf8-decode.h"
#include "runtime/utf8.h"

namespace qel {

namespace {

constexpr char32_t kEscapeCode = 27;

// The least room the input keeps after the question before it starts on a row of its own: a
// quarter of the row.
size_t least_room(size_t columns) { return columns / 4; }

// Whether a character shows in caret form ("^A"): the C0 controls and DEL, which only a history
// line can hold (typing inserts none).
bool caret_form(char32_t code) { return code < 0x20 || code == 0x7F; }

// The characters of UTF-8 text, each ill-formed stretch as U+FFFD.
std::u32string decode_utf8(std::string_view text) {
  std::u32string codes;
  const auto* at = reinterpret_cast<const uint8_t*>(text.data());
  const auto* end = at + text.size();
  while (at < end) {
    const Utf8Step step = utf8_decode_step(at, end);
    codes += step.status == Utf8Status::ok ? step.code_point : kReplacementCharacter;
    at += utf8_replacing_step_size(step);
  }
  return codes;
}

// Appends a character's UTF-8 bytes.
void append_utf8(std::string& out, char32_t code) {
  uint8_t bytes[4];
  out.append(reinterpret_cast<const char*>(bytes), utf8_encode(code, bytes));
}

}  // namespace

// A row of the key table: the key (a control character's code too) and its action.
struct LineEditor::Binding {
  KeyName name;
  char32_t code;
  void (LineEditor::*action)();
};

const LineEditor::Binding LineEditor::kBindings[] = {
    {KeyName::control, '\r', &LineEditor::enter},          // Enter
    {KeyName::control, '\n', &LineEditor::enter},          // Enter, as the terminal turns it
    {KeyName::escape, 0, &LineEditor::cancel},
    {KeyName::control, 4, &LineEditor::end_of_input},      // Ctrl+D
    {KeyName::control, 0x7F, &LineEditor::backspace},      // Backspace
    {KeyName::control, 8, &LineEditor::backspace},         // Ctrl+H
    {KeyName::delete_forward, 0, &LineEditor::delete_forward},
    {KeyName::left, 0, &LineEditor::caret_left},
    {KeyName::right, 0, &LineEditor::caret_right},
    {KeyName::home, 0, &LineEditor::caret_home},
    {KeyName::control, 1, &LineEditor::caret_home},        // Ctrl+A
    {KeyName::end, 0, &LineEditor::caret_end},
    {KeyName::control, 5, &LineEditor::caret_end},         // Ctrl+E
    {KeyName::control, 11, &LineEditor::empty_input},      // Ctrl+K
    {KeyName::up, 0, &LineEditor::older_line},
    {KeyName::down, 0, &LineEditor::newer_line},
};

LineEditor::LineEditor(std::vector<std::string> history, bool hidden, size_t columns, size_t question_columns)
    : history_(std::move(history)), hidden_(hidden), columns_(std::max<size_t>(columns, 1)) {
  place_input(question_columns);
}

// --- Bytes in, line out --------------------------------------------------------------------------

size_t LineEditor::feed(std::string_view bytes) {
  size_t taken = 0;
  while (taken < bytes.size() && end_ == LineEnd::open) {
    keys_.clear();
    decoder_.push(static_cast<uint8_t>(bytes[taken]), keys_);
    // A byte gives two keys only when it breaks a character: a replacement character, which
    // cannot end the line, then its own key.
    for (const Key& key : keys_) take_key(key);
    ++taken;
  }
  if (redraw_due_ && end_ == LineEnd::open) redraw();
  return taken;
}

void LineEditor::pause() {
  keys_.clear();
  decoder_.escape_alone(keys_);
  for (const Key& key : keys_) take_key(key);
}

void LineEditor::resize(size_t columns) {
  columns_ = std::max<size_t>(columns, 1);
  resume(start_column_);
}

void LineEditor::resume(size_t question_columns) {
  if (end_ != LineEnd::open) return;
  place_input(question_columns);
  redraw();
}

void LineEditor::input_end() {
  if (end_ == LineEnd::open) finish(text_.empty() ? LineEnd::input_ended : LineEnd::entered);
}

void LineEditor::interrupt() {
  if (end_ == LineEnd::open) finish(LineEnd::interrupted);
}

std::string LineEditor::line() const {
  std::string line;
  if (end_ != LineEnd::interrupted)
    for (char32_t code : text_) append_utf8(line, code);
  if (end_ == LineEnd::cancelled || end_ == LineEnd::interrupted) line += static_cast<char>(kEscapeCode);
  return line;
}

std::string LineEditor::take_screen() { return std::exchange(screen_, std::string()); }

void LineEditor::take_key(const Key& key) {
  if (key.name == KeyName::text) {
    insert(key.code);
    return;
  }
  for (const Binding& binding : kBindings)
    if (binding.name == key.name && (key.name != KeyName::control || binding.code == key.code)) {
      (this->*binding.action)();
      return;
    }
}

// --- The actions ---------------------------------------------------------------------------------

void LineEditor::enter() { finish(LineEnd::entered); }

void LineEditor::cancel() { finish(LineEnd::cancelled); }

// Ctrl+D ends the input only on an empty line, as it does in the terminal's own line reading.
void LineEditor::end_of_input() {
  if (text_.empty()) finish(LineEnd::input_ended);
}

void LineEditor::backspace() {
  if (caret_ == 0) return;
  text_.erase(--caret_, 1);
  redraw_due_ = true;
}

void LineEditor::delete_forward() {
  if (caret_ == text_.size()) return;
  text_.erase(caret_, 1);
  redraw_due_ = true;
}

void LineEditor::caret_left() {
  if (caret_ == 0) return;
  --caret_;
  redraw_due_ = true;
}

void LineEditor::caret_right() {
  if (caret_ == text_.size()) return;
  ++caret_;
  redraw_due_ = true;
}

void LineEditor::caret_home() {
  caret_ = 0;
  redraw_due_ = true;
}

void LineEditor::caret_end() {
  caret_ = text_.size();
  redraw_due_ = true;
}

void LineEditor::empty_input() {
  text_.clear();
  caret_ = 0;
  redraw_due_ = true;
}

void LineEditor::older_line() { fetch_history(1); }

void LineEditor::newer_line() { fetch_history(-1); }

// A character above the controls goes in at the caret. At the end of a line that fits, the row
// needs that character alone.
void LineEditor::insert(char32_t code) {
  if (caret_form(code)) return;
  text_.insert(caret_, 1, code);
  ++caret_;
  if (!redraw_due_ && caret_ == text_.size() && view_ == 0 && fits_from(0))
    append_shown(code);
  else
    redraw_due_ = true;
}

// Up (1) and Down (-1) through the history: leaving the edited line keeps it and its caret,
// coming back to it brings them back; a history line comes with the caret at its end. Down at the
// edited line does nothing; Up at the oldest line stays there.
void LineEditor::fetch_history(int step) {
  if (history_index_ == 0) {
    edited_text_ = text_;
    edited_caret_ = caret_;
  }
  if (step < 0 && history_index_ == 0) return;
  history_index_ = step > 0 ? std::min(history_index_ + 1, history_.size()) : history_index_ - 1;
  if (history_index_ == 0) {
    text_ = edited_text_;
    caret_ = edited_caret_;
  } else {
    text_ = decode_utf8(history_[history_index_ - 1]);
    caret_ = text_.size();
  }
  redraw_due_ = true;
}

// --- Showing the row -----------------------------------------------------------------------------

// The input starts at that column of the row, or on a row of its own when too little room is left.
void LineEditor::place_input(size_t start_column) {
  start_column_ = start_column;
  if (start_column_ == 0 || start_column_ + least_room(columns_) + 1 < columns_) return;
  screen_ += '\n';
  start_column_ = 0;
}

// The columns the input may show in: the row after its start, less the last column, where the
// caret stands after a character that ends the room.
size_t LineEditor::room() const { return columns_ > start_column_ + 1 ? columns_ - start_column_ - 1 : 1; }

// The columns a character of the input shows in.
size_t LineEditor::shown_width(char32_t code) const {
  if (hidden_) return 1;
  return caret_form(code) ? 2 : static_cast<size_t>(character_columns(code));
}

// The columns the characters from `from` up to `to` show in.
size_t LineEditor::shown_columns(size_t from, size_t to) const {
  size_t columns = 0;
  for (size_t at = from; at < to; ++at) columns += shown_width(text_[at]);
  return columns;
}

// Whether the input from that character to its end fits in the room.
bool LineEditor::fits_from(size_t from) const {
  size_t columns = 0;
  for (size_t at = from; at < text_.size() && columns <= room(); ++at) columns += shown_width(text_[at]);
  return columns <= room();
}

// The first character from which the input up to `to` fits in the room.
size_t LineEditor::earliest_view(size_t to) const {
  size_t columns = 0;
  size_t from = to;
  while (from > 0 && columns + shown_width(text_[from - 1]) <= room()) columns += shown_width(text_[--from]);
  return from;
}

// The view moves no more than it must to show the caret, and back as far as the end allows.
void LineEditor::keep_caret_in_view() {
  view_ = std::min(view_, caret_);
  view_ = std::max(view_, earliest_view(caret_));
  view_ = std::min(view_, earliest_view(text_.size()));
}

void LineEditor::append_shown(char32_t code) {
  if (hidden_) {
    screen_ += '*';
  } else if (caret_form(code)) {
    screen_ += '^';
    screen_ += static_cast<char>(code ^ 0x40);
  } else {
    append_utf8(screen_, code);
  }
}

// A move of the cursor to the right; none for 0 (a terminal would move by one).
void LineEditor::move_right(size_t columns) {
  if (columns > 0) screen_ += "\x1B[" + std::to_string(columns) + "C";
}

void LineEditor::redraw() {
  keep_caret_in_view();
  screen_ += '\r';
  move_right(start_column_);
  size_t used = 0;
  for (size_t at = view_; at < text_.size(); ++at) {
    used += shown_width(text_[at]);
    if (used > room()) break;
    append_shown(text_[at]);
  }
  screen_ += "\x1B[K\r";
  move_right(start_column_ + shown_columns(view_, caret_));
  redraw_due_ = false;
}

// The row ends showing the whole input (Ctrl+C's ^C after it), then the line ends.
void LineEditor::finish(LineEnd end) {
  end_ = end;
  if (!redraw_due_ && view_ == 0 && fits_from(0)) {
    move_right(shown_columns(caret_, text_.size()));
  } else {
    screen_ += '\r';
    move_right(start_column_);
    for (char32_t code : text_) append_shown(code);
    screen_ += "\x1B[K";
  }
  if (end == LineEnd::interrupted) screen_ += "^C";
  screen_ += '\n';
}

}  // namespace qel

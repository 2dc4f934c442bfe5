// terminal-line-input.cpp: the line editor on the terminal: its mode, its input and its writes.
#include "console/terminal-line-input.h"

#include <termios.h>
#include <unistd.h>

#include "console/line-editor.h"
#include "console/text-columns.h"
#include "datatypes/series/string-convert.h"
#include "evaluator/print-natives.h"
#include "runtime/console-input.h"
#include "runtime/console-output.h"
#include "runtime/os-environment.h"
#include "runtime/os.h"
#include "runtime/print-hooks.h"

namespace qel {

namespace {

// How long an ESC waits for the rest of a key's sequence before it counts as the Escape key;
// a sequence's bytes come together, a person's next key much later.
constexpr int kEscapeWaitMs = 100;

// The columns of the row the last prin left open (print says whether one is).
size_t open_row_columns = 0;

void follow_open_row(const Cell& text, bool newline) {
  if (newline) {
    open_row_columns = 0;
    return;
  }
  const std::string printed = string_to_utf8(text);
  const size_t row_end = printed.rfind('\n');
  if (row_end == std::string::npos)
    open_row_columns += text_columns(printed);
  else
    open_row_columns = text_columns(std::string_view(printed).substr(row_end + 1));
}

// The question's last row.
std::string_view last_row(std::string_view question) {
  const size_t row_end = question.rfind('\n');
  return row_end == std::string_view::npos ? question : question.substr(row_end + 1);
}

// The columns the question's last row takes, after what an open row holds already.
size_t question_columns(std::string_view question) {
  const bool open_row = !print_last_line_flag() && question.find('\n') == std::string_view::npos;
  return (open_row ? open_row_columns : 0) + text_columns(last_row(question));
}

// After a stop the row is gone (the shell wrote its own lines and left the cursor on a fresh
// row): the question's last row is written again there, and the input after it.
void show_again(std::string_view question, LineEditor& editor) {
  const std::string_view row = last_row(question);
  console_write_utf8("\r", 1);
  console_write_utf8(row.data(), row.size());
  console_flush();
  editor.resume(text_columns(row));
}

void write_screen(LineEditor& editor) {
  const std::string screen = editor.take_screen();
  os_write_all(STDOUT_FILENO, screen.data(), screen.size());
}

}  // namespace

bool line_editing_available() {
  return ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1 && os_get_env("TERM") != "dumb";
}

void line_editing_install() {
  print_hooks_remove(follow_open_row, nullptr);
  print_hooks_add(follow_open_row, nullptr);
}

std::optional<std::string> edit_terminal_line(std::string_view question, bool hide, std::vector<std::string> history) {
  const TerminalModesOff raw(ICANON | ECHO | IEXTEN);  // before the question: nothing typed echoes
  console_write_utf8(question.data(), question.size());
  console_flush();
  size_t columns = static_cast<size_t>(console_columns());
  LineEditor editor(std::move(history), hide, columns, question_columns(question));
  open_row_columns = 0;  // the read ends the row
  write_screen(editor);
  while (editor.end() == LineEnd::open) {
    std::string_view bytes;
    switch (console_input_bytes(editor.escape_waiting() ? kEscapeWaitMs : -1, bytes)) {
      case InputWait::bytes:
        console_input_take(editor.feed(bytes));
        break;
      case InputWait::ended:
        editor.input_end();
        break;
      case InputWait::interrupted:
        console_input_drop();
        editor.interrupt();
        break;
      case InputWait::idle:  // the time passed, or a signal (a resize, a continue) came
        editor.pause();
        if (console_continued()) show_again(question, editor);
        if (const auto now = static_cast<size_t>(console_columns()); now != columns) editor.resize(columns = now);
        break;
    }
    write_screen(editor);
  }
  if (editor.end() == LineEnd::input_ended) return std::nullopt;
  return editor.line();
}

}  // namespace qel

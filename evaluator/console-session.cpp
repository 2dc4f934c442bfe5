// console-session.cpp: collecting lines into commands, and the console's loop.
#include "evaluator/console-session.h"

#include "evaluator/console-command.h"
#include "evaluator/console-delimiters.h"
#include "runtime/build-stamp.h"
#include "runtime/console-input.h"

namespace qel {

namespace {

inline constexpr char kEscape = 27;
inline constexpr std::string_view kCueIndent = "    ";

}  // namespace

void ConsoleSession::reset() {
  buffer_.clear();
  cue_.clear();
}

void ConsoleSession::take_line(std::string_view line) {
  if (line.empty() && !command_open()) return;
  if (!line.empty() && line.back() == kEscape) {
    reset();
    console_print("(escape)", true);
    return;
  }
  cue_.clear();
  buffer_ += line;
  buffer_ += '\n';
  DelimiterCheck check = check_delimiters(buffer_);
  if (check.sound && !check.open.empty()) {
    cue_ = std::string(1, check.open.back()) + std::string(kCueIndent);
    return;
  }
  std::string command = std::move(buffer_);
  reset();
  console_do_command(command, console_columns());
}

std::string ConsoleSession::question() const { return command_open() ? cue_ : std::string(kConsolePrompt); }

std::string console_banner() {
  return std::string("--== Qel ") + build_version() + " ==--\nType HELP for starting information.\n";
}

void console_run(bool banner) {
  if (banner) console_print(console_banner(), true);
  ConsoleSession session;
  while (std::optional<std::string> line = console_ask(session.question())) session.take_line(*line);
}

}  // namespace qel

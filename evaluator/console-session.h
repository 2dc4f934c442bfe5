// console-session.h: the console's loop: lines are collected into a command until every
// delimiter they open is closed, then the command runs.
//
// The front end's services (ask, the print hook, the width) come from runtime/console-input.h
// and runtime/stdout-print-hook.h; this file is the engine's step over one line and its loop.
#pragma once

#include <string>
#include <string_view>

namespace qel {

class ConsoleSession {
 public:
  // eval-command: takes one typed line. An empty line between commands is ignored; a line
  // ending in ESC drops the command and prints "(escape)"; otherwise the line joins the command,
  // which runs once complete (or wrong: its load reports the error).
  void take_line(std::string_view line);

  // What to ask with: the cue while a command is open, else the prompt.
  std::string question() const;

  bool command_open() const { return !cue_.empty(); }

 private:
  void reset();

  std::string buffer_;  // the command collected so far, a line end after each line
  std::string cue_;     // the continuation prompt while a command is open
};

// The banner run prints: the version and the hint.
std::string console_banner();

// run: prints the banner unless told not to, then asks and takes lines until the end of input.
void console_run(bool banner);

}  // namespace qel

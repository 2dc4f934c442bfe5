// command-words.h: whether a command line is one program with its arguments, and which.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qel {

// A command as this process can start it itself: its words, the program first, read with the
// command interpreter's quoting (blanks separate words; single quotes take everything
// literally; double quotes and a backslash escape as the interpreter's do). Anything the
// interpreter would give a meaning of its own (pipes, lists, redirections, expansions, globs,
// comments, a line end, an open quote) leaves `words` empty: the command needs the interpreter.
struct CommandWords {
  std::vector<std::string> words;
  bool needs_shell() const { return words.empty(); }
};

CommandWords command_words(std::string_view command);

}  // namespace qel

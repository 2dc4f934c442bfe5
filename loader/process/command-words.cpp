// command-words.cpp: a small reader of the interpreter's quoting. Starting a program directly
// saves the interpreter's start-up, so it is done only where the interpreter would pass exactly
// these words on; whenever in doubt the command goes to the interpreter.
#include "loader/process/command-words.h"

#include <optional>

namespace qel {

namespace {

constexpr std::string_view kBlanks = " \t";
// Characters the interpreter acts on outside quotes (a line end included).
constexpr std::string_view kShellSyntax = "|&;<>()$`*?[~#\n\r";
// Inside double quotes it still expands these.
constexpr std::string_view kDoubleQuotedSyntax = "$`";
// Inside double quotes a backslash escapes only these.
constexpr std::string_view kDoubleQuotedEscapes = "$`\"\\\n";

bool is_one_of(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

// Reads one word from `at`, which is past any blanks; none when the interpreter is needed.
std::optional<std::string> read_word(std::string_view command, size_t& at) {
  std::string word;
  while (at < command.size() && !is_one_of(command[at], kBlanks)) {
    char c = command[at++];
    if (is_one_of(c, kShellSyntax)) return std::nullopt;
    if (c == '\\') {
      if (at == command.size() || is_one_of(command[at], "\n\r")) return std::nullopt;
      word += command[at++];
    } else if (c == '\'') {
      size_t close = command.find('\'', at);
      if (close == std::string_view::npos) return std::nullopt;
      word += command.substr(at, close - at);
      at = close + 1;
    } else if (c == '"') {
      for (;;) {
        if (at == command.size()) return std::nullopt;
        c = command[at++];
        if (c == '"') break;
        if (is_one_of(c, kDoubleQuotedSyntax)) return std::nullopt;
        if (c == '\\' && at < command.size() && is_one_of(command[at], kDoubleQuotedEscapes)) {
          if (command[at] == '\n') return std::nullopt;
          c = command[at++];
        }
        word += c;
      }
    } else {
      word += c;
    }
  }
  return word;
}

}  // namespace

CommandWords command_words(std::string_view command) {
  CommandWords result;
  size_t at = 0;
  for (;;) {
    at = command.find_first_not_of(kBlanks, at);
    if (at == std::string_view::npos) return result;
    std::optional<std::string> word = read_word(command, at);
    if (!word) return {};
    result.words.push_back(std::move(*word));
  }
}

}  // namespace qel

// command-line.cpp: joining argv back into one line that splits again into the same words.
#include "loader/command-line.h"

#include <string_view>

#include "loader/text-from-bytes.h"
#include "runtime/runtime-record.h"

namespace qel {

namespace {

bool needs_quotes(std::string_view argument) {
  return argument.empty() || argument.find_first_of(" \t\"") != std::string_view::npos;
}

}  // namespace

std::string command_line_text(std::span<char* const> arguments) {
  std::string line;
  for (const char* argument : arguments) {
    std::string_view text(argument);
    if (!line.empty()) line += ' ';
    if (!needs_quotes(text)) {
      line += text;
      continue;
    }
    line += '"';
    for (char c : text) {
      if (c == '"') line += '\\';
      line += c;
    }
    line += '"';
  }
  return line;
}

Cell os_command_line() {
  std::span<char* const> arguments(runtime.argument_vector, runtime.argument_vector ? runtime.argument_count : 0);
  return string_from_os_text(command_line_text(arguments));
}

}  // namespace qel

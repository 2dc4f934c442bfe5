// command-line.h: the process's command line as one text, as the language shows it.
#pragma once

#include <span>
#include <string>

#include "runtime/cell.h"

namespace qel {

// The arguments joined by blanks; one that is empty or holds a blank, tab or double quote is
// written within double quotes (a double quote inside as \").
std::string command_line_text(std::span<char* const> arguments);

// os-command-line: a new string! of the runtime record's arguments so joined; bytes that are no
// UTF-8 become U+FFFD.
Cell os_command_line();

}  // namespace qel

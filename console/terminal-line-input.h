// terminal-line-input.h: reading the console's lines on a terminal through the line editor, the
// terminal's canonical mode and echo off for as long as a read lasts.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Whether the console reads its lines through the editor: standard input and output are both
// terminals, and the terminal takes cursor moves (TERM is not "dumb").
bool line_editing_available();

// Starts following the row printed output leaves open, where a question asked next begins.
void line_editing_install();

// Writes the question and reads a line through the editor, browsing the history (newest
// first); none at the end of input. The terminal's settings come back when the read ends, by
// Enter or otherwise. A Ctrl+C request ends the read with an ESC alone and drops what was typed.
std::optional<std::string> edit_terminal_line(std::string_view question, bool hide, std::vector<std::string> history);

}  // namespace qel

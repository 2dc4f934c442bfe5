// console-command.h: one console command: load the collected text, evaluate it, print what
// came out. Everything is printed through the print hooks, as `print` prints.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// The prompt whose length the cutting of a long result allows for.
inline constexpr std::string_view kConsolePrompt = ">> ";

// How much of a result text of `length` characters a result line keeps, and whether "..."
// follows: at a width of `columns` (0: no cut) the text may take columns - 3 characters; a
// longer one keeps columns - 7 (never fewer than 0).
struct ResultCut {
  int64_t keep;
  bool ellipsis;
};
ResultCut result_cut(int64_t length, int64_t columns);

// Prints UTF-8 text through the print hooks, with a line end when asked.
void console_print(std::string_view text, bool newline);

// Prints an error's formed text; with empty_line an empty line follows.
void console_print_error(const Cell& error, bool empty_line);

// Prints "== " and the value molded (a float! formed) and cut to the width; a value that fails
// to mold prints its error instead.
void console_print_result(const Cell& value, int64_t columns);

// Loads the text as a block; answers false after printing the load error.
bool console_load(std::string_view text, Cell& block);

// Evaluates a loaded block under an error trap; answers false after printing the error and an
// empty line. The value goes to `result`.
bool console_evaluate(const Cell& block, Cell& result);

// do-command: load, evaluate, print the result (nothing for unset) at the width.
void console_do_command(std::string_view text, int64_t columns);

}  // namespace qel

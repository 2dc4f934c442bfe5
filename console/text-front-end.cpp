// text-front-end.cpp: the console's routines over standard input and output, and its start.
#include "console/text-front-end.h"

#include <unistd.h>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "console/terminal-line-input.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-convert.h"
#include "evaluator/interpreter.h"
#include "evaluator/library-values.h"
#include "evaluator/print-natives.h"
#include "evaluator/routine.h"
#include "loader/text-from-bytes.h"
#include "runtime/console-input.h"
#include "runtime/console-output.h"
#include "runtime/gc-root.h"
#include "runtime/interrupt.h"
#include "runtime/stdout-print-hook.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

// system/console/size from the terminal: columns x rows.
void refresh_console_size() {
  if (Cell* size = system_field_cell({"console", "size"}))
    *size = make_cell(Type::pair, 0, static_cast<uint32_t>(console_columns()), static_cast<uint32_t>(console_rows()));
}

// The strings of a history block, from its position on: the lines the editor browses.
std::vector<std::string> history_lines(const Cell& block) {
  std::vector<std::string> lines;
  for (int64_t at = series_clamped_index(block); at < block_total_cells(block); ++at) {
    const Cell& line = *block_cell_at(block, at);
    if (cell_type(line) == Type::string) lines.push_back(string_to_utf8(line));
  }
  return lines;
}

// read-answer question hide history: the answer to the question, none at the end of input; on
// a terminal read through the line editor, whose Up and Down browse the history block. The size
// follows a resize seen since the last question; after the read the line is ended.
RoutineResult read_answer(Arguments arguments) {
  if (console_resized()) refresh_console_size();
  const std::string question = string_to_utf8(*arguments[0].cell);
  const bool hide = arguments[1].integer != 0;
  std::optional<std::string> answer = line_editing_available()
                                          ? edit_terminal_line(question, hide, history_lines(*arguments[2].cell))
                                          : console_ask(question, hide);
  print_set_last_line_flag(true);
  *value_stack.base = answer ? string_from_utf8_bytes({reinterpret_cast<const uint8_t*>(answer->data()), answer->size()})
                             : make_cell(Type::none);
  return {};
}

// console-title text: the title of the terminal the console runs in; nowhere else can show one.
RoutineResult console_title(Arguments arguments) {
  if (::isatty(STDOUT_FILENO) != 1) return {};
  const std::string title = terminal_title_sequence(string_to_utf8(*arguments[0].cell));
  console_write_utf8(title.data(), title.size());
  console_flush();
  return {};
}

// console-interrupted?: whether Ctrl+C halted what ran since it was last asked.
RoutineResult console_interrupted(Arguments) { return {interrupt_halted() ? 1 : 0, 0}; }

constexpr NamedRoutine kConsoleRoutines[] = {
    {"read-answer", read_answer},
    {"console-title", console_title},
    {"console-interrupted?", console_interrupted},
};

}  // namespace

std::string terminal_title_sequence(std::string_view title) {
  std::string sequence = "\x1B]0;";
  for (size_t i = 0; i < title.size(); ++i) {
    const auto byte = static_cast<uint8_t>(title[i]);
    if (byte < 0x20 || byte == 0x7F) continue;
    const auto next = i + 1 < title.size() ? static_cast<uint8_t>(title[i + 1]) : 0;
    if (byte == 0xC2 && next >= 0x80 && next <= 0x9F) {  // U+0080 to U+009F, the C1 controls
      ++i;
      continue;
    }
    sequence += title[i];
  }
  return sequence + '\a';
}

void register_console_routines() {
  for (const NamedRoutine& routine : kConsoleRoutines) register_routine_once(routine.name, routine.function);
}

void text_front_end_launch() {
  stdout_print_hook_install();
  if (line_editing_available()) line_editing_install();
  console_watch_terminal_signals();
  refresh_console_size();
  print_set_last_line_flag(true);  // nothing printed yet: no line is open
  const Cell launch = system_field({"console", "launch"});
  if (cell_type(launch) == Type::function) call_function_with(launch, {});
}

}  // namespace qel

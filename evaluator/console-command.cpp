// console-command.cpp: the command step of the console: load, evaluate, print the outcome.
#include "evaluator/console-command.h"

#include <algorithm>
#include <array>
#include <string>

#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/interpreter.h"
#include "loader/lexer/lexer.h"
#include "runtime/action-entries.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/print-hooks.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

inline constexpr std::string_view kResultPrefix = "== ";
inline constexpr std::string_view kEllipsis = "...";

// Restores the value stack's top on every exit.
class StackTopScope {
 public:
  StackTopScope() : top_(value_stack.top) {}
  ~StackTopScope() { value_stack.top = top_; }
  StackTopScope(const StackTopScope&) = delete;
  StackTopScope& operator=(const StackTopScope&) = delete;

 private:
  Cell* top_;
};

// The result molded, or a float! formed, to at most `limit` characters (none: no limit);
// the text is left pushed and answered.
Cell& result_text(const Cell& value, int64_t columns) {
  bool is_float = cell_type(value) == Type::float_;
  Act act = is_float ? Act::Form : Act::Mold;
  if (columns <= 0) return call_action(act, std::array{value});
  std::array limit{make_cell(Type::integer, 0, static_cast<uint32_t>(std::min<int64_t>(columns + 2, INT32_MAX)))};
  return call_action(act, std::array{value}, {{is_float ? 0u : 3u, true, limit}});
}

// The result line as a string value: the prefix, the result text cut to the width, "..." when
// cut. The text is copied as code points and never read back from UTF-8, so any char the
// result holds (a lone surrogate too) prints as it molded.
void result_line(const Cell& value, int64_t columns, Cell& line) {
  Cell& text = result_text(value, columns);
  ResultCut cut = result_cut(string_length(text), columns);
  string_make_at(line, cut.keep + static_cast<int64_t>(kResultPrefix.size() + kEllipsis.size()));
  series_append_ascii(line.w2, kResultPrefix);
  string_write_text(line.w2, 0, string_text_part(text, cut.keep), TextMode::append);
  if (cut.ellipsis) series_append_ascii(line.w2, kEllipsis);
}

}  // namespace

ResultCut result_cut(int64_t length, int64_t columns) {
  if (columns <= 0) return {length, false};
  int64_t limit = columns - 3;
  if (length <= limit) return {length, false};
  return {std::max<int64_t>(0, limit - static_cast<int64_t>(kConsolePrompt.size()) - 1), true};
}

void console_print(std::string_view text, bool newline) {
  GcRoot<Cell> string;
  string_load({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, *string, TextEncoding::utf8);
  print_hooks_run(*string, newline);
}

void console_print_error(const Cell& error, bool empty_line) {
  StackTopScope scope;
  GcRoot<Cell> kept(error);
  GcRoot<Cell> text;
  Caught caught = trap_errors([&] { *text = call_action(Act::Form, std::array{*kept}); });
  if (caught.taken) {
    string_make_at(*text, static_cast<int64_t>(kUnformedErrorText.size()) + 1);
    series_append_ascii(text->w2, kUnformedErrorText);
  }
  if (empty_line) series_append_ascii(text->w2, "\n");
  print_hooks_run(*text, true);
}

void console_print_result(const Cell& value, int64_t columns) {
  StackTopScope scope;
  GcRoot<Cell> kept(value);
  GcRoot<Cell> line;
  Caught caught = trap_errors([&] { result_line(*kept, columns, *line); });
  if (caught.taken) return console_print_error(*stack_last_value(), false);
  print_hooks_run(*line, true);
}

bool console_load(std::string_view text, Cell& block) {
  StackTopScope scope;
  Caught caught = trap_errors(
      [&] { lexer_transcode(block, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, LexerRequest{}); });
  if (!caught.taken) return true;
  console_print_error(*stack_last_value(), false);
  return false;
}

bool console_evaluate(const Cell& block, Cell& result) {
  StackTopScope scope;
  Caught caught = trap_errors([&]() -> Status {
    QEL_TRY(eval_block(block, false));
    result = *stack_last_value();
    return {};
  });
  if (caught.taken == kThrowError) {
    console_print_error(*stack_last_value(), true);
    return false;
  }
  // Other codes never get this far (an exit without a target is an error); none gives a value.
  if (caught.taken) result = make_cell(Type::unset);
  return true;
}

void console_do_command(std::string_view text, int64_t columns) {
  GcRoot<Cell> block;
  if (!console_load(text, *block)) return;
  if (series_buffer_length(block->w2) == 0) return;
  GcRoot<Cell> result;
  if (!console_evaluate(*block, *result)) return;
  if (cell_type(*result) == Type::unset) return;
  console_print_result(*result, columns);
}

}  // namespace qel

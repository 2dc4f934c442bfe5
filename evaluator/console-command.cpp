// console-command.cpp: the command step of the console: load, evaluate, print the outcome.
#include "evaluator/console-command.h"

#include <algorithm>
#include <array>
#include <string>

#include "datatypes/series/string-load.h"
#include "datatypes/series/utf8-encode.h"
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

// The first `keep` characters of a text value from its index, as UTF-8.
std::string text_prefix(const Cell& text, int64_t keep) {
  SeriesBuffer* buffer = series_buffer(text.w2);
  unsigned unit = buffer->unit();
  uint32_t length = series_buffer_length(text.w2);
  uint32_t index = std::min(text.w1, length);
  size_t count = static_cast<size_t>(std::min<int64_t>(keep, length - index));
  return utf8_from_units({buffer->head_address() + uint64_t{index} * unit, count, unit}, false);
}

// The result molded, or a float! formed, to at most `limit` characters (none: no limit);
// the text is left pushed and answered.
Cell& result_text(const Cell& value, int64_t columns) {
  bool is_float = cell_type(value) == Type::float_;
  Act act = is_float ? Act::Form : Act::Mold;
  if (columns <= 0) return call_action(act, std::array{value});
  std::array limit{make_cell(Type::integer, 0, static_cast<uint32_t>(std::min<int64_t>(columns + 2, INT32_MAX)))};
  return call_action(act, std::array{value}, {{is_float ? 0u : 3u, true, limit}});
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
  GcRoot<Cell> kept(error);
  std::string text;
  Caught caught = trap_errors([&] { text = form_value_text(*kept); });
  if (caught.taken) text = "*** Error: the error could not be formed";
  if (empty_line) text += '\n';
  console_print(text, true);
}

void console_print_result(const Cell& value, int64_t columns) {
  StackTopScope scope;
  GcRoot<Cell> kept(value);
  std::string line;
  Caught caught = trap_errors([&] {
    Cell& text = result_text(*kept, columns);
    uint32_t length = series_buffer_length(text.w2);
    ResultCut cut = result_cut(length - std::min(text.w1, length), columns);
    line = std::string(kResultPrefix) + text_prefix(text, cut.keep);
    if (cut.ellipsis) line += kEllipsis;
  });
  if (caught.taken) return console_print_error(*stack_last_value(), false);
  console_print(line, true);
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

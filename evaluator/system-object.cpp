// system-object.cpp: the system module's routines and the services reading the system object.
#include "evaluator/system-object.h"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

#include "datatypes/scalars/float-form.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/url.h"
#include "evaluator/library-values.h"
#include "evaluator/routine.h"
#include "evaluator/system-values.h"
#include "evaluator/trace.h"
#include "loader/command-line.h"
#include "loader/file-entries.h"
#include "loader/text-from-bytes.h"
#include "runtime/build-stamp.h"
#include "runtime/call-stack.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/gc-root.h"
#include "runtime/locale-defaults.h"
#include "runtime/os-environment.h"
#include "runtime/os.h"
#include "runtime/runtime-record.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The class id of the object whose context is the global context.
constexpr uint32_t kGlobalWordsClass = UINT32_MAX;

RoutineResult answer(bool flag) { return {flag ? 1 : 0, 0}; }
RoutineResult answer(int64_t n) { return {n, 0}; }
// A routine without a return type leaves its value in the frame's result cell.
RoutineResult answer_value(const Cell& value) {
  *value_stack.base = value;
  return {};
}

Cell text(std::string_view utf8) { return string_from_utf8_bytes({reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()}); }
Cell integer(int64_t n) {
  Cell cell;
  integer_make_at(cell, static_cast<int32_t>(n));
  return cell;
}

// make-system-words-value: an object! whose context is the global context.
RoutineResult system_words_value(std::span<const RoutineArgument>) {
  return answer_value(make_cell(Type::object, global_context_node, kGlobalWordsClass, 0));
}

RoutineResult collector_active(std::span<const RoutineArgument>) { return answer(collector_enabled()); }
RoutineResult collector_series_cycles(std::span<const RoutineArgument>) { return answer(int64_t{collector_cycles()}); }
RoutineResult collector_node_cycles(std::span<const RoutineArgument>) {
  return answer(int64_t{collector_node_compactions()});
}

// Whether any frame of the call stack, from the top down, was opened by the interpreter.
RoutineResult interpreted(std::span<const RoutineArgument>) {
  for (const CallFrame* frame = call_stack.top; frame-- != call_stack_begin();)
    if (frame->header & kFrameInterpMark) return answer(true);
  return answer(false);
}

RoutineResult float_pretty_print(std::span<const RoutineArgument> arguments) {
  set_float_pretty_print(arguments[0].integer != 0);
  return {};
}

RoutineResult callback_bits(std::span<const RoutineArgument> arguments) {
  trace_callback_bits = static_cast<uint32_t>(arguments[0].integer);
  return {};
}

// error-layer-values: the error layer's seed values, in start-up order.
RoutineResult error_layer_values(std::span<const RoutineArgument>) {
  GcRoot<Cell> block;
  block_make_at(*block, kSystemValueCount);
  for (uint32_t k = 0; k < kSystemValueCount; ++k) block_append_copy(*block, system_values_seed(k));
  return answer_value(*block);
}

// build-facts: [version date debug? git], git a block [branch tag ahead seconds commit
// message] or none.
RoutineResult build_facts(std::span<const RoutineArgument>) {
  GcRoot<Cell> block, git(make_cell(Type::none));
  block_make_at(*block, 4);
  GcRoot<Cell> version(text(build_version()));
  block_append_copy(*block, *version);
  block_append_copy(*block, integer(build_epoch()));
  block_append_copy(*block, make_cell(Type::logic, build_debug()));
  if (std::optional<BuildGit> facts = build_git()) {
    block_make_at(*git, 6);
    for (Cell part : {text(facts->branch), text(facts->tag), integer(facts->ahead), integer(facts->commit_seconds),
                      text(facts->commit), text(facts->message)}) {
      GcRoot<Cell> kept(part);
      block_append_copy(*git, *kept);
    }
  }
  block_append_copy(*block, *git);
  return answer_value(*block);
}

// start-directory: the process's current directory as a file! ending in "/". When it cannot be
// read (it was deleted under the process), the process moves to "/" and says so.
RoutineResult start_directory(std::span<const RoutineArgument>) {
  Cell directory = current_dir_file();
  if (cell_type(directory) == Type::none) {
    write_standard_error("qel: the current directory cannot be read; starting in /\n");
    os_set_current_dir("/");
    directory = file_from_os_name("/");
  }
  return answer_value(directory);
}

// The program's own path: where /proc/self/exe leads, else the first argument as given.
std::string executable_path() {
  std::string path(PATH_MAX, '\0');
  const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
  if (length > 0) return path.substr(0, static_cast<size_t>(length));
  return runtime.argument_count > 0 ? runtime.argument_vector[0] : "";
}

// The arguments after the program's path, without the host's options: "--cli" among the options
// that stand before the script's name (and before a "--") is the host's, never the script's.
std::vector<char*> script_arguments() {
  constexpr std::string_view kHostOptions[] = {"--cli"};
  std::vector<char*> kept;
  bool options = true;
  for (int k = 1; k < runtime.argument_count; ++k) {
    const std::string_view argument = runtime.argument_vector[k];
    options = options && argument.starts_with("--") && !(k > 1 && std::string_view(runtime.argument_vector[k - 1]) == "--");
    if (options && std::find(std::begin(kHostOptions), std::end(kHostOptions), argument) != std::end(kHostOptions))
      continue;
    kept.push_back(runtime.argument_vector[k]);
  }
  return kept;
}

// An argument as a string!: a byte that is no UTF-8 becomes the char a file! keeps such a byte
// in, so a script named by a name that is no UTF-8 still opens.
Cell argument_text(std::string_view text) {
  Cell string = file_from_os_name(text);
  set_value_type_byte(string, Type::string);
  return string;
}

// boot-arguments: [boot args command-line]: the program as a file!, a block of the other
// arguments exactly as given (the host's options left out), and those arguments as one line of
// text.
RoutineResult boot_arguments(std::span<const RoutineArgument>) {
  const std::vector<char*> given = script_arguments();
  GcRoot<Cell> block, arguments;
  block_make_at(*block, 3);
  block_make_at(*arguments, static_cast<int64_t>(given.size()));
  GcRoot<Cell> boot(file_from_os_name(executable_path()));
  for (char* text : given) {
    GcRoot<Cell> argument(argument_text(text));
    block_append_copy(*arguments, *argument);
  }
  GcRoot<Cell> line(argument_text(command_line_text(given)));
  block_append_copy(*block, *boot);
  block_append_copy(*block, *arguments);
  block_append_copy(*block, *line);
  return answer_value(*block);
}

constexpr NamedRoutine kSystemRoutines[] = {
    {"make-system-words-value", system_words_value},
    {"collector-active?", collector_active},
    {"collector-series-cycles", collector_series_cycles},
    {"collector-node-cycles", collector_node_cycles},
    {"interpreted?", interpreted},
    {"float-pretty-print", float_pretty_print},
    {"callback-bits", callback_bits},
    {"error-layer-values", error_layer_values},
    {"build-facts", build_facts},
    {"start-directory", start_directory},
    {"boot-arguments", boot_arguments},
};

// --- Services reading the object --------------------------------------------------------------

std::optional<std::string> script_title() {
  const Cell title = system_field({"script", "title"});
  if (cell_type(title) != Type::string) return std::nullopt;
  return string_to_utf8(title);
}

// Each setting as the object holds it; the built-in default while there is no system object.
Cell setting_or(std::initializer_list<const char*> path, Cell (*fallback)()) {
  const Cell* setting = system_field_cell(path);
  return setting ? *setting : fallback();
}
Cell locale_months() { return setting_or({"locale", "months"}, locale_default_months); }
Cell locale_currencies() { return setting_or({"locale", "currencies", "list"}, locale_default_currencies); }
Cell money_digits() { return setting_or({"options", "money-digits"}, options_default_money_digits); }

}  // namespace

void register_system_routines() {
  for (const NamedRoutine& routine : kSystemRoutines) register_routine_once(routine.name, routine.function);
}

void system_object_take_over() {
  if (cell_type(library_value(LibraryValue::system)) != Type::object) return;
  system_values_release();
  Services& table = services();
  table.script_title = script_title;
  table.locale_months = locale_months;
  table.locale_currencies = locale_currencies;
  table.money_digits = money_digits;
}

}  // namespace qel

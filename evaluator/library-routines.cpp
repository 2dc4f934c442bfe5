// library-routines.cpp: the routines under the library (process exit, quiet sets, shifts, the
// current directory, clean-path's core, tuples from integers, UTF-8 counting, value-stack peeks,
// clipboard and standard output) and the boot-only routine maker.
#include "evaluator/library-routines.h"

#include <time.h>

#include <array>
#include <span>
#include <string_view>

#include "console/settings-file.h"
#include "console/text-front-end.h"
#include "datatypes/scalars/handle.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/time.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/url.h"
#include "datatypes/series/utf8-decode.h"
#include "evaluator/interpreter.h"
#include "evaluator/library-values.h"
#include "evaluator/preprocessor-scan.h"
#include "evaluator/print-natives.h"
#include "evaluator/routine.h"
#include "evaluator/spec-table.h"
#include "evaluator/trace.h"
#include "evaluator/type-predicates.h"
#include "loader/codecs/image-codec-routines.h"
#include "loader/codecs/text-codec-routines.h"
#include "loader/file-entries.h"
#include "loader/path-resolve.h"
#include "loader/platform-info.h"
#include "loader/qelbin/qelbin-routines.h"
#include "runtime/call-trace.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/os-environment.h"
#include "runtime/ownership.h"
#include "runtime/quit.h"
#include "runtime/runtime-symbols.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

// The routine's own result, for those whose return type code is -1.
void set_result(const Cell& value) { *value_stack.base = value; }

[[noreturn]] void refuse_argument(const Cell& value, std::string_view argument) {
  raise_error(error_id("script", "expect-arg"), stack_caller_name(), datatype_cell(cell_type(value)),
              word_from_c_string(std::string(argument).c_str()));
}

// --- The process and words ------------------------------------------------------------------

RoutineResult quit_return_routine(Arguments arguments) { quit_return(arguments[0].integer); }

// The word's slot written without the owner's on-change*; a word of a function that is not
// running has no slot to write, so it is refused as `set` refuses it.
RoutineResult set_quiet(Arguments arguments) {
  const Cell& word = *arguments[0].cell;
  if (!is_any_word(cell_type(word))) refuse_argument(word, "word");
  Cell target = word;
  word_set_core(target, *arguments[1].cell, word.w1, false);
  set_result(*arguments[1].cell);
  return {};
}

// The cell at the series' position overwritten, telling no owner; nothing at the tail.
RoutineResult set_slot_quiet(Arguments arguments) {
  Cell& series = *arguments[0].cell;
  const Type type = cell_type(series);
  const bool slotted = type == Type::block || type == Type::paren || type == Type::path || type == Type::lit_path ||
                       type == Type::set_path || type == Type::get_path;
  if (!slotted) refuse_argument(series, "series");
  if (block_length(series) > 0) *block_cell_at(series, series.w1) = *arguments[1].cell;
  return {};
}

// --- Evaluation -------------------------------------------------------------------------------

// The code evaluated; then, however it ends (normally, on an error or on a break, return or
// throw passing through), the word is set quietly to the value. The library restores its own
// state so around code that may leave early. The cells are kept outside the frame: an exit
// unwinds the stacks before this level sees it.
RoutineResult evaluate_then_set(Arguments arguments) {
  GcRoot<Cell> code(*arguments[0].cell), word(*arguments[1].cell), value(*arguments[2].cell);
  if (!is_any_word(cell_type(*word))) refuse_argument(*word, "word");
  struct SetOnExit {
    GcRoot<Cell>& word;
    GcRoot<Cell>& value;
    ~SetOnExit() {
      Cell target = *word;
      word_set_core(target, *value, target.w1, false);
    }
  } set_on_exit{word, value};
  throw_if_exit(eval_block(*code, true));
  return {};
}

// What a script's run changes on its way in, as it was before: the current script, the length of
// the source files and, when the run moves to the script's folder, the active directory, as a
// copy of its text that system/options owns as it owns its path (so that a change made inside
// it later still moves the process). Each goes back however the code ends; so that nothing runs
// while a break, return or throw unwinds past, putting back stores cells and nothing else.
class ScriptState {
 public:
  explicit ScriptState(bool directory)
      : script_(system_field({"script"})), files_(system_field({"state", "source-files"})) {
    if (cell_type(*files_) == Type::block) count_ = block_total_cells(*files_);
    const Cell path = system_field({"options", "path"});
    if (!directory || cell_type(path) != Type::file) return;
    series_copy_into(path, nullptr, *directory_);
    series_set_owned(*directory_, system_field({"options"}), word_from_c_string("path"));
  }
  ~ScriptState() {
    if (!put_back_) put_back();
  }
  ScriptState(const ScriptState&) = delete;
  ScriptState& operator=(const ScriptState&) = delete;

  // Puts everything back; answers false when the OS refuses to go back to the directory, whose
  // path then still names the one the process stayed in.
  bool put_back() {
    put_back_ = true;
    if (Cell* script = system_field_cell({"script"})) *script = *script_;
    if (cell_type(*files_) == Type::block && block_total_cells(*files_) > count_) block_truncate(*files_, count_);
    if (cell_type(*directory_) != Type::file) return true;
    if (!change_current_dir(*directory_)) return false;
    if (Cell* path = system_field_cell({"options", "path"})) *path = *directory_;
    return true;
  }
  const Cell& directory() { return *directory_; }

 private:
  GcRoot<Cell> script_;
  GcRoot<Cell> files_;
  GcRoot<Cell> directory_{make_cell(Type::none)};
  int64_t count_ = 0;
  bool put_back_ = false;
};

// The code evaluated as a script runs it: what ScriptState keeps goes back on every way out.
// A directory the OS will not go back to is access cannot-open after a normal end; an exit
// passing through goes on.
RoutineResult evaluate_as_script(Arguments arguments) {
  GcRoot<Cell> code(*arguments[0].cell);
  ScriptState state(arguments[1].integer != 0);
  throw_if_exit(eval_block(*code, true));
  if (!state.put_back()) raise_error(error_id("access", "cannot-open"), state.directory());
  return {};
}

// --- Shifts -----------------------------------------------------------------------------------

template <bool left, bool logical>
RoutineResult shift_routine(Arguments arguments) {
  Cell result;
  integer_make_at(result, integer_shift(static_cast<int32_t>(arguments[0].integer),
                                        static_cast<int32_t>(arguments[1].integer), left, logical));
  set_result(result);
  return {};
}

// --- Output state, directories, the system ----------------------------------------------------

RoutineResult last_lf(Arguments) {
  set_result(make_cell(Type::logic, print_last_line_flag()));
  return {};
}

// The OS's text for the current directory (its bytes kept as a file name keeps them); none when
// the OS cannot tell.
RoutineResult get_current_dir(Arguments) {
  const std::optional<std::string> directory = os_get_current_dir();
  if (!directory) {
    set_result(make_cell(Type::none));
    return {};
  }
  Cell text = file_from_os_name(*directory);
  set_value_type_byte(text, Type::string);
  set_result(text);
  return {};
}

RoutineResult set_current_dir(Arguments arguments) {
  if (!change_current_dir(*arguments[0].cell)) raise_error(error_id("access", "cannot-open"), *arguments[0].cell);
  return {};
}

RoutineResult create_dir(Arguments arguments) {
  if (!os_make_dir(*arguments[0].cell)) raise_error(error_id("access", "no-create"), *arguments[0].cell);
  return {};
}

RoutineResult exists(Arguments arguments) { return {os_file_exists(*arguments[0].cell), 0}; }

// The core of clean-path: a path's text with its dot segments resolved.
RoutineResult resolve_path(Arguments arguments) {
  set_result(path_resolve(*arguments[0].cell, arguments[1].integer != 0));
  return {};
}

// The null handle of the constants (and of the GUI's back end).
RoutineResult make_null_handle(Arguments) {
  Cell handle;
  handle_make_at(handle, 0, HandleClass::none);
  set_result(handle);
  return {};
}

RoutineResult os_info(Arguments) {
  set_result(os_info_version());
  return {};
}

// --- Timing -----------------------------------------------------------------------------------

// A time! on the monotonic clock: only differences mean anything, and setting the wall clock
// never makes one wrong or negative.
RoutineResult monotonic_time(Arguments) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  time_make_at(*value_stack.base, static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9);
  return {};
}

// --- Tuples from integers ---------------------------------------------------------------------

// A negative component is refused first, then one a tuple byte cannot hold when `wrap` is off
// (each is taken modulo 256 when it is on); the first offender is named.
void tuple_from_components(Arguments arguments, bool wrap) {
  for (const RoutineArgument& component : arguments)
    if (component.integer < 0) raise_error(error_id("script", "invalid-arg"), *component.cell);
  std::array<uint8_t, 4> bytes{};
  for (size_t i = 0; i < arguments.size(); ++i) {
    if (!wrap && arguments[i].integer > 255) raise_error(error_id("script", "invalid-arg"), *arguments[i].cell);
    bytes[i] = static_cast<uint8_t>(arguments[i].integer & 0xFF);
  }
  Cell tuple;
  tuple_make_at(tuple, std::span(bytes.data(), arguments.size()));
  set_result(tuple);
}

RoutineResult as_color(Arguments arguments) {
  tuple_from_components(arguments, true);
  return {};
}

RoutineResult as_ipv4(Arguments arguments) {
  tuple_from_components(arguments, false);
  return {};
}

// The characters from `start` up to `pos`, in `start`'s buffer: a position in another buffer is
// refused (it says nothing about this one), and one past the tail counts to the tail.
RoutineResult count_chars(Arguments arguments) {
  const Cell& start = *arguments[0].cell;
  const Cell& pos = *arguments[1].cell;
  if (pos.w2 != start.w2) raise_error(error_id("script", "invalid-arg"), pos);
  const uint8_t* from = binary_head_address(start);
  const uint8_t* tail = binary_tail_address(start);
  const uint8_t* to = binary_head_address(pos);
  if (to > tail) to = tail;
  return {to > from ? static_cast<int64_t>(utf8_count_chars(from, to)) : 0, 0};
}

// --- The value stack and the calls --------------------------------------------------------------

int64_t stack_size() { return value_stack.top - stack_begin(); }

RoutineResult stack_size_routine(Arguments) { return {stack_size(), 0}; }

RoutineResult pick_stack(Arguments arguments) {
  const int64_t index = arguments[0].integer;
  set_result(index > 0 && index < stack_size() ? stack_begin()[index - 1] : make_cell(Type::none));
  return {};
}

RoutineResult frame_index(Arguments) { return {value_stack.base - stack_begin(), 0}; }

RoutineResult collect_calls(Arguments arguments) {
  stack_trace_block(*arguments[0].cell);
  return {};
}

RoutineResult tracing(Arguments) {
  set_result(make_cell(Type::logic, trace_enabled != 0));
  return {};
}

// Suspends or resumes the events of the traced evaluation in progress: resuming follows the
// saved flag, so outside a traced evaluation tracing stays off.
RoutineResult switch_tracing(Arguments arguments) {
  trace_enabled = arguments[0].integer != 0 ? trace_saved : 0;
  return {};
}

// Suspends or resumes the collector's torture mode; answers whether it was resumed.
RoutineResult switch_torture(Arguments arguments) {
  set_result(make_cell(Type::logic, collector_switch_torture(arguments[0].integer != 0)));
  return {};
}

// --- Clipboard and standard output --------------------------------------------------------------

RoutineResult read_clipboard(Arguments) {
  set_result(services().clipboard_read());
  return {};
}

RoutineResult write_clipboard(Arguments arguments) { return {services().clipboard_write(*arguments[0].cell), 0}; }

// Through the file layer's write with no destination, which lets the console's pending output out
// first.
RoutineResult write_stdout(Arguments arguments) {
  services().file_write_dispatch(make_cell(Type::none), *arguments[0].cell, WriteRefinements{});
  return {};
}

// --- The maker ----------------------------------------------------------------------------------

// Whether every parameter of the spec takes any-type! first: nothing to check or unbox, so the
// routine can take its arguments' cells as they stand (the type predicates' fast call).
bool takes_any_values(const Cell& spec) {
  for (int64_t i = spec.w1; i < block_total_cells(spec); ++i) {
    const Type type = cell_type(*block_cell_at(spec, i));
    if (type == Type::refinement) return false;
    if (type != Type::word && type != Type::get_word && type != Type::lit_word) continue;
    if (i + 1 >= block_total_cells(spec)) return false;
    const Cell types = *block_cell_at(spec, i + 1);
    if (cell_type(types) != Type::block || block_length(types) < 1) return false;
    const Cell first = *block_cell_at(types, types.w1);
    if (cell_type(first) != Type::word || !word_is_any_type(first)) return false;
  }
  return true;
}

RoutineResult make_routine(Arguments arguments) {
  const Cell& spec = *arguments[0].cell;
  const Cell& entry = *arguments[1].cell;
  const std::optional<uint32_t> index = find_routine(string_to_utf8(entry));
  if (!index) raise_error(error_id("script", "invalid-arg"), entry);
  set_result(
      routine_value_build(spec, make_cell(Type::none), *index, routine_return_code(spec), takes_any_values(spec)));
  return {};
}

constexpr NamedRoutine kLibraryRoutines[] = {
    {"quit-return", quit_return_routine},
    {"set-quiet", set_quiet},
    {"set-slot-quiet", set_slot_quiet},
    {"evaluate-then-set", evaluate_then_set},
    {"evaluate-as-script", evaluate_as_script},
    {"shift-right", shift_routine<false, false>},
    {"shift-left", shift_routine<true, false>},
    {"shift-logical", shift_routine<false, true>},
    {"last-lf?", last_lf},
    {"get-current-dir", get_current_dir},
    {"set-current-dir", set_current_dir},
    {"create-dir", create_dir},
    {"exists?", exists},
    {"resolve-path", resolve_path},
    {"os-info", os_info},
    {"as-color", as_color},
    {"as-ipv4", as_ipv4},
    {"as-rgba", as_ipv4},
    {"count-chars", count_chars},
    {"stack-size?", stack_size_routine},
    {"pick-stack", pick_stack},
    {"frame-index?", frame_index},
    {"collect-calls", collect_calls},
    {"tracing?", tracing},
    {"switch-tracing", switch_tracing},
    {"switch-torture", switch_torture},
    {"read-clipboard", read_clipboard},
    {"write-clipboard", write_clipboard},
    {"write-stdout", write_stdout},
    {"make-null-handle", make_null_handle},
    {"monotonic-time", monotonic_time},
    {"make-routine", make_routine},
};

constexpr std::string_view kMakerSpec =
    R"~("Makes a routine from its spec and the name of its entry" spec [block!] entry [string!])~";

Cell maker_word() { return make_cell(Type::word, 0, symbol_intern_bytes("make-routine"), kUnresolved); }

}  // namespace

void register_library_routines() {
  for (const NamedRoutine& routine : kLibraryRoutines) register_routine_once(routine.name, routine.function);
  register_type_predicates();
  register_qelbin_routines();
  register_preprocessor_routines();
  register_image_codec_routines();
  register_text_codec_routines();
  register_console_routines();
  register_settings_routines();
}

int32_t routine_return_code(const Cell& spec) {
  for (int64_t i = spec.w1; i + 1 < block_total_cells(spec); ++i) {
    const Cell& cell = *block_cell_at(spec, i);
    if (cell_type(cell) != Type::set_word || symbol_canonical(cell.w2) != symbol_canonical(sym_return)) continue;
    const Cell types = *block_cell_at(spec, i + 1);
    if (cell_type(types) != Type::block || block_length(types) < 1) return kReturnNothing;
    const uint32_t first = symbol_canonical(block_cell_at(types, types.w1)->w2);
    if (first == symbol_canonical(sym_logic_type)) return kReturnLogic;
    if (first == symbol_canonical(sym_integer_type)) return kReturnInteger;
    return kReturnNothing;
  }
  return kReturnNothing;
}

void open_routine_maker(NodeId library) {
  register_library_routines();
  GcRoot<Cell> spec(spec_block_from_text(kMakerSpec));
  GcRoot<Cell> maker(
      routine_value_build(*spec, make_cell(Type::none), *find_routine("make-routine"), kReturnNothing, false));
  context_set_value(library, maker_word(), *maker);
}

void close_routine_maker(NodeId library) { context_set_value(library, maker_word(), make_cell(Type::unset)); }

}  // namespace qel

// do-native.cpp: do, by the type of its value.
#include "evaluator/do-native.h"

#include <array>

#include "datatypes/series/block-core.h"
#include "evaluator/eval-path.h"
#include "evaluator/interpreter.h"
#include "evaluator/library-values.h"
#include "evaluator/trace.h"
#include "loader/lexer/lexer.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/type-table.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// What the refinements of one do call hand its rule: /next's word, /args's value and /trace's
// callback, each null when the refinement is absent.
struct DoExtras {
  const Cell* position;
  const Cell* args;
  const Cell* callback;
};

// What do does with a value of one type. The answer goes into the native's result cell.
using DoRule = Status (*)(const Cell& value, const DoExtras& extras);

// block!, paren!, hash!: every expression from the index; with /next only the one there, the
// word then holding the block at the index after it.
Status do_block(const Cell& value, const DoExtras& extras) {
  const Cell block = value;
  const Cell* position = extras.position;
  if (!position) return eval_block(block, true);
  uint32_t next = 0;
  QEL_TRY(eval_next(block, next));  // the value stays pushed while the word is set
  Cell rest = block;
  rest.w1 = next;
  Cell word = *position;
  word_set(word, rest);
  stack_set_result_only(*stack_last_value());
  return {};
}

// string!: the text loaded by the lexer, then done as a block (/next applies to that block).
Status do_string(const Cell& value, const DoExtras& extras) {
  Cell* loaded = stack_push_value(make_cell(Type::none));  // rooted while it runs
  (void)lexer_load_string(*loaded, value, -1, {});
  return do_block(*loaded, extras);
}

// The path family: the path evaluated; a function it reaches is called with no arguments to take.
// A set-path has no value to set: need-value, as for one at the end of code.
Status do_path(const Cell& value, const DoExtras&) {
  if (cell_type(value) == Type::set_path) raise_error(error_id("script", "need-value"), value);
  Cell path = value;
  const PathMode mode = cell_type(path) == Type::get_path ? PathMode::get : PathMode::plain;
  if (cell_type(path) == Type::lit_path) set_value_type_byte(path, Type::path);
  return eval_path(path, nullptr, mode, false, false, nullptr);
}

// error!: raised again.
Status do_error(const Cell& value, const DoExtras&) { throw_error_value(value); }

// file! and url!: the library's do-file runs the script, /args's value its arguments and
// /trace's callback its tracer, which it installs for the script's code alone (not for its
// header). Before the library has it (a boot still running) there is nothing that could run a
// script.
Status do_script(const Cell& value, const DoExtras& extras) {
  const Cell do_file = library_value(LibraryValue::do_file);
  if (cell_type(do_file) != Type::function) raise_error(error_id("internal", "not-done"));
  const Cell none = make_cell(Type::none);
  const Cell callback = extras.callback ? *extras.callback : none;
  const Cell args = extras.args ? *extras.args : none;
  stack_set_result_only(call_function_with(do_file, std::array{value, callback, args}));
  return {};
}

// Any other value: evaluated as one expression of its own, so a word gives its value (a
// function's is called, with no arguments to take) and other values themselves.
Status do_expression(const Cell& value, const DoExtras&) {
  Cell* holder = block_push_new(1);  // rooted while it runs
  block_append_copy(*holder, value);
  Code code = code_of(*holder);
  return eval_expression(code, false, false, false);
}

// The rules by type; every type not listed is one expression.
constexpr TypeRow<DoRule> kDoRows[] = {
    {Type::block, do_block},     {Type::paren, do_block},    {Type::hash, do_block},
    {Type::path, do_path},       {Type::lit_path, do_path},  {Type::get_path, do_path},
    {Type::set_path, do_path},   {Type::string, do_string},  {Type::error, do_error},
    {Type::file, do_script},     {Type::url, do_script},
};

constexpr std::array<DoRule, 256> kDoRules = type_table<256>(do_expression, kDoRows);

// The refinements of do, in spec order.
enum DoRefinement { kExpand, kArgs, kNext, kTrace };

// A traced do's hold on the tracing state: installs the tracer and on every exit puts the whole
// earlier state back, so a traced do inside a tracer leaves the outer trace running. No frame is
// claimed as a body: break, continue, return and exit inside the traced code reach the loop or
// function they reach without tracing, and a frame claimed between (the caller's block, an `if`)
// would stop them short of it.
class TracedDo {
 public:
  explicit TracedDo(const Cell& tracer) : saved_(trace_state()), rooted_(saved_.tracer) { trace_install(tracer); }
  ~TracedDo() {
    saved_.tracer = rooted_.get();
    trace_state_restore(saved_);
  }
  TracedDo(const TracedDo&) = delete;
  TracedDo& operator=(const TracedDo&) = delete;

 private:
  TraceState saved_;
  GcRoot<Cell> rooted_;  // the earlier tracer, kept while this one runs
};

Status do_traced(DoRule rule, const Cell& value, const DoExtras& extras) {
  TracedDo traced(*extras.callback);
  trace_fire_init();
  QEL_TRY(rule(value, extras));
  trace_fire_end();
  return {};
}

// do/expand: the preprocessor changes the block in place first, with the build settings as its
// job, so `#if config/OS = 'Linux` reads them as expand-directives lets it.
void expand_in_place(const Cell& block) {
  const Type type = cell_type(block);
  if (type != Type::block && type != Type::paren && type != Type::hash) return;
  const Cell expand = library_field(LibraryValue::preprocessor, "expand");
  if (cell_type(expand) != Type::function) return;
  // expand takes blocks and parens: a hash! is refused by its spec, as a script's call would be
  call_function_with(expand, std::array{block, system_field({"build", "config"})});
}

}  // namespace

Status native_do(const int32_t* refinements) {
  if (refinements[kExpand] >= 0) expand_in_place(value_stack.base[0]);
  const Cell value = value_stack.base[0];
  const DoExtras extras{refinements[kNext] >= 0 ? value_stack.base + refinements[kNext] : nullptr,
                        refinements[kArgs] >= 0 ? value_stack.base + refinements[kArgs] : nullptr,
                        refinements[kTrace] >= 0 ? value_stack.base + refinements[kTrace] : nullptr};
  const DoRule rule = kDoRules[value.header & kTypeByteMask];
  // a script traces itself: do-file has the callback
  if (extras.callback && rule != do_script) return do_traced(rule, value, extras);
  return rule(value, extras);
}

}  // namespace qel

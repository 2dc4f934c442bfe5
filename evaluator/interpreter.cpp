// interpreter.cpp: blocks, expressions and their first-cell rules, infix operators, and the
// current expression.
#include "evaluator/interpreter.h"

#include <array>
#include <cstring>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/tuple.h"
#include "evaluator/argument-fetch.h"
#include "evaluator/eval-path.h"
#include "evaluator/eval-plan.h"
#include "evaluator/eval-support.h"
#include "evaluator/in-place-calls.h"
#include "evaluator/library-code.h"
#include "evaluator/scoped-restore.h"
#include "evaluator/trace.h"
#include "runtime/call-stack.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/shortcuts.h"
#include "runtime/symbols.h"
#include "runtime/type-table.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

Cell current_expression_cell = make_cell(Type::none);

void mark_current_expression() { collector_mark_cells(&current_expression_cell, &current_expression_cell + 1); }

// Traces a produced value (the caller has tested trace_enabled).
void trace_push(const Code& code, uint32_t at, bool push) {
  if (code.library) return;
  trace_fire(kTracePushEvent, code.value, at, make_cell(Type::none), *produced_cell(push));
}

// --- The first-cell rules -------------------------------------------------------------------------

using FirstCellRule = Status (*)(Code& code, bool push, bool passive);

// Any value that evaluates to itself: blocks, strings, numbers, none!, logic! ...
Status eval_itself(Code& code, bool push, bool) {
  const uint32_t at = code.index++;
  produce(series_buffer(code.value.w2)->head_cell()[at], push);
  if (trace_enabled) [[unlikely]] trace_push(code, at, push);
  return {};
}

// paren!: its block, without a frame of its own, above a pushed copy of the paren that holds it
// (the code's cell may change meanwhile): its value takes the copy's place, or becomes the current
// frame's only cell.
Status eval_paren(Code& code, bool push, bool) {
  Cell* held = stack_push_value(code.cell());
  ++code.index;
  return eval_block_into(*held, push ? held : value_stack.base);
}

// The value of the word that heads a path of two cells, when the fast routes reach it; null
// otherwise. `elements` gets the path's two cells.
const Cell* two_cell_path_head(const Cell& path, const Cell*& elements) {
  SeriesBuffer* buffer = series_buffer(path.w2);
  if ((buffer->tail - buffer->head) / sizeof(Cell) != uint64_t{path.w1} + 2) return nullptr;
  elements = buffer->head_cell() + path.w1;
  if (cell_type(elements[0]) != Type::word) return nullptr;
  return word_fast_slot(elements[0], false);
}

// The field cell of the object a path's head holds that the path's second cell names (`elements`
// are the path's two cells), when the object has the field; null otherwise. `context` and `slot`
// get where the field is.
Cell* object_field(const Cell* object, const Cell* elements, NodeId& context, uint32_t& slot) {
  if (!object || cell_type(*object) != Type::object || cell_type(elements[1]) != Type::word) return nullptr;
  const int32_t found = context_find_word(object->w1, elements[1].w2, true);
  if (found < 0) return nullptr;
  context = object->w1;
  slot = static_cast<uint32_t>(found);
  return block_context_slot(context, slot, false);
}

// What a path of two cells reads when the fast routes reach its head and its one step can
// neither fail nor run code: a tuple's component by an index within it (made in `component`),
// or an object's field holding a value the path gives as it is (a plain path calls a function
// it reaches). Null for every other case.
[[gnu::noinline]] const Cell* fast_path_read(const Cell& path, PathMode mode, Cell& component) {
  const Cell* elements;
  const Cell* head = two_cell_path_head(path, elements);
  if (head && cell_type(*head) == Type::tuple && cell_type(elements[1]) == Type::integer) {
    const int32_t index = integer_value(elements[1]);
    if (index < 1 || index > tuple_length(*head)) return nullptr;
    component = make_cell(Type::integer, 0, tuple_bytes(*head)[index - 1]);
    return &component;
  }
  NodeId context;
  uint32_t slot;
  const Cell* field = object_field(head, elements, context, slot);
  if (!field || (mode == PathMode::plain && callable_type(cell_type(*field)))) return nullptr;
  return field;
}

// The field a set-path of an object's two words sets, when the object has no change hook to
// tell: setting the field, as the path's object step would, is then all the path does. Null for
// every other case. `context` and `slot` get where the field is: whoever stores into it marks
// its word set (mark_field_set).
Cell* object_field_write(const Cell& path, NodeId& context, uint32_t& slot) {
  const Cell* elements;
  const Cell* object = two_cell_path_head(path, elements);
  Cell* field = object_field(object, elements, context, slot);
  if (!field || context_kind(context) != kObjectContext) return nullptr;
  const Cell& owner = context_owner(context);
  if (cell_type(owner) == Type::object && owner.w3 != 0) return nullptr;
  return field;
}

// Marks an object's field set, as every set of an object's field marks it.
void mark_field_set(NodeId context, uint32_t slot) { context_word_at(context, slot)->header |= kWordSetInObject; }

// The right operand of an infix operator when it is an integer standing in the code: an
// integer! cell, or a word or a path the fast routes read whose value is one (read quietly: any
// other case takes the call, which raises as it would; a tuple's component is made in
// `component`), or with `Parens` a paren done in place (paren_in_place) whose value is one.
// Null otherwise.
template <bool Parens = true>
[[gnu::always_inline]] inline const Cell* integer_operand(Cell& cell, Cell& component) {
  if (cell_type(cell) == Type::integer) return &cell;
  const Cell* value = cell_type(cell) == Type::word             ? word_value_quiet(cell)
                      : cell_type(cell) == Type::path           ? fast_path_read(cell, PathMode::plain, component)
                      : Parens && cell_type(cell) == Type::paren ? paren_in_place(cell, component)
                                                                 : nullptr;
  return value && cell_type(*value) == Type::integer ? value : nullptr;
}

// A cell that gives a value without running anything: one that evaluates to itself, or a word
// or a path whose value the fast routes reach and is plain (a tuple's component is made in
// `component`), or with `Parens` a paren done in place (its value made in `component`) whose
// value is plain. Null otherwise.
template <bool Parens = true>
[[gnu::always_inline]] inline const Cell* plain_operand(Cell& cell, Cell& component) {
  if (evaluates_to_itself[cell.header & kTypeByteMask]) return &cell;
  const Cell* value = nullptr;
  if (cell_type(cell) == Type::word) {
    value = word_fast_slot(cell, false);
  } else if (cell_type(cell) == Type::path) {
    value = fast_path_read(cell, PathMode::plain, component);
  } else if (Parens && cell_type(cell) == Type::paren) {
    value = paren_in_place(cell, component);
  }
  return value && kPlainWordValues[value->header & kTypeByteMask] ? value : nullptr;
}

// The value of the expression at `at` of the cells (up to `end`) when it is simple: a plain
// operand, then any run of infix operators that integer arithmetic does in place. Such an
// expression can raise nothing, run no code and reach no safe point, so it needs no frame.
// Answers the index after it, or 0 when it is not simple (nothing has changed: the caller
// evaluates it as usual).
template <bool Parens = true>
[[gnu::always_inline]] inline uint32_t simple_expression_in(Cell* cells, uint32_t at, uint32_t end, Cell& value) {
  Cell component;
  const Cell* first = plain_operand<Parens>(cells[at], component);
  if (!first) return 0;
  value = *first;
  for (++at; at < end && cell_type(cells[at]) == Type::word; at += 2) {
    const Cell* op = word_value_quiet(cells[at]);
    if (!op || cell_type(*op) != Type::op) return at;
    if (at + 1 >= end) return 0;
    const Cell function = op_function(*op);
    const Cell* right = integer_operand<Parens>(cells[at + 1], component);
    if (!right || !integer_infix_in_place(function, *right, value)) return 0;
  }
  return at;
}

// simple_expression_in at a position of the code.
[[gnu::always_inline]] inline uint32_t simple_expression(const Code& code, uint32_t at, Cell& value) {
  return simple_expression_in(series_buffer(code.value.w2)->head_cell(), at, code.live_end(), value);
}

}  // namespace

[[gnu::noinline]] const Cell* paren_in_place(const Cell& paren, Cell& value) {
  SeriesBuffer* buffer = series_buffer(paren.w2);
  Cell* cells = buffer->head_cell();
  const uint32_t end = static_cast<uint32_t>((buffer->tail - buffer->head) / sizeof(Cell));
  uint32_t at = paren.w1;
  if (at >= end) return nullptr;
  const Cell* function = cell_type(cells[at]) == Type::word ? word_fast_slot(cells[at], false) : nullptr;
  if (!function || !callable_type(cell_type(*function)))
    return simple_expression_in<false>(cells, at, end, value) == end ? &value : nullptr;
  if (cell_type(*function) != Type::action) return nullptr;
  const Cell callee = *function;
  const ArgDescription& description = arg_description(callee);
  if (!description.plain || description.fixed_count != kInPlaceArguments) return nullptr;
  Cell arguments[kInPlaceArguments];
  ++at;
  for (uint32_t k = 0; k < description.fixed_count; ++k)
    if (at >= end || !(at = simple_expression_in<false>(cells, at, end, arguments[k]))) return nullptr;
  if (at != end || !call_in_place(callee, arguments, description.fixed_count, value)) return nullptr;
  return &value;
}

namespace {

// Whether the statement a step covers from `at` still fits it: it ends before the block does and
// begins with a set-word when the step does. A set-word of another type drops the step.
[[gnu::always_inline]] inline bool planned_statement_fits(const Cell* cells, Plan& plan, const PlanStep& step,
                                                          uint32_t at, uint32_t end) {
  if (at + step.cells > end) return false;
  if (step.set && cell_type(cells[at]) != Type::set_word) {
    plan.at[at] = 0;
    return false;
  }
  return true;
}

// The value of a planned simple expression at `at`: its first operand, then `ops` operators of
// the step from its operator `op` on, as simple_expression would give it (each operator a word,
// each right operand an integer, a word or a paren done in place). False when the step does not
// apply this time (nothing has changed).
[[gnu::always_inline]] inline bool planned_simple(Cell* cells, const PlanStep& step, uint32_t at, uint32_t op,
                                                  uint32_t ops, Cell& value) {
  Cell component;
  const Cell* operand = plain_operand(cells[at], component);
  if (!operand) return false;
  value = *operand;
  for (const uint32_t last = op + ops; op < last; ++op, at += 2) {
    if (cell_type(cells[at + 1]) != Type::word) return false;
    const Cell* word_value = word_fast_slot(cells[at + 1], false);
    if (!word_value || std::memcmp(word_value, &step.ops[op], sizeof(Cell)) != 0) return false;
    Cell& right_cell = cells[at + 2];
    const Cell* right = cell_type(right_cell) == Type::integer ? &right_cell
                        : cell_type(right_cell) == Type::word  ? word_fast_slot(right_cell, false)
                                                               : nullptr;
    if (cell_type(right_cell) == Type::paren) [[unlikely]] right = paren_in_place(right_cell, component);
    if (!right || !integer_in_place_by_code(step.codes[op], *right, value)) return false;
  }
  return true;
}

// Whether an infix operator's word stands at `next`: as in simple_expression, the expression a
// step planned would then go on, and the long way takes it.
[[gnu::always_inline]] inline bool operator_follows(Cell* cells, uint32_t next, uint32_t end) {
  if (next >= end || cell_type(cells[next]) != Type::word) return false;
  const Cell* after = word_value_quiet(cells[next]);
  return after && cell_type(*after) == Type::op;
}

// A simple statement of a block run by its plan's step: its value becomes the frame's only cell
// and true is answered; false when the step does not apply this time (nothing has changed).
[[gnu::noinline]] bool run_planned_simple(Code& code, Plan& plan, const PlanStep& step) {
  Cell* cells = series_buffer(code.value.w2)->head_cell();
  const uint32_t end = code.live_end();
  const uint32_t next = code.index + step.cells;
  Cell value;
  if (!planned_statement_fits(cells, plan, step, code.index, end) ||
      !planned_simple(cells, step, code.index + step.set, 0, step.op_count, value) || operator_follows(cells, next, end))
    return false;
  if (step.set) {
    Cell* target = word_fast_slot(code.cell(), true);
    if (!target) return false;
    *target = value;
  }
  code.index = next;
  stack_set_result_only(value);
  return true;
}

Status apply_infix(Code& code, Cell* expression_top, bool push);

// After an expression's first value: the infix operators that follow it, if any.
[[gnu::always_inline]] inline Status eval_infix_tail(Code& code, Cell* expression_top, bool push) {
  // Most expressions end at the block's end or before a cell that is not a word: no infix
  // operator can follow, and the out-of-line loop is not entered.
  if (code.at_end() || cell_type(code.cell()) != Type::word) return {};
  return apply_infix(code, expression_top, push);
}

// set-word!'s long way: the value of the expression `value_expression` evaluates (pushed)
// assigned under a frame named by the set-word; the code is past the set-word, at `at`.
template <class Value>
[[gnu::always_inline]] inline Status eval_set_word_by(Code& code, const Cell& word, uint32_t at, bool push,
                                                      Value&& value_expression) {
  stack_open_frame(word, frame_bits(code, kFrameInterpNative));
  stack_push_value(word);
  QEL_TRY(value_expression());
  Cell value = value_stack.base[1];
  if (trace_enabled && !code.library) [[unlikely]] trace_fire(kTraceSetEvent, code.value, at, word, value);
  set_word_assign(word, value);
  stack_set_result_only(value);
  close_frame_for(push);
  return {};
}

// The call a step planned, named by the word `name`, with its arguments' values, as an
// expression: the infix operators after it follow. The code is past the arguments.
[[gnu::always_inline]] inline Status eval_planned_call(Code& code, const Cell& function, const Cell& name,
                                                       const CallValues& values, bool push) {
  Cell* expression_top = value_stack.top;
  QEL_TRY(eval_call_with_values(function, code, push, name, values));
  return eval_infix_tail(code, expression_top, push);
}

// A planned call's value assigned to the set-word before it at `at`, as the set-word's long way
// assigns it. Out of line: the call without a set-word runs with a smaller machine-stack frame.
[[gnu::noinline]] Status eval_planned_set(Code& code, uint32_t at, const Cell& function, const Cell& name,
                                          const CallValues& values) {
  const Cell word = series_buffer(code.value.w2)->head_cell()[at];
  return eval_set_word_by(code, word, at, false, [&] { return eval_planned_call(code, function, name, values, true); });
}

// The function value a planned call's callee holds when its description is still the one
// planned, its cell (`callee`, a word or a path) as planned; `name` gets the word that names the
// call's frame. Null otherwise.
[[gnu::always_inline]] inline const Cell* planned_callee(const Cell& callee, const PlanStep& step, Cell& name) {
  const Cell* words = &callee;
  if (step.path_cells) {
    SeriesBuffer* buffer = series_buffer(callee.w2);
    words = buffer->head_cell() + callee.w1;
    if ((buffer->tail - buffer->head) / sizeof(Cell) != uint64_t{callee.w1} + step.path_cells ||
        cell_type(words[0]) != Type::word)
      return nullptr;
    for (uint32_t r = 1; r < step.path_cells; ++r)
      if (cell_type(words[r]) != Type::word || words[r].w2 != step.refinements[r - 1]) return nullptr;
  }
  const Cell* function = word_fast_slot(words[0], false);
  if (!function || !callable_type(cell_type(*function)) || cell_type(*function) == Type::routine) return nullptr;
  const ArgDescription& description = arg_description(*function);
  if (step.fill_count ? description.serial != step.callee
                      : !description.plain || description.fixed_count != step.args)
    return nullptr;
  name = words[0];
  return function;
}

// A planned call of an action done in place (call_in_place) with its arguments' values: its
// value assigned to the set-word before it, if any, and made the frame's only cell, without the
// call's frame or the set-word's; the code goes on at `next`. False when the call is not one done
// in place (nothing has changed).
[[gnu::always_inline]] inline bool planned_call_in_place(Code& code, const PlanStep& step, const Cell& function,
                                                         const Cell* arguments, uint32_t next) {
  Cell value;
  if (cell_type(function) != Type::action || step.fill_count || !call_in_place(function, arguments, step.args, value))
    return false;
  if (step.set) {
    Cell* target = word_fast_slot(code.cell(), true);
    if (!target || cell_type(value) == Type::unset) return false;
    *target = value;
  }
  code.index = next;
  stack_set_result_only(value);
  return true;
}

// A call statement of a block run by its plan's step: true when it ran (`status` gets its
// Status; its value is the frame's only cell), false when the step does not apply this time
// (nothing has changed). Neither the step nor the plan is read once the callee runs: it may
// empty the plan table.
[[gnu::noinline]] bool run_planned_call(Code& code, Plan& plan, const PlanStep& step, Status& status) {
  Cell* cells = series_buffer(code.value.w2)->head_cell();
  const uint32_t end = code.live_end();
  const uint32_t next = code.index + step.cells;
  if (!planned_statement_fits(cells, plan, step, code.index, end)) return false;
  const uint32_t at = code.index + step.set;
  if ((cells[at].header & kTypeByteMask) != step.callee_type) {
    plan.at[code.index] = 0;
    return false;
  }
  Cell name;
  const Cell* callee = planned_callee(cells[at], step, name);
  if (!callee || stack_end() - value_stack.top <= static_cast<ptrdiff_t>(kPlanScratch + kPlanArgs)) return false;
  const Cell function = *callee;
  Cell* arguments = value_stack.top + kPlanScratch;
  for (uint32_t k = 0; k < step.args; ++k)
    if (!planned_simple(cells, step, at + step.arg_at[k], step.arg_op[k], step.arg_ops[k], arguments[k])) return false;
  if (operator_follows(cells, next, end)) return false;
  if (planned_call_in_place(code, step, function, arguments, next)) return true;
  const CallValues values{arguments, step.fill_count ? step.fills : nullptr, step.arg_entries, step.fill_count, step.args};
  const uint32_t start = code.index;
  code.index = next;
  status = step.set ? eval_planned_set(code, start, function, name, values)
                    : eval_planned_call(code, function, name, values, false);
  return true;
}

// A statement of a block run by its plan's step, a call's or a simple one's.
inline bool run_planned_step(Code& code, Plan& plan, const PlanStep& step, Status& status) {
  return step.call ? run_planned_call(code, plan, step, status) : run_planned_simple(code, plan, step);
}

}  // namespace

bool push_simple_argument(Code& code, bool prefix) {
  Cell value;
  uint32_t after = 0;
  if (prefix) {
    Cell component;
    const Cell* operand = plain_operand(code.cell(), component);
    if (!operand) return false;
    value = *operand;
    after = code.index + 1;
  } else if (!(after = simple_expression(code, code.index, value))) {
    return false;
  }
  stack_push_value(value);
  code.index = after;
  return true;
}

namespace {

// set-word!: the next expression's value assigned under a frame named by the set-word. The
// set-word in the code caches its slot as a word read does, so the next assignment takes the
// fast route.
Status eval_set_word(Code& code, bool push, bool) {
  if (code.cell().w3 == kUnresolved) [[unlikely]] resolve_word(code.cell());
  const Cell word = code.cell();
  const uint32_t at = code.index++;
  // A simple value set into a word that notifies nobody needs no frame: nothing can fail or
  // look at the stacks before the value is in place.
  if (!trace_enabled && shortcuts_enabled && !code.at_end()) {
    Cell value;
    if (const uint32_t after = simple_expression(code, code.index, value)) {
      if (Cell* target = word_fast_slot(word, true)) {
        *target = value;
        code.index = after;
        produce(value, push);
        return {};
      }
    }
  }
  return eval_set_word_by(code, word, at, push, [&] {
    if (code.at_end()) raise_error(error_id("script", "need-value"), word);
    return eval_expression(code, false, true, false);
  });
}

// set-path!: the next expression's value set through the path under a frame named set-path.
Status eval_set_path(Code& code, bool push, bool) {
  const Cell path = code.cell();
  const uint32_t at = code.index++;
  if (code.at_end()) raise_error(error_id("script", "need-value"), path);
  // A simple value set into an object's field that tells no hook needs no frame: nothing can
  // fail or look at the stacks before the value is in place. The path is the cheaper test: a
  // set-path into a block or a map fails it before the value is looked at.
  if (!trace_enabled && shortcuts_enabled) {
    NodeId context;
    uint32_t slot;
    if (Cell* field = object_field_write(path, context, slot)) {
      Cell value;
      if (const uint32_t after = simple_expression(code, code.index, value)) {
        mark_field_set(context, slot);
        *field = value;
        code.index = after;
        produce(value, push);
        return {};
      }
    }
  }
  stack_open_frame(set_path_word(), frame_bits(code, kFrameInterpNative));
  QEL_TRY(eval_expression(code, false, true, false));
  stack_set_result_only(value_stack.base[0]);
  if (trace_enabled && !code.library) [[unlikely]]
    trace_fire(kTraceSetEvent, code.value, at, path, value_stack.base[0]);
  QEL_TRY(eval_path(path, &code, PathMode::set, false, false, nullptr));
  close_frame_for(push);
  return {};
}

// get-word!: the word's value, unset included.
Status eval_get_word(Code& code, bool push, bool) {
  const uint32_t at = code.index;
  const Cell value = *word_value_read(code.cell());
  ++code.index;
  produce(value, push);
  if (trace_enabled) [[unlikely]] trace_push(code, at, push);
  return {};
}

// lit-word! and lit-path!: the cell as a word! or path!.
template <Type As>
Status eval_literal(Code& code, bool push, bool) {
  const uint32_t at = code.index;
  Cell value = code.cell();
  ++code.index;
  set_value_type_byte(value, As);
  produce(value, push);
  if (trace_enabled) [[unlikely]] trace_push(code, at, push);
  return {};
}

// word!: its value; a function-like value is called, named by the word.
Status eval_word(Code& code, bool push, bool) {
  const uint32_t at = code.index;
  const Cell word = code.cell();
  const Cell value = *word_value_read(code.cell());
  ++code.index;
  const Type type = cell_type(value);
  if (callable_type(type)) return eval_call_function(value, code, push, nullptr, word, nullptr, 0, false);
  if (type == Type::unset) raise_error(error_id("script", "no-value"), word);
  if (type == Type::op) raise_error(error_id("script", "no-op-arg"), word);
  produce(value, push);
  if (trace_enabled) [[unlikely]] trace_push(code, at, push);
  return {};
}

// path! and get-path!.
template <PathMode Mode>
Status eval_path_cell(Code& code, bool push, bool) {
  const Cell path = code.cell();
  if (!trace_enabled && shortcuts_enabled) {
    Cell component;
    if (const Cell* field = fast_path_read(path, Mode, component)) {
      ++code.index;
      produce(*field, push);
      return {};
    }
  }
  ++code.index;
  return eval_path(path, &code, Mode, push, false, nullptr);
}

// An op! value standing in the code.
Status eval_op_value(Code&, bool, bool) { raise_error(error_id("internal", "not-done")); }

// A function-like value standing in the code: called as <anon>, unless passive.
Status eval_function_value(Code& code, bool push, bool passive) {
  if (passive) return eval_itself(code, push, passive);
  const Cell value = code.cell();
  ++code.index;
  return eval_call_function(value, code, push, nullptr, make_cell(Type::none), nullptr, 0, false);
}

// issue!: itself, unless it opens low-level code (#system or #system-global and a block).
Status eval_issue(Code& code, bool push, bool passive) {
  const uint32_t canonical = symbol_canonical(code.cell().w2);
  const bool marks_system = canonical == symbol_canonical(sym_system) || canonical == symbol_canonical(sym_system_global);
  if (marks_system && code.index + 1 < code.live_end() &&
      cell_type(series_buffer(code.value.w2)->head_cell()[code.index + 1]) == Type::block)
    raise_error(error_id("internal", "qel-system"));
  return eval_itself(code, push, passive);
}

// The first-cell table: what an expression does by the type of its first cell. Every type not
// listed evaluates to itself.
constexpr TypeRow<FirstCellRule> kFirstCellRows[] = {
    {Type::paren, eval_paren},
    {Type::set_word, eval_set_word},
    {Type::set_path, eval_set_path},
    {Type::get_word, eval_get_word},
    {Type::lit_word, eval_literal<Type::word>},
    {Type::word, eval_word},
    {Type::path, eval_path_cell<PathMode::plain>},
    {Type::get_path, eval_path_cell<PathMode::get>},
    {Type::lit_path, eval_literal<Type::path>},
    {Type::op, eval_op_value},
    {Type::native, eval_function_value},
    {Type::action, eval_function_value},
    {Type::function, eval_function_value},
    {Type::routine, eval_function_value},
    {Type::issue, eval_issue},
};

constexpr std::array<FirstCellRule, 256> kFirstCell = type_table<256>(eval_itself, kFirstCellRows);

// Which types the first-cell table evaluates to themselves.
constexpr std::array<bool, 256> kItselfTypes = [] {
  std::array<bool, 256> itself{};
  for (size_t t = 0; t < itself.size(); ++t) itself[t] = kFirstCell[t] == eval_itself;
  return itself;
}();

// --- Infix operators ------------------------------------------------------------------------------

// The right operand of an operator that computes in place, pushed. A paren or a word holding a
// function, the usual such operands, goes to its first-cell rule at once: as the expression it
// begins it takes no infix operator, and tracing is off. Anything else is an argument.
Status eval_right_operand(Code& code) {
  Cell& cell = code.cell();
  const Cell* value = cell_type(cell) == Type::word ? word_fast_slot(cell, false) : nullptr;
  if (cell_type(cell) == Type::paren || (value && callable_type(cell_type(*value)))) {
    check_stack_headroom();
    return kFirstCell[cell.header & kTypeByteMask](code, true, false);
  }
  return eval_argument(code, true);
}

// The call of an infix operator that computes two integers in place (`in_place`, from
// integer_infix_code), with an integer so far in `left` (the stack's top) and a right operand
// that needs evaluating (a paren, a call). Its frame opens on the left operand as the call's
// would, and the right operand is evaluated into it; an integer there is computed with the left
// in place, and any other value goes on as the call does (its type checked, the entry called).
// The left operand needs no check: every such operator takes an integer. Code that the right
// operand ran may have switched tracing on: the call's own events then follow as the call
// fires them.
[[gnu::noinline]] Status call_operator_in_place(const Cell& function, int32_t in_place, Code& code, bool push,
                                                const Cell& name, Cell* left) {
  stack_open_frame(name, frame_bits(code, kFrameInterpNative));
  value_stack.top = left + 1;
  QEL_TRY(eval_right_operand(code));
  if (trace_enabled || !integer_in_place_by_code(in_place, left[1], left[0])) {
    const ArgDescription& description = arg_description(function);
    check_argument(description, description.entries()[1], left[1], name);
    QEL_TRY(eval_after_arguments(function, description, code, name, 0, kNoPositions.data()));
  }
  stack_close_frame();
  if (!push) {
    *value_stack.base = *left;
    stack_keep_first();
  }
  if (trace_enabled && !code.library) [[unlikely]]
    trace_fire(kTraceReturnEvent, code.value, code.index, name, *produced_cell(push));
  return {};
}

// While the next cell is a word whose value is an op!, calls it with the value so far as its left
// operand (moved to where the expression began) and the code after the word for the rest. One
// precedence, grouping to the left. Kept out of line: eval_expression then tail-calls it and
// saves only the few registers its own short path needs.
[[gnu::noinline]] Status apply_infix(Code& code, Cell* expression_top, bool push) {
  while (!code.at_end()) {
    Cell& next = code.cell();
    if (cell_type(next) != Type::word) return {};
    const Cell* value = word_value_quiet(next);
    if (!value || cell_type(*value) != Type::op) return {};
    Cell function = *value;
    const Cell name = next;
    if (trace_enabled && !code.library) [[unlikely]] trace_fire(kTraceFetchEvent, code.value, code.index, make_cell(Type::none), name);
    function = op_function(function);
    ++code.index;
    // Integer arithmetic with an integer for its right operand leaves the value the call would,
    // where the value so far lies, without the call's frame.
    Cell& so_far = push ? *expression_top : *value_stack.base;
    if (!trace_enabled && shortcuts_enabled && !code.at_end()) {
      Cell component;
      const Cell* right = integer_operand(code.cell(), component);
      if (right && integer_infix_in_place(function, *right, so_far)) {
        ++code.index;
        continue;
      }
    }
    *expression_top = so_far;
    value_stack.top = expression_top;
    if (!trace_enabled && shortcuts_enabled && cell_type(so_far) == Type::integer && !code.at_end()) {
      if (const int32_t in_place = integer_infix_code(function); in_place >= 0) {
        QEL_TRY(call_operator_in_place(function, in_place, code, push, name, expression_top));
        continue;
      }
    }
    QEL_TRY(eval_call_function(function, code, push, nullptr, name, nullptr, 0, true));
  }
  return {};
}

}  // namespace

const std::array<bool, 256>& evaluates_to_itself = kItselfTypes;

// --- Evaluating -------------------------------------------------------------------------------------

Status eval_expression(Code& code, bool prefix, bool push, bool passive) {
  check_stack_headroom();
  Cell* expression_top = value_stack.top;
  if (trace_enabled && !code.library) [[unlikely]]
    trace_fire(kTraceFetchEvent, code.value, code.index, make_cell(Type::none), code.cell());
  QEL_TRY(kFirstCell[code.cell().header & kTypeByteMask](code, push, passive));
  if (prefix) return {};
  return eval_infix_tail(code, expression_top, push);
}

namespace {

// The statements of a block from code.index to its end (at least one), under the block's
// frame. Planned, a statement the plan has a step for runs by it; the plan is let go if a
// nested evaluation emptied the plan table. Both kinds are instances, so that blocks without a
// plan run the loop they ran before plans.
template <bool Planned>
[[gnu::always_inline]] inline Status eval_statements(Code& code, const Cell& block, Plan* plan) {
  const uint32_t generation = plan_generation;
  Status status;
  for (;;) {
    const uint32_t start = code.index;
    if (!code.library) {
      current_expression_cell = block;
      current_expression_cell.w1 = start;
    }
    const PlanStep* step = nullptr;
    if constexpr (Planned) {
      if (plan && generation != plan_generation) plan = nullptr;
      step = plan_step(plan, code.index);
    }
    if (!step || trace_enabled || !shortcuts_enabled || !run_planned_step(code, *plan, *step, status))
      status = eval_expression(code, false, false, false);
    if (!status.ok()) return status;
    if (trace_enabled && !code.library) [[unlikely]]
      trace_fire(kTraceExprEvent, block, code.index, make_cell(Type::none), value_stack.base[0]);
    if (code.at_end()) return {};
    stack_reset_top();
    gc_safepoint();
  }
}

// A block evaluated under a frame of its own (`OwnFrame`, closed as `chain` asks) or under the
// current frame, its cells above the stack's top (where a frame of its own would put them) and
// its value then into `into`, the top just above it.
template <bool OwnFrame>
[[gnu::always_inline]] inline Status eval_block_as(const Cell& block, bool chain, Cell* into) {
  // Put back on every exit, so an outer block's position is current again after an error or
  // a throw left a nested one.
  ScopedRestore<Cell> expression(current_expression_cell);
  Code code = code_of(block);
  Plan* plan = shortcuts_enabled ? plan_for_evaluation(series_buffer(block.w2), block.w2) : nullptr;
  [[maybe_unused]] Cell* const caller_base = value_stack.base;
  if constexpr (OwnFrame) {
    // The frame holds the block's node in its word-context word: it keeps the block alive.
    stack_open_frame(body_symbol(), block.w2, frame_bits(code, kFrameEval));
  } else {
    value_stack.base = value_stack.top;
  }
  // The length code_of read holds until a tracer runs.
  bool empty = code.index >= code.end;
  if (trace_enabled && !code.library) [[unlikely]] {
    trace_fire(kTraceEnterEvent, block, code.index, make_cell(Type::none), make_cell(Type::none));
    empty = code.at_end();
  }
  if (empty) {
    stack_set_result_only(make_cell(Type::unset));
  } else {
    QEL_TRY(plan ? eval_statements<true>(code, block, plan) : eval_statements<false>(code, block, nullptr));
  }
  if (trace_enabled && !code.library) [[unlikely]]
    trace_fire(kTraceExitEvent, block, code.live_end(), make_cell(Type::none), value_stack.base[0]);
  if constexpr (OwnFrame) {
    if (chain)
      stack_close_frame_copy();
    else
      stack_close_frame();
  } else {
    *into = *value_stack.base;
    value_stack.top = into + 1;
    value_stack.base = caller_base;
  }
  return {};
}

}  // namespace

Status eval_block(const Cell& block, bool chain) { return eval_block_as<true>(block, chain, nullptr); }

Status eval_block_into(const Cell& block, Cell* into) { return eval_block_as<false>(block, true, into); }

Status eval_range(Code& code, bool push) {
  stack_open_frame(body_word(), frame_bits(code, kFrameInterpNative));
  QEL_TRY(eval_expression(code, false, true, false));
  stack_set_result_only(*stack_last_value());
  if (push)
    stack_close_frame();
  else
    stack_close_frame_copy();
  return {};
}

Status eval_next(const Cell& block, uint32_t& next) {
  Code code = code_of(block);
  if (code.at_end()) {
    stack_push_value(make_cell(Type::unset));
    next = code.index;
    return {};
  }
  stack_open_frame(body_symbol(), block.w2, frame_bits(code, kFrameEval));
  QEL_TRY(eval_expression(code, false, false, false));
  stack_close_frame();
  next = code.index < code.live_end() ? code.index : code.live_end();
  return {};
}

// --- The current expression -------------------------------------------------------------------------

Cell& current_expression() { return current_expression_cell; }

void interpreter_init() {
  eval_symbols_init();
  current_expression_cell = make_cell(Type::none);
  collector_remove_root(mark_current_expression);
  collector_add_root(mark_current_expression);
}

}  // namespace qel

// eval-plan.cpp: making the evaluation plans of blocks.
#include "evaluator/eval-plan.h"

#include "evaluator/argument-fetch.h"
#include "evaluator/eval-support.h"
#include "evaluator/interpreter.h"

namespace qel {

std::vector<std::unique_ptr<Plan>> plans;
uint32_t plan_generation = 0;

namespace {

// The table is emptied when its plans cover this many cells: plans of blocks gone stay in it
// until then.
constexpr size_t kMostTableCells = size_t{1} << 18;
// Longer blocks (data, whole scripts) are not planned.
constexpr uint32_t kMostPlannedCells = 1024;
// The cells the plans in the table cover.
size_t table_cells = 0;

// Adds to the step the simple expression at `at` as the cells and the words' values stand now:
// its first operand, then its operators (at most the step's room), each with an integer for its
// right operand (a paren done in place may stand for an operand). Answers the index after it, or 0 when it is not one.
uint32_t plan_simple(const Cell* cells, uint32_t at, uint32_t length, PlanStep& step) {
  const Cell& first = cells[at];
  Cell made;
  if (!evaluates_to_itself[first.header & kTypeByteMask]) {
    const Cell* value = cell_type(first) == Type::word    ? word_fast_slot(first, false)
                        : cell_type(first) == Type::paren ? paren_in_place(first, made)
                                                          : nullptr;
    if (!value || !kPlainWordValues[value->header & kTypeByteMask]) return 0;
  }
  for (++at; at + 1 < length && cell_type(cells[at]) == Type::word; at += 2) {
    const Cell* op = word_fast_slot(cells[at], false);
    if (!op || cell_type(*op) != Type::op) break;
    const int32_t code = integer_infix_code(op_function(*op));
    const Cell& right = cells[at + 1];
    const Cell* right_value = cell_type(right) == Type::word    ? word_fast_slot(right, false)
                              : cell_type(right) == Type::paren ? paren_in_place(right, made)
                                                                : &right;
    if (step.op_count == kPlanOps || code < 0 || !right_value || cell_type(*right_value) != Type::integer) return 0;
    step.ops[step.op_count] = *op;
    step.codes[step.op_count++] = code;
  }
  return at;
}

// The entry of the refinement a path's word names by its very symbol, or -1.
int32_t refinement_entry(const ArgDescription& description, uint32_t symbol) {
  const ArgEntry* entries = description.entries();
  for (uint32_t k = 0; k < description.entry_count; ++k)
    if (entries[k].kind == EntryKind::refinement && entries[k].symbol == symbol) return static_cast<int32_t>(k);
  return -1;
}

// The callee of a call at `at` (its word, or its path of a word and refinement words) when an
// ordinary call takes its arguments one evaluated expression each: a native or action that
// fetches plainly, or a function, whose refinements the path names (each once, by its very
// spelling) and whose other slots the call fills as absent. Records in the step the callee's
// description, the entry of each argument in the order the code gives them and what each pushed
// cell holds. The function value, or null.
const Cell* plan_callee(const Cell& callee, PlanStep& step) {
  const Cell* words = &callee;
  uint32_t count = 1;
  if (cell_type(callee) == Type::path) {
    SeriesBuffer* buffer = series_buffer(callee.w2);
    count = static_cast<uint32_t>((buffer->tail - buffer->head) / sizeof(Cell)) - callee.w1;
    words = buffer->head_cell() + callee.w1;
    if (count < 2 || count > 1 + kPlanRefinements) return nullptr;
    step.path_cells = static_cast<uint8_t>(count);
  }
  for (uint32_t k = 0; k < count; ++k)
    if (cell_type(words[k]) != Type::word) return nullptr;
  const Cell* function = word_fast_slot(words[0], false);
  if (!function || !callable_type(cell_type(*function)) || cell_type(*function) == Type::routine) return nullptr;
  const ArgDescription& description = arg_description(*function);
  const bool slots = cell_type(*function) == Type::function;
  if (!(description.plain || slots) || (count > 1 && !slots)) return nullptr;
  const ArgEntry* entries = description.entries();
  // Every cell as an absent refinement leaves it; the mandatory parameters' arguments first.
  if (slots && description.slot_count > kPlanFills) return nullptr;
  step.fill_count = static_cast<uint8_t>(slots ? description.slot_count : description.fixed_count);
  bool mandatory = true;
  for (uint32_t k = 0; k < description.entry_count; ++k) {
    const ArgEntry& entry = entries[k];
    if (entry.kind == EntryKind::return_types) continue;
    if (entry.kind == EntryKind::refinement) {
      if (!slots) break;
      mandatory = false;
      step.fills[entry.slot] = kFillFalse;
    } else if (!mandatory) {
      step.fills[entry.slot] = kFillNone;
    } else {
      if (entry.mode != FetchMode::evaluated || step.args == kPlanArgs) return nullptr;
      step.fills[entry.slot] = step.args;
      step.arg_entries[step.args++] = static_cast<uint8_t>(k);
    }
  }
  // The refinements the path names, in its order, each with its arguments.
  for (uint32_t r = 1; r < count; ++r) {
    const int32_t found = refinement_entry(description, words[r].w2);
    if (found < 0 || step.fills[entries[found].slot] == kFillTrue) return nullptr;
    step.fills[entries[found].slot] = kFillTrue;
    step.refinements[r - 1] = words[r].w2;
    for (uint32_t k = found + 1; k < description.entry_count && entries[k].kind != EntryKind::refinement; ++k) {
      if (entries[k].kind != EntryKind::parameter) continue;
      if (entries[k].mode != FetchMode::evaluated || step.args == kPlanArgs) return nullptr;
      step.fills[entries[k].slot] = step.args;
      step.arg_entries[step.args++] = static_cast<uint8_t>(k);
    }
  }
  // Arguments in order are all a plain description needs: any callee taking as many will do.
  if (description.plain) {
    step.fill_count = 0;
  } else {
    step.callee = description.serial;
  }
  return function;
}

// The call at `at` (its callee's cell) whose callee plan_callee takes and whose arguments are
// each a simple expression. Answers the index after the last one, or 0.
uint32_t plan_call(const Cell* cells, uint32_t at, uint32_t length, PlanStep& step) {
  if (cell_type(cells[at]) != Type::word && cell_type(cells[at]) != Type::path) return 0;
  if (!plan_callee(cells[at], step)) return 0;
  step.call = true;
  step.callee_type = static_cast<uint8_t>(cell_type(cells[at]));
  uint32_t next = at + 1;
  for (uint32_t k = 0, ops = 0; k < step.args; ++k, ops = step.op_count) {
    step.arg_at[k] = static_cast<uint8_t>(next - at);
    step.arg_op[k] = static_cast<uint8_t>(ops);
    if (next >= length || !(next = plan_simple(cells, next, length, step))) return 0;
    step.arg_ops[k] = static_cast<uint8_t>(step.op_count - ops);
  }
  return next;
}

// The step of the statement at `i` as the cells and the words' values stand now, when it is
// worth one: a call, or a simple expression that begins with a set-word or has an operator.
// False otherwise.
bool plan_statement(Cell* cells, uint32_t i, uint32_t length, PlanStep& step) {
  step = PlanStep{};
  uint32_t at = i;
  if (cell_type(cells[at]) == Type::set_word) {
    // A word the first run created in its context (a script's new global) is found there now.
    if (!resolve_word(cells[at]) || ++at >= length) return false;
    step.set = true;
  }
  uint32_t end = plan_call(cells, at, length, step);
  if (!end) {
    const bool set = step.set;
    step = PlanStep{};
    step.set = set;
    end = plan_simple(cells, at, length, step);
    if (!end || (!step.set && step.op_count == 0)) return false;
  }
  step.cells = static_cast<uint8_t>(end - i);
  return true;
}

}  // namespace

Plan* plan_block(SeriesBuffer* buffer, NodeId node) {
  if (buffer->spare == 0) {
    buffer->spare = kPlanSeen;
    return nullptr;
  }
  const uint32_t length = static_cast<uint32_t>((buffer->tail - buffer->head) / sizeof(Cell));
  if (length > kMostPlannedCells) return nullptr;
  if (table_cells + length > kMostTableCells) {
    plans.clear();
    table_cells = 0;
    ++plan_generation;
  }
  auto plan = std::make_unique<Plan>(Plan{node, {}, {}});
  Cell* cells = buffer->head_cell();
  PlanStep step;
  // Steps serve statements: a set-word's anywhere, an expression's or a call's where a
  // statement surely begins (the block's first cell, or where a step ends).
  uint32_t statement = 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (i != statement && cell_type(cells[i]) != Type::set_word) continue;
    if (!plan_statement(cells, i, length, step)) continue;
    if (plan->at.empty()) plan->at.resize(length);
    plan->steps.push_back(step);
    plan->at[i] = static_cast<uint32_t>(plan->steps.size());
    statement = i + step.cells;
  }
  if (plan->steps.empty()) {
    buffer->spare = kPlanEmpty;
    return nullptr;
  }
  plans.push_back(std::move(plan));
  table_cells += length;
  buffer->spare = static_cast<uint32_t>(plans.size());
  return plans.back().get();
}

}  // namespace qel

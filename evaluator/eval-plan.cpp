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
// its first operand, then its operators (at most the step's room). Answers the index after it,
// or 0 when it is not one.
uint32_t plan_simple(const Cell* cells, uint32_t at, uint32_t length, PlanStep& step) {
  const Cell& first = cells[at];
  if (!evaluates_to_itself[first.header & kTypeByteMask]) {
    const Cell* value = cell_type(first) == Type::word ? word_fast_slot(first, false) : nullptr;
    if (!value || !kPlainWordValues[value->header & kTypeByteMask]) return 0;
  }
  for (++at; at + 1 < length && cell_type(cells[at]) == Type::word; at += 2) {
    const Cell* op = word_fast_slot(cells[at], false);
    if (!op || cell_type(*op) != Type::op) break;
    const int32_t code = integer_infix_code(op_function(*op));
    const Cell& right = cells[at + 1];
    const Cell* right_value = cell_type(right) == Type::word ? word_fast_slot(right, false) : &right;
    if (step.op_count == kPlanOps || code < 0 || !right_value || cell_type(*right_value) != Type::integer) return 0;
    step.ops[step.op_count] = *op;
    step.codes[step.op_count++] = code;
  }
  return at;
}

// The arguments of a call at `at` (its word's cell) when its word holds a function, native or
// action that an ordinary call fetches plainly, each a simple expression. Answers the index
// after the last one, or 0.
uint32_t plan_call(const Cell* cells, uint32_t at, uint32_t length, PlanStep& step) {
  if (cell_type(cells[at]) != Type::word) return 0;
  const Cell* function = word_fast_slot(cells[at], false);
  if (!function || !callable_type(cell_type(*function)) || cell_type(*function) == Type::routine) return 0;
  const ArgDescription& description = arg_description(*function);
  if (!description.plain || description.fixed_count > kPlanArgs) return 0;
  step.call = true;
  for (++at; step.args < description.fixed_count; ++step.args) {
    const uint32_t ops = step.op_count;
    if (at >= length || !(at = plan_simple(cells, at, length, step))) return 0;
    step.arg_ops[step.args] = static_cast<uint8_t>(step.op_count - ops);
  }
  return at;
}

// The step of the statement at `i` as the cells and the words' values stand now, when it is
// worth one: a call, or a simple expression that begins with a set-word or has an operator.
// False otherwise.
bool plan_statement(const Cell* cells, uint32_t i, uint32_t length, PlanStep& step) {
  step = PlanStep{};
  uint32_t at = i;
  if (cell_type(cells[at]) == Type::set_word) {
    if (cells[at].w3 == kUnresolved || ++at >= length) return false;
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
  for (uint32_t k = 0; k < step.cells; ++k) step.types[k] = static_cast<uint8_t>(cells[i + k].header & kTypeByteMask);
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
  const Cell* cells = buffer->head_cell();
  PlanStep step;
  // Steps serve statements: a set-word's anywhere, an expression's or a call's where a
  // statement surely begins (the block's first cell, or where a step ends).
  uint32_t statement = 0;
  for (uint32_t i = 0; i < length; ++i) {
    if (!plan_statement(cells, i, length, step) || (!step.set && i != statement)) continue;
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

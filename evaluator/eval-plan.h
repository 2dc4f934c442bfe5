// eval-plan.h: evaluation plans: for each block evaluated more than once, the shape of the
// simple expressions and calls that begin at its positions, so that the interpreter runs them
// from the shape instead of working it out again at every evaluation.
//
// A simple expression is the kind the shortcuts compute without a frame (interpreter.cpp): a
// plain operand (a cell that evaluates to itself, or a word) and then infix operators done in
// place on integers, each with an integer or a word for its right operand; a set-word may come
// first. A call is a word holding a native or action that an ordinary call fetches plainly, or a
// word or a path of refinement words heading a function, whose arguments are all such
// expressions, with a set-word before it or not. A step keeps what does not change while the
// block does not: the shape of the statement (which cells are its set-word, its callee, its
// operators and their operands), each operator word's op! value with its in-place code, the callee's description (by its serial) with the
// cells its arguments and refinements fill (a call of a native, an action or a function without
// refinements fills none: any callee that takes as many arguments plainly will do), and a
// path's refinement words. Everything else is
// read live at each run: the cells themselves, every word's value (the called function's too),
// the operands' types. So a step holds only while the cells still have that shape, each
// operator word still holds the same op! value and the callee still has the same description; a
// set-word or a callee's cell of another type drops its step, any other cell of another type, a
// changed operator or callee, a changed path or an operand that is no integer sends that run the
// long way. A plan is found
// through its block's buffer (`spare`) and answers only for the node it was made for, so a plan
// can never be applied to another block.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"

namespace qel {

// The most infix operators a step covers, the most arguments of a call it covers, the most
// cells a call's arguments, refinements and their absent arguments fill, and the most
// refinements a call's path names.
inline constexpr uint32_t kPlanOps = 3;
inline constexpr uint32_t kPlanArgs = 4;
inline constexpr uint32_t kPlanFills = 8;
inline constexpr uint32_t kPlanRefinements = 2;

// Where a planned call's arguments wait above the value stack's top: past a set-word's cell, the
// function's and every cell the call fills.
inline constexpr uint32_t kPlanScratch = 2 + kPlanFills;

// What a cell pushed for a planned call holds, past the arguments' numbers.
enum PlanFill : uint8_t { kFillFalse = kPlanArgs, kFillTrue, kFillNone };

struct PlanStep {
  Cell ops[kPlanOps];                   // each operator word's op! value when planned
  int32_t codes[kPlanOps];              // its in-place code (integer_infix_code)
  uint64_t callee;                      // a call that fills: its callee's description (its serial)
  uint32_t refinements[kPlanRefinements];  // a call through a path: each refinement word's symbol
  uint8_t arg_at[kPlanArgs];            // a call: where each argument begins, from the callee's cell
  uint8_t arg_op[kPlanArgs];            // a call: each argument's first operator among ops
  uint8_t arg_ops[kPlanArgs];           // a call: the operators of each argument, in order
  uint8_t arg_entries[kPlanArgs];       // a call: the description entry each argument is for
  uint8_t fills[kPlanFills];            // a call: each cell pushed, an argument's number or a PlanFill
  uint8_t fill_count;
  uint8_t path_cells;                   // a call through a path: the path's cells, else 0
  uint8_t callee_type;                  // a call: its callee cell's type byte (a word or a path)
  uint8_t cells;                        // the cells covered
  uint8_t op_count;
  uint8_t args;                         // a call: its arguments
  bool set;                             // begins with a set-word
  bool call;                            // a call (else one simple expression)
};

// The cells a call pushes for its callee when its argument expressions (which raised nothing and
// ran no code) are already evaluated: each cell an argument's value (by its number) or a
// PlanFill, and the description entry each argument is checked against; with no fills, the
// arguments in order for the mandatory parameters, which are the first entries. A step's fills
// and entries, read before the callee runs. The arguments lie above the value stack's top,
// past every cell the call pushes before it reads them (kPlanScratch).
struct CallValues {
  const Cell* arguments;
  const uint8_t* fills;
  const uint8_t* entries;
  uint32_t fill_count;
  uint32_t argument_count;
};

struct Plan {
  NodeId node;                       // the block planned
  std::vector<uint32_t> at;          // by position: 1 + the index of its step, or 0
  std::vector<PlanStep> steps;
};

// Every plan, found by a block buffer's `spare` - 1 (0: never evaluated; kPlanSeen: once). The
// table is emptied when it is full; `plan_generation` counts the times, so that whoever holds a
// plan across an evaluation can tell whether it is gone.
// A block planned with no step has kPlanEmpty instead.
extern std::vector<std::unique_ptr<Plan>> plans;
extern uint32_t plan_generation;
inline constexpr uint32_t kPlanSeen = 0xFFFFFFFF;
inline constexpr uint32_t kPlanEmpty = 0xFFFFFFFE;

// The plan of the block in the buffer, or null.
inline Plan* plan_of(const SeriesBuffer* buffer, NodeId node) {
  const uint32_t number = buffer->spare - 1;
  if (number >= plans.size() || plans[number]->node != node) return nullptr;
  return plans[number].get();
}

// The step of a plan at a position, or null.
inline const PlanStep* plan_step(const Plan* plan, uint32_t index) {
  if (!plan || index >= plan->at.size() || plan->at[index] == 0) return nullptr;
  return &plan->steps[plan->at[index] - 1];
}

// Plans the block at its second evaluation (the first marks it seen and resolves its words);
// answers its plan, or null.
Plan* plan_block(SeriesBuffer* buffer, NodeId node);

// The block's plan when it has one; else it is planned when it is due.
inline Plan* plan_for_evaluation(SeriesBuffer* buffer, NodeId node) {
  if (buffer->spare == kPlanEmpty) return nullptr;
  if (Plan* plan = plan_of(buffer, node)) return plan;
  return plan_block(buffer, node);
}

}  // namespace qel

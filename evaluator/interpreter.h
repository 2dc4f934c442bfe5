// interpreter.h: evaluating blocks left to right, expression by expression: the first-cell
// rules, infix operators, calls of function-like values, and the current expression.
//
// Every function that can run Qel code answers a [[nodiscard]] Status: 0, or the throw code of a
// break, continue, return, exit or throw on its way out (the language stacks are already unwound
// to its target). Errors travel as NonLocalExit. A C++ level restores only its own state (RAII),
// never frames: the unwinders own the stacks.
//
// Positions are (series node, index): no Cell* into a block survives an evaluation, an
// allocation or a safe point. The end of a range is an index fixed at entry and clamped to the
// live tail at each read, so a block that shrinks stops at its tail and cells appended during
// the evaluation are not evaluated. Safe points run between the expressions of a block.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "evaluator/library-code.h"
#include "evaluator/trace.h"
#include "runtime/cell.h"
#include "runtime/series-buffer.h"
#include "runtime/shortcuts.h"
#include "runtime/throw.h"
#include "runtime/value-stack.h"

namespace qel {

// A position in code being evaluated. `value` is the block, paren or path (its node in w2,
// the index it was entered at in w1); the caller keeps it reachable (an evaluation frame holds
// the block it evaluates). `library` is set for code flagged as library code.
struct Code {
  Cell value;
  uint32_t index;
  uint32_t end;
  bool library;

  // The end clamped to the live tail.
  uint32_t live_end() const {
    const SeriesBuffer* buffer = series_buffer(value.w2);
    const uint32_t tail = (buffer->tail - buffer->head) / sizeof(Cell);
    return end < tail ? end : tail;
  }
  bool at_end() const { return index >= live_end(); }
  // The cell at the index (which must lie before the live end); valid until the next
  // evaluation, allocation or safe point.
  Cell& cell() const { return series_buffer(value.w2)->head_cell()[index]; }
};

// Code over a block value from its index (clamped) to its tail at this moment.
inline Code code_of(const Cell& block) {
  const SeriesBuffer* buffer = series_buffer(block.w2);
  const uint32_t length = (buffer->tail - buffer->head) / sizeof(Cell);
  const uint32_t index = block.w1 < length ? block.w1 : length;
  return Code{block, index, length, is_library_code(block.w2)};
}

// --- Evaluating --------------------------------------------------------------------------------

// eval-block: every expression of a block or paren from its index under a kind-7 frame named
// <body>; the value of the last one (unset for an empty block). With chain the result goes into
// the caller's result cell, else it stays pushed as one cell in the caller's frame.
Status eval_block(const Cell& block, bool chain);

// eval-block under the current frame, for a block that a cell below the stack's top holds (a
// branch among a native's arguments): no frame of its own, so no report or unwinding can tell.
// Its cells lie above the top, and its value goes into `into` (at or below the top), the top
// just above it.
Status eval_block_into(const Cell& block, Cell* into);

// eval-expression: one expression from code.index, which moves past it. With push the result
// is pushed, else it becomes the current frame's only cell. With prefix no infix operator
// follows the first value; with passive a function-like value standing in the code is the
// value itself.
Status eval_expression(Code& code, bool prefix, bool push, bool passive);

// Whether a cell of the type id evaluates to itself (a number, a block, a string ...).
extern const std::array<bool, 256>& evaluates_to_itself;

// The route of an argument that is a simple expression (a cell that evaluates to itself, a
// word whose value the fast routes reach and is plain, or a paren done in place, then, unless prefix, any run of infix
// operators that integer arithmetic does in place): pushes its value, moves past it and answers
// true; else false, nothing changed (the caller evaluates). Such an expression can raise
// nothing, run no code and reach no safe point.
bool push_simple_argument(Code& code, bool prefix);

// The value of a paren that holds one simple expression without a paren, or one call of an
// action done in place (call_in_place) each of whose arguments is such an expression, made in
// `value`; null for every other paren. Such a paren raises nothing, runs no code and reaches no
// safe point: with tracing off nothing can see the frames its evaluation would open.
const Cell* paren_in_place(const Cell& paren, Cell& value);

// eval-range: one expression under a kind-2 frame named <body>; with push the result stays
// pushed, else it is copied into the caller's result cell.
Status eval_range(Code& code, bool push);

// eval-next: the expression at the block's index, its value pushed (unset at the tail, the index
// unchanged); `next` gets the index after it, capped at the tail.
Status eval_next(const Cell& block, uint32_t& next);

// --- Calls ---------------------------------------------------------------------------------------

// A call's path: the path value and the index of the element that named the callee; the
// elements after it are refinements.
struct CallPath {
  Cell path;
  uint32_t name_index;
};

// Apply modes (0 for ordinary calls).
enum ApplyMode : uint32_t { kApplyAll = 1, kApplyNamed = 2, kApplySafer = 4 };

// eval-call-function: calls a native!, action!, function! or routine! (an op! already retyped
// to the value it wraps), its arguments taken from the code from code.index on. `name` names
// the frame (a word!, else <anon>). With infix the left operand is the current top cell and the
// frame opens on it. `parent` is the value a path step reached the callee through, or null. The
// function comes by value, in registers: a cell the caller has just retyped or copied is not
// read back from memory in one wide load that its narrower stores cannot forward to.
Status eval_call_function(Cell function, Code& code, bool push, const CallPath* path, const Cell& name,
                          const Cell* parent, uint32_t apply, bool infix);

// The values of a planned call's arguments and what they fill (eval-plan.h).
struct CallValues;

// A call of a native!, action! or function! with the cells `values` gives, as an ordinary call
// (or a path's naming refinements of a function) would fetch them; the code is past the
// arguments. The rest is as eval_call_function.
Status eval_call_with_values(Cell function, Code& code, bool push, const Cell& name, const CallValues& values);

// eval-function-body: runs a function's body with its arguments already in the current kind-1
// frame; `callback` is the caller's callback bit (0 for the interpreter's own calls). return and
// exit stop here; every other code passes on.
Status eval_function_body(const Cell& function, const Cell& name, uint32_t callback);

// Calls a function-like value with argument values for its mandatory parameters (none for the
// ones not given; every refinement absent), for C++ code that cannot answer a Status (a sort
// comparator): a non-zero Status travels on as NonLocalExit.
Cell call_function_with(const Cell& function, std::span<const Cell> arguments);
// The same as a callback of the bit (callback-bits.h): a function's body is then traced only
// while its bit is traced, between `call` and `return` events of its own. The
// eval-function-body service.
Cell call_callback(const Cell& function, std::span<const Cell> arguments, uint32_t callback);
// The same under a frame named by the word, as a callback of the given bit (a change hook's).
Cell call_function_named(const Cell& function, std::span<const Cell> arguments, const Cell& name, uint32_t callback);
// The same with the arguments not checked against the parameters' types: the interpreter's
// tracer gets whatever an event carries (an unset! result too), a port's actor functions the
// cells of the action (none for an absent refinement's argument).
Cell call_function_unchecked(const Cell& function, std::span<const Cell> arguments, const Cell& name,
                             uint32_t callback);
// The same as a callback of the bit, and each argument given is replaced by its slot as the
// call left it (a function that sets its parameter changes it; the first slot holds the result
// by then).
Cell call_function_updating(const Cell& function, std::span<Cell> arguments, uint32_t callback);

// --- The current expression ---------------------------------------------------------------------

// The block under evaluation positioned at its current top-level expression; a collector root.
// Every new error copies it into its `near`.
Cell& current_expression();

// The interpreter's start-up: roots the current expression.
void interpreter_init();

// Keeps a Status-returning call's codes off the C++ stack of a caller that cannot answer a
// Status (a sort comparator, a change hook): a non-zero one travels on as NonLocalExit.
void throw_if_exit(Status status);

}  // namespace qel

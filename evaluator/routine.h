// routine.h: routine! (type 29, parent function!): functions written in C++ and called with
// machine values, through an index into the C++ routine table.
//
// A routine! cell: header type 29 (flag 0x8000 when the routine takes the addresses of its
// argument cells), w1 its context made from the spec, w2 its spec (a private deep copy), w3 its
// more series of five cells: the body or none, the argument description, the routine's index in
// the routine table (integer!), unset, and the return type code. The number of parameters is the
// description's, at full width.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

inline constexpr uint32_t kRoutineCellArguments = 0x8000;

// Return type codes: how the machine result is boxed.
enum RoutineReturn : int32_t { kReturnNothing = -1, kReturnLogic = 4, kReturnInteger = 11, kReturnFloat = 12 };

// One machine argument: a logic! (0 or 1) or integer! in `integer`, a float! in `real`, any
// other value (and every argument of a cell-address routine) as the address of its cell.
struct RoutineArgument {
  int64_t integer = 0;
  double real = 0;
  Cell* cell = nullptr;
};
struct RoutineResult {
  int64_t integer = 0;
  double real = 0;
};
using RoutineFunction = RoutineResult (*)(std::span<const RoutineArgument> arguments);

// Adds a C++ function to the routine table under its entry name (each name once); answers its
// index.
uint32_t register_routine(std::string_view name, RoutineFunction function);
// Registers the entry unless the table holds its name already: the registering steps run once per
// runtime, and tests start several runtimes over one table.
void register_routine_once(std::string_view name, RoutineFunction function);
// An entry of a table of routines registered together.
struct NamedRoutine {
  std::string_view name;
  RoutineFunction function;
};
// The index of the entry of that name; none when no entry has it.
std::optional<uint32_t> find_routine(std::string_view name);
// Empties the routine table (tests).
void reset_routines();

// routine-value-build: a routine! of a deep copy of the spec, the body (or none), the table
// index, the return type code (-1, 4, 11 or 12) and the cell-address flag.
Cell routine_value_build(const Cell& spec, const Cell& body, uint32_t index, int32_t return_type, bool cell_arguments);

// eval-checked-call: calls the routine of the current frame, its arguments from the frame's
// base: each checked against the first word of its type block unless the routine takes cell
// addresses, then passed by that word; the machine result boxed into the result cell.
void eval_checked_call(const Cell& routine);

void register_routine_datatype();

}  // namespace qel

// argument-fetch.h: argument descriptions and fetching the arguments of a call.
//
// A description is built once, when a function-like value is made, from the value's private
// deep copy of its spec, and is never rebuilt: nothing can change the spec it was read from. It
// lives in a heap-held byte series (which never moves) referred to by cell 1 of the value's
// "more" series, so a call reads it in place and allocates nothing. The entries that stand for
// parameters and refinements follow the spec's order, which is the order of the slots of the
// value's parameter context.
#pragma once

#include <cstdint>

#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "runtime/cell.h"

namespace qel {

enum class FetchMode : uint8_t { evaluated = 0, get = 1, literal = 2 };
enum class EntryKind : uint8_t { parameter, refinement, return_types };

// One entry: a parameter (its accepted types as a mask of type ids and how it is fetched), a
// refinement (its ordinal among the refinements, from 1), or the return types.
struct ArgEntry {
  uint64_t types;    // bit t set: type id t is accepted
  uint32_t symbol;   // the spec word's symbol
  uint16_t slot;     // the frame slot of a parameter or refinement
  uint8_t ordinal;   // refinements: 1, 2 ... in spec order
  EntryKind kind;
  FetchMode mode;
};

struct ArgDescription {
  uint32_t entry_count;
  uint32_t slot_count;        // parameters and refinements: the slots before /local
  uint32_t local_count;       // /local and the words after it (0 when there is no /local)
  uint32_t refinement_count;
  uint32_t fixed_count;       // mandatory parameters
  // 1 when every entry is a mandatory evaluated parameter (no refinement, get or literal
  // parameter, or return types): an ordinary call then fetches one expression per entry.
  // Also keeps the entries that follow 8-byte aligned.
  uint32_t plain;

  const ArgEntry* entries() const { return reinterpret_cast<const ArgEntry*>(this + 1); }
  bool accepts(const ArgEntry& entry, Type type) const { return (entry.types >> static_cast<unsigned>(type)) & 1; }
};

// arg-description-build: the description of a spec for a value of the kind (native!, action!,
// function! or routine!). A set-word other than return: raises script bad-func-def with it;
// type blocks are read with typeset-from-spec (invalid-type-spec, no-value). Answers the node.
NodeId arg_description_build(const Cell& spec, Type kind);

// The description of a function-like value (an op! answers the one of the value it wraps).
inline const ArgDescription& arg_description(const Cell& value) {
  const NodeId node = function_more_cell(value, kMoreDescription)->w2;
  return *reinterpret_cast<const ArgDescription*>(series_buffer(node)->head_address());
}

// Whether two descriptions lay out their arguments alike: the same parameters with the same
// fetch modes, the same refinements with the same arguments, in the same order.
bool arg_descriptions_match(const ArgDescription& a, const ArgDescription& b);

// eval-fetch-arguments: pushes the arguments of the call in the current frame from the code
// (or, in an apply mode, from the argument block the code walks), applies the path's
// refinements, and calls natives and actions. With infix the left operand is already the
// frame's first cell.
Status eval_fetch_arguments(const Cell& function, Code& code, const CallPath* path, const Cell& name,
                            uint32_t apply, bool infix);

}  // namespace qel

// action-entries.h: the 62 action entries, and calling an action or a native from C++.
//
// An entry is what an action! value calls: it reads the fixed arguments from the current frame
// (the first at base, which is also the result cell), takes one integer per refinement (-1 when
// absent, else the offset from base of the refinement's argument cell), turns those into flags
// and argument pointers, finds the function by the first argument's type and calls it, and
// leaves the result in the frame's result cell.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/throw.h"

namespace qel {

using ActionEntry = void (*)(const int32_t* refinements);
// A native's entry reads its arguments the same way; it may run Qel code, so it answers a Status.
using NativeEntry = Status (*)(const int32_t* refinements);

// The most refinements an action or native takes (the longest spec has 12).
inline constexpr size_t kMostRefinements = 32;

// Entry k of slot k (slot 8 is empty); an action! value carries its slot number in payload word 1.
extern std::array<ActionEntry, kActionSlots> action_entries;

// Copies the entries into slots 1 to n.
void register_action_entries(std::span<const ActionEntry> entries);
// The start-up step: registers the 62 entries of this file.
void init_action_entries();

inline ActionEntry action_entry(Act act) { return action_entries[slot_index(act)]; }

// A refinement offset as a datatype function takes it: a flag, or the argument cell (null when
// absent). An offset below -1, or an argument offset outside the frame, is a caller bug: 98.
bool refinement_flag(int32_t offset);
Cell* refinement_argument(int32_t offset);

// The value formed into UTF-8 text by the form entry, without a limit.
std::string form_value_text(const Cell& value);

// --- Calls from C++ -----------------------------------------------------------------------------

// One refinement of a call: its position (from 0) among the refinements, whether it is used,
// and its argument cells.
struct Refinement {
  size_t position;
  bool on = true;
  std::span<const Cell> args = {};
};
using Refinements = std::initializer_list<Refinement>;

// Calls an action as the interpreter does: a native frame named <anon>, the fixed arguments
// pushed, then every refinement's argument cells in order (a refinement that is off, or not
// listed, gets none! cells: its given cells with only the type byte changed), the entry called
// with each used refinement's offset and -1 for the others, the frame closed. The result is left
// as the caller frame's last pushed cell and answered. path-step and compare take an integer that
// is no refinement: C++ code calls lookup_action_or_fail and compare_values instead.
Cell& call_action(Act act, std::span<const Cell> args, Refinements refinements = {});
// The same for a native entry taking `refinement_count` refinements; a refinement not listed
// pushes no cells. A code the native answers (its frames already unwound) travels on as
// NonLocalExit.
Cell& call_native(NativeEntry entry, size_t refinement_count, std::span<const Cell> args,
                  Refinements refinements = {});

}  // namespace qel

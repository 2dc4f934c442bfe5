// native-table.h: the native entry table: 120 slots, of which the 107 named natives take slots
// 1 to 107 in their fixed order. A native! value names its native by slot number.
//
// An entry reads its arguments from the current frame's base (fixed arguments first, then the
// arguments of each refinement in the order the call gave them), takes one integer per
// refinement of its spec (-1 when absent, else the offset from the base of the refinement's
// first argument) and leaves its result in the frame's result cell.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/action-entries.h"

namespace qel {

inline constexpr uint32_t kNativeSlots = 120;
inline constexpr uint32_t kNamedNatives = 107;

// The slots of if, unless and either, which a planned call runs without the entry's dispatch.
inline constexpr uint32_t kIfSlot = 1;
inline constexpr uint32_t kUnlessSlot = 2;
inline constexpr uint32_t kEitherSlot = 3;

// The entry of native slot n (1-based); null for a slot whose native is not built yet.
NativeEntry native_entry(uint32_t slot);

// The comparison code (equal to greater-or-equal, 0 to 6) of a native slot whose entry is a
// comparison, else -1; by slot.
extern const std::array<int8_t, kNativeSlots + 1> native_compare_codes;

// register-native-entries: appends the entries at the running slot count (which starts at 1) and
// advances it; answers the first slot they took.
uint32_t register_native_entries(std::span<const NativeEntry> entries);

// The native slots whose entries this build has, in slot order.
struct NativeEntryRow {
  uint32_t slot;
  NativeEntry entry;
};
std::span<const NativeEntryRow> native_entry_rows();

// Whether an action slot has a word (every slot but path-step, the reserved slot and compare).
bool action_slot_has_word(uint32_t slot);

// init-native-entries: the start-up step: the interpreter's state, the print buffer, the entry
// table, then the values the specs name: datatype words, the language typesets, the natives
// whose entries exist, the actions and the operators over actions and natives.
void init_native_entries();

}  // namespace qel

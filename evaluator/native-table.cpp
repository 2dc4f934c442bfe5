// native-table.cpp: the native entry table, the entries this build has, and the start-up step.
#include "evaluator/native-table.h"

#include <array>

#include "evaluator/function-natives.h"
#include "evaluator/interpreter.h"
#include "evaluator/spec-table.h"
#include "evaluator/transcode-native.h"
#include "runtime/actions.h"
#include "runtime/quit.h"

namespace qel {

namespace {

std::array<NativeEntry, kNativeSlots> entries{};
uint32_t next_slot = 1;

// The natives built so far, by slot. The others keep an empty entry: their words stay unset.
constexpr NativeEntryRow kNativeEntryRows[] = {
    {14, native_func},   {15, native_function}, {16, native_does},
    {17, native_has},    {79, native_exit},     {80, native_return},
    {106, native_transcode},
};

}  // namespace

NativeEntry native_entry(uint32_t slot) { return slot >= 1 && slot <= kNativeSlots ? entries[slot - 1] : nullptr; }

uint32_t register_native_entries(std::span<const NativeEntry> list) {
  if (next_slot - 1 + list.size() > kNativeSlots) fatal_assertion();
  const uint32_t first = next_slot;
  for (NativeEntry entry : list) entries[next_slot++ - 1] = entry;
  return first;
}

std::span<const NativeEntryRow> native_entry_rows() { return kNativeEntryRows; }

bool action_slot_has_word(uint32_t slot) {
  return slot >= 1 && slot <= kActionSlots && slot != slot_number(Act::PathStep) && slot != slot_number(Act::Reserved) &&
         slot != slot_number(Act::Compare);
}

void init_native_entries() {
  interpreter_init();
  entries.fill(nullptr);
  next_slot = 1;
  std::array<NativeEntry, kNamedNatives> named{};
  for (const NativeEntryRow& row : kNativeEntryRows) named[row.slot - 1] = row.entry;
  register_native_entries(named);
  define_language_values();
}

}  // namespace qel

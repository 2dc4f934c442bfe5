// native-table.cpp: the native entry table, the entries this build has, and the start-up step.
#include "evaluator/native-table.h"

#include <array>

#include "datatypes/scalars/math-ops.h"
#include "evaluator/apply-native.h"
#include "evaluator/break-natives.h"
#include "evaluator/checksum-native.h"
#include "evaluator/clock-natives.h"
#include "evaluator/compare-natives.h"
#include "evaluator/compose-native.h"
#include "evaluator/compression-natives.h"
#include "evaluator/conditional-natives.h"
#include "evaluator/construct-native.h"
#include "evaluator/context-query-natives.h"
#include "evaluator/conversion-natives.h"
#include "evaluator/do-native.h"
#include "evaluator/environment-natives.h"
#include "evaluator/exit-natives.h"
#include "evaluator/function-natives.h"
#include "evaluator/interpreter.h"
#include "evaluator/loop-natives.h"
#include "evaluator/math-natives.h"
#include "evaluator/number-natives.h"
#include "evaluator/parse-native.h"
#include "evaluator/print-natives.h"
#include "evaluator/process-natives.h"
#include "evaluator/recycle-native.h"
#include "evaluator/reduce-native.h"
#include "evaluator/series-natives.h"
#include "evaluator/set-natives.h"
#include "evaluator/size-native.h"
#include "evaluator/spec-table.h"
#include "evaluator/stats-native.h"
#include "evaluator/system-values.h"
#include "evaluator/text-coding-natives.h"
#include "evaluator/transcode-native.h"
#include "evaluator/value-natives.h"
#include "evaluator/word-natives.h"
#include "runtime/actions.h"
#include "runtime/quit.h"

namespace qel {

namespace {

std::array<NativeEntry, kNativeSlots> entries{};
uint32_t next_slot = 1;

// The natives built so far, by slot. The others keep an empty entry: their words stay unset.
constexpr NativeEntryRow kNativeEntryRows[] = {
    {1, native_if},
    {2, native_unless},
    {3, native_either},
    {4, native_any},
    {5, native_all},
    {6, native_while},
    {7, native_until},
    {8, native_loop},
    {9, native_repeat},
    {10, native_forever},
    {11, native_foreach},
    {12, native_forall},
    {13, native_remove_each},
    {14, native_func},
    {15, native_function},
    {16, native_does},
    {17, native_has},
    {18, native_switch},
    {19, native_case},
    {20, native_do},
    {21, native_get},
    {22, native_set},
    {23, native_print},
    {24, native_prin},
    {25, native_compare<kCompareEqual>},
    {26, native_compare<kCompareNotEqual>},
    {27, native_compare<kCompareStrictEqual>},
    {28, native_compare<kCompareLesser>},
    {29, native_compare<kCompareGreater>},
    {30, native_compare<kCompareLesserOrEqual>},
    {31, native_compare<kCompareGreaterOrEqual>},
    {32, native_same},
    {33, native_not},
    {34, native_type},
    {35, native_reduce},
    {36, native_compose},
    {37, native_stats},
    {38, native_bind},
    {39, native_in},
    {40, native_parse},
    {41, native_set_operation<kOpUnion>},
    {42, native_set_operation<kOpIntersect>},
    {43, native_set_operation<kOpUnique>},
    {44, native_set_operation<kOpDifference>},
    {45, native_set_operation<kOpExclude>},
    {46, native_complement},
    {47, native_dehex},
    {48, native_enhex},
    {49, native_negative},
    {50, native_positive},
    {51, native_max},
    {52, native_min},
    {53, native_shift},
    {54, native_to_hex},
    {55, native_sine},
    {56, native_cosine},
    {57, native_tangent},
    {58, native_arcsine},
    {59, native_arccosine},
    {60, native_arctangent},
    {61, native_arctangent2},
    {62, native_nan},
    {63, native_log_2},
    {64, native_log_10},
    {65, native_log_e},
    {66, native_exp},
    {67, native_square_root},
    {68, native_construct},
    {69, native_value_q},
    {70, native_try},
    {71, native_uppercase},
    {72, native_lowercase},
    {73, native_as_pair},
    {74, native_as_point2d},
    {75, native_as_point3d},
    {76, native_as_money},
    {77, native_break},
    {78, native_continue},
    {79, native_exit},
    {80, native_return},
    {81, native_throw},
    {82, native_catch},
    {83, native_extend},
    {84, native_debase},
    {85, native_to_local_file},
    {86, native_wait},
    {87, native_checksum},
    {88, native_unset},
    {89, native_new_line},
    {90, native_new_line_q},
    {91, native_enbase},
    {92, native_context_q},
    {93, native_set_env},
    {94, native_get_env},
    {95, native_list_env},
    {96, native_now},
    {97, native_sign},
    {98, native_as},
    {99, native_call},
    {100, native_zero},
    {101, native_size},
    {102, native_browse},
    {103, native_compress},
    {104, native_decompress},
    {105, native_recycle},
    {106, native_transcode},
    {107, native_apply},
};

// One row per native, in slot order.
constexpr bool rows_in_slot_order() {
  for (size_t k = 1; k < std::size(kNativeEntryRows); ++k)
    if (kNativeEntryRows[k].slot <= kNativeEntryRows[k - 1].slot) return false;
  return true;
}
static_assert(rows_in_slot_order());
static_assert(kNativeEntryRows[kIfSlot - 1].entry == native_if && kNativeEntryRows[kUnlessSlot - 1].entry == native_unless &&
              kNativeEntryRows[kEitherSlot - 1].entry == native_either);

// The comparison code of each slot whose entry is a comparison, else -1.
constexpr std::array<int8_t, kNativeSlots + 1> compare_codes() {
  constexpr NativeEntry kComparisons[] = {
      native_compare<kCompareEqual>,         native_compare<kCompareNotEqual>, native_compare<kCompareStrictEqual>,
      native_compare<kCompareLesser>,        native_compare<kCompareLesserOrEqual>,
      native_compare<kCompareGreater>,       native_compare<kCompareGreaterOrEqual>};
  std::array<int8_t, kNativeSlots + 1> codes{};
  codes.fill(-1);
  for (const NativeEntryRow& row : kNativeEntryRows)
    for (int8_t code = 0; code < 7; ++code)
      if (row.entry == kComparisons[code]) codes[row.slot] = code;
  return codes;
}

}  // namespace

const std::array<int8_t, kNativeSlots + 1> native_compare_codes = compare_codes();

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
  print_natives_init();
  entries.fill(nullptr);
  next_slot = 1;
  std::array<NativeEntry, kNamedNatives> named{};
  for (const NativeEntryRow& row : kNativeEntryRows) named[row.slot - 1] = row.entry;
  register_native_entries(named);
  define_language_values();
  system_values_init();
}

}  // namespace qel

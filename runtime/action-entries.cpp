// action-entries.cpp: the 62 action entries, built from the action table of actions.h, and the
// calls of actions and natives made from C++.
#include "runtime/action-entries.h"

#include <tuple>
#include <type_traits>
#include <utility>

#include "datatypes/series/series.h"
#include "datatypes/series/utf8-encode.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/cycle-guard.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

std::array<ActionEntry, kActionSlots> action_entries{};

// The table of actions.h is indexed by slot.
static_assert([] {
  for (size_t k = 0; k < kActionSlots; ++k)
    if (slot_index(kActionSpecs[k].slot) != k) return false;
  return true;
}());

bool refinement_flag(int32_t offset) {
  if (offset < -1) fatal_assertion();
  return offset != -1;
}

Cell* refinement_argument(int32_t offset) {
  if (offset == -1) return nullptr;
  if (offset < 0 || offset >= value_stack.top - value_stack.base) fatal_assertion();
  return value_stack.base + offset;
}

namespace {

constexpr Cell logic_cell(bool flag) { return make_cell(Type::logic, flag ? 1 : 0); }

template <class T>
T refinement_value(int32_t offset);
template <>
bool refinement_value<bool>(int32_t offset) { return refinement_flag(offset); }
template <>
Cell* refinement_value<Cell*>(int32_t offset) { return refinement_argument(offset); }

// Whether parameter `fixed + r` of the function type is what refinement r of the action takes.
template <Act A, class Params, size_t... R>
constexpr bool refinements_match(std::index_sequence<R...>) {
  constexpr size_t fixed = fixed_argument_count(A);
  return (std::is_same_v<std::tuple_element_t<fixed + R, Params>,
                         std::conditional_t<refinement_takes_argument(A, R), Cell*, bool>> && ...);
}

// Leaves what the function answered as the frame's result, by the action's result mode.
template <Act A, class Result>
inline void finish(Result result) {
  constexpr ActionResult mode = action_spec(A).result;
  if constexpr (mode == ActionResult::copy) {
    static_assert(std::is_same_v<Result, Cell*>);
    *value_stack.base = *result;
  } else if constexpr (mode == ActionResult::logic) {
    static_assert(std::is_same_v<Result, bool>);
    *value_stack.base = logic_cell(result);
  } else {
    static_assert(mode == ActionResult::length && std::is_same_v<Result, int32_t>);
    *value_stack.base = result == -1 ? make_cell(Type::none) : make_cell(Type::integer, 0, static_cast<uint32_t>(result));
  }
}

// Calls fn with the frame's fixed cells and the refinements converted as its parameters say.
template <Act A, class R, class... P, size_t... F, size_t... I>
inline void invoke(R (*fn)(P...), const int32_t* refinements, std::index_sequence<F...>, std::index_sequence<I...>) {
  using Params = std::tuple<P...>;
  static_assert(sizeof...(P) == sizeof...(F) + sizeof...(I), "the slot's signature and its action text disagree");
  static_assert((std::is_same_v<std::remove_cvref_t<std::tuple_element_t<F, Params>>, Cell> && ...));
  static_assert(refinements_match<A, Params>(std::index_sequence<I...>{}));
  Cell* base = value_stack.base;
  if constexpr (std::is_void_v<R>)
    fn(base[F]..., refinement_value<std::tuple_element_t<sizeof...(F) + I, Params>>(refinements[I])...);
  else
    finish<A>(fn(base[F]..., refinement_value<std::tuple_element_t<sizeof...(F) + I, Params>>(refinements[I])...));
}

// The entry of an action without special handling.
template <Act A>
void plain_entry(const int32_t* refinements) {
  invoke<A>(lookup_action_for_stack_arg<A>(), refinements, std::make_index_sequence<fixed_argument_count(A)>{},
            std::make_index_sequence<refinement_count(A)>{});
}

// The entry of an action whose function reads the frame and writes the result itself.
template <Act A>
void self_entry(const int32_t*) {
  lookup_action_for_stack_arg<A>()();
}

// make and to: a datatype! first argument selects the type it names, passed on as its id.
template <Act A>
void make_entry(const int32_t*) {
  Cell* base = value_stack.base;
  Type type = cell_type(base[0]) == Type::datatype ? static_cast<Type>(base[0].w1 & 0xFF) : cell_type(base[0]);
  auto fn = reinterpret_cast<slot_fn<A>>(lookup_action(type, base[0], A));
  finish<A>(fn(base[0], base[1], type));
}

// path-step: one integer, non-zero for a set whose new value is the frame's third cell.
void path_step_entry(const int32_t* refinements) {
  Cell* base = value_stack.base;
  bool set = refinements[0] != 0;
  Cell* new_value = set ? refinement_argument(2) : nullptr;
  auto fn = lookup_action_or_fail(base[0], base[1], nullptr, -1);
  PathStep step{nullptr, nullptr, nullptr, nullptr, -1, false, !set, true, false};
  finish<Act::PathStep>(fn(base[0], base[1], new_value, step));
}

// compare-values: the comparison code comes as the one integer.
void compare_entry(const int32_t* refinements) {
  CycleScope walk;  // a compare nested in another walk leaves that walk's entries alone
  Cell* base = value_stack.base;
  *base = logic_cell(compare_values(base[0], base[1], refinements[0]));
}

// copy: /types takes a datatype! or typeset!; a fresh unset! cell is pushed for the copy.
void copy_entry(const int32_t* refinements) {
  Cell* part = refinement_argument(refinements[0]);
  bool deep = refinement_flag(refinements[1]);
  Cell* types = refinement_argument(refinements[2]);
  if (types && cell_type(*types) != Type::datatype && cell_type(*types) != Type::typeset) {
    Cell caller = stack_caller_name();
    raise_error(error_id("script", "expect-arg"), caller, datatype_cell(cell_type(*types)),
                services().function_spec_arg_word(5));
  }
  auto fn = lookup_action_for_stack_arg<Act::Copy>();
  Cell* result = stack_push_value(make_cell(Type::unset));
  finish<Act::Copy>(fn(value_stack.base[0], part, deep, types, *result));
}

// pick and poke: the index as a number, and the index cell itself for other index types.
void pick_entry(const int32_t*) {
  Cell* base = value_stack.base;
  int32_t index = pick_index_arg();
  finish<Act::Pick>(lookup_action_for_stack_arg<Act::Pick>()(base[0], index, base[1]));
}

void poke_entry(const int32_t*) {
  Cell* base = value_stack.base;
  int32_t index = pick_index_arg();
  finish<Act::Poke>(lookup_action_for_stack_arg<Act::Poke>()(base[0], index, base[1], base[2]));
}

// --- form and mold ---------------------------------------------------------------------------------

inline constexpr int32_t kNoLimit = 2147483647;
inline constexpr int64_t kOutputUnits = 16;

constexpr Cell string_cell(NodeId node) { return make_cell(Type::string, 0, node); }

// The limit of /part: the argument's integer, else no limit.
int32_t part_limit(const Cell* part) { return part ? static_cast<int32_t>(part->w2) : kNoLimit; }

// Runs a form or mold function on the frame's value into a fresh output string, cut to the
// limit; a limit below 1 gives an empty string without calling the function.
template <class Write>
void write_text_result(const Cell* part, Write&& write) {
  CycleScope walk;  // a mold nested in another walk leaves that walk's entries alone
  int32_t limit = part_limit(part);
  stack_keep_first();
  Cell* buffer = stack_push_value(string_cell(new_string_series(kOutputUnits, 1)));
  if (limit >= 1) {
    write(*buffer, limit);
    if (part && series_buffer_length(buffer->w2) > static_cast<uint32_t>(limit))
      series_buffer_set_tail(buffer->w2, static_cast<uint32_t>(limit) + 1);
  }
  *value_stack.base = *buffer;
}

void form_entry(const int32_t* refinements) {
  Cell* part = refinement_argument(refinements[0]);
  write_text_result(part, [&](Cell& buffer, int32_t limit) {
    const Cell& value = value_stack.base[0];
    lookup_action_for_value<Act::Form>(value)(value, buffer, part != nullptr, limit);
  });
}

void mold_entry(const int32_t* refinements) {
  bool only = refinement_flag(refinements[0]);
  bool all = refinement_flag(refinements[1]);
  bool flat = refinement_flag(refinements[2]);
  Cell* part = refinement_argument(refinements[3]);
  write_text_result(part, [&](Cell& buffer, int32_t limit) {
    const Cell& value = value_stack.base[0];
    lookup_action_for_value<Act::Mold>(value)(value, buffer, only, all, flat, part != nullptr, limit, 0);
  });
}

// --- append, insert and change: /part and /dup --------------------------------------------------------

// The series types whose cells hold an index into a buffer: those a /part count may take its
// cells from and whose index may be clamped.
constexpr bool part_series_type(Type type) {
  switch (type) {
    case Type::block: case Type::paren: case Type::hash: case Type::path: case Type::lit_path:
    case Type::set_path: case Type::get_path: case Type::string: case Type::file: case Type::url:
    case Type::tag: case Type::email: case Type::ref: case Type::binary: case Type::vector:
    case Type::image: case Type::map:
      return true;
    default:
      return false;
  }
}

// Moves a series value's index back to its tail when it lies past it; any other value (a scalar
// handed to insert or change, a port) has no buffer and is left for its type's action to judge.
void clamp_to_tail(Cell& series) {
  if (!part_series_type(cell_type(series))) return;
  // An image's length is its pixel count, not its record's.
  uint32_t length = cell_type(series) == Type::image ? static_cast<uint32_t>(series_total_length(series))
                                                     : series_buffer_length(series.w2);
  if (static_cast<int32_t>(series.w1) > static_cast<int32_t>(length)) series.w1 = length;
}

[[noreturn]] void invalid_refine_arg(const char* refinement, const Cell& argument) {
  raise_error(error_id("script", "invalid-refine-arg"), services().word_from_c_string(refinement), argument);
}

// The count of a /part argument measured on `series`: an integer!, or a series of the same type
// and buffer (its index less the series' index, both clamped to their tails).
int32_t part_count(Cell& series, Cell& part) {
  if (cell_type(part) == Type::integer) return static_cast<int32_t>(part.w2);
  if (cell_type(part) != cell_type(series) || part.w2 != series.w2 || cell_type(series) == Type::port)
    invalid_refine_arg("part", part);
  clamp_to_tail(series);
  clamp_to_tail(part);
  return static_cast<int32_t>(part.w1) - static_cast<int32_t>(series.w1);
}

// A negative count moves the series' index back by it (not below the head) and counts the
// units between; answers the count.
int32_t take_back(Cell& series, int32_t count) {
  if (count >= 0) return count;
  int32_t index = static_cast<int32_t>(series.w1);
  int32_t start = index + count < 0 ? 0 : index + count;
  series.w1 = static_cast<uint32_t>(start);
  return index - start;
}

// The refinements of append, insert and change: /part, /only and the /dup count (1 without).
struct InsertRefinements {
  Cell* part;
  bool only;
  int32_t dups;
};
InsertRefinements insert_refinements(const int32_t* refinements) {
  Cell* dup = refinement_argument(refinements[2]);
  return {refinement_argument(refinements[0]), refinement_flag(refinements[1]),
          dup ? static_cast<int32_t>(dup->w2) : 1};
}

// append and insert: the /part count is taken from the value inserted.
template <Act A>
void insert_entry(const int32_t* refinements) {
  Cell& series = value_stack.base[0];
  Cell& value = value_stack.base[1];
  InsertRefinements given = insert_refinements(refinements);
  if (A == Act::Insert) clamp_to_tail(series);
  int32_t count = -1;
  if (given.part) {
    if (!part_series_type(cell_type(value)) || value.w2 == 0)
      raise_error(error_id("script", "invalid-part"), *given.part);
    count = part_count(value, *given.part);
    if (count == 0 || (count < 0 && value.w1 == 0)) return;
    count = take_back(value, count);
  }
  if (given.dups < 1) return;
  lookup_action_for_stack_arg<A>()(series, value, count, given.only, given.dups, A == Act::Append);
}

// change: the /part count is measured on the series changed.
void change_entry(const int32_t* refinements) {
  Cell& series = value_stack.base[0];
  Cell& value = value_stack.base[1];
  InsertRefinements given = insert_refinements(refinements);
  bool fixed_place = cell_type(series) == Type::port || cell_type(series) == Type::image;
  if (!fixed_place) clamp_to_tail(series);
  int32_t count = -1;
  if (given.part) {
    count = part_count(series, *given.part);
    count = fixed_place && count < 0 ? 0 : take_back(series, count);
  }
  if (given.dups < 1) return;
  lookup_action_for_stack_arg<Act::Change>()(series, value, count, given.only, given.dups);
}

template <Act A>
constexpr ActionEntry own_entry_of() {
  constexpr ActionResult mode = action_spec(A).result;
  if constexpr (A == Act::Reserved) return nullptr;
  else if constexpr (A == Act::Make || A == Act::To) return make_entry<A>;
  else if constexpr (A == Act::PathStep) return path_step_entry;
  else if constexpr (A == Act::Compare) return compare_entry;
  else if constexpr (A == Act::Copy) return copy_entry;
  else if constexpr (A == Act::Pick) return pick_entry;
  else if constexpr (A == Act::Poke) return poke_entry;
  else if constexpr (A == Act::Form) return form_entry;
  else if constexpr (A == Act::Mold) return mold_entry;
  else if constexpr (A == Act::Append || A == Act::Insert) return insert_entry<A>;
  else if constexpr (A == Act::Change) return change_entry;
  else if constexpr (mode == ActionResult::self) return self_entry<A>;
  else return plain_entry<A>;
}

// A port's actions from append on belong to its actor. The port layer forwards the frame as it
// stands to an object! actor, before any of the entry's own reading of refinements; a handle!
// actor, and the actions the port layer runs through its own typed functions, go on by the
// entry like any other type's.
template <Act A, ActionEntry Entry>
void port_or_own_entry(const int32_t* refinements) {
  if (cell_type(value_stack.base[0]) == Type::port) [[unlikely]]
    if (services().port_forward(A, refinements)) return;
  Entry(refinements);
}

template <Act A>
constexpr ActionEntry entry_of() {
  if constexpr (slot_number(A) >= slot_number(Act::Append)) return port_or_own_entry<A, own_entry_of<A>()>;
  else return own_entry_of<A>();
}

template <size_t... K>
constexpr std::array<ActionEntry, kActionSlots> entries_of(std::index_sequence<K...>) {
  return {entry_of<act_of_slot(K + 1)>()...};
}

constexpr std::array<ActionEntry, kActionSlots> kEntries = entries_of(std::make_index_sequence<kActionSlots>{});

// Pushes the refinements' cells after the fixed arguments and answers each one's integer.
// takes_argument (null for a native) tells how many none! cells an unlisted refinement gets.
void push_refinements(size_t count, Refinements refinements, bool (*takes_argument)(size_t),
                      int32_t (&offsets)[kMostRefinements]) {
  if (count > kMostRefinements) fatal_assertion();
  for (const Refinement& refinement : refinements)
    if (refinement.position >= count) fatal_assertion();
  for (size_t r = 0; r < count; ++r) {
    offsets[r] = -1;
    const Refinement* given = nullptr;
    for (const Refinement& refinement : refinements)
      if (refinement.position == r) given = &refinement;
    if (!given) {
      if (takes_argument && takes_argument(r)) stack_push_value(make_cell(Type::none));
      continue;
    }
    if (takes_argument && given->args.size() != (takes_argument(r) ? 1u : 0u)) fatal_assertion();
    int32_t offset = static_cast<int32_t>(value_stack.top - value_stack.base);
    for (const Cell& arg : given->args) {
      Cell* cell = stack_push_value(arg);
      if (!given->on) cell->header = (cell->header & ~0xFFu) | static_cast<uint32_t>(Type::none);
    }
    if (given->on) offsets[r] = offset;
  }
}

// Calls an action entry, or a native entry whose non-zero Status travels on as NonLocalExit.
template <class Entry>
Cell& call_entry(Entry entry, size_t count, bool (*takes_argument)(size_t), std::span<const Cell> args,
                 Refinements refinements) {
  if (!entry) fatal_assertion();
  stack_open_frame(anon_symbol(), 0, kFrameNative);
  for (const Cell& arg : args) stack_push_value(arg);
  int32_t offsets[kMostRefinements];
  push_refinements(count, refinements, takes_argument, offsets);
  if constexpr (std::is_same_v<Entry, NativeEntry>) {
    if (Status status = entry(offsets); !status.ok()) throw_code(status.code());
  } else {
    entry(offsets);
  }
  Cell* result = value_stack.base;
  stack_close_frame();
  return *result;
}

// Whether refinement r of the action being called takes an argument (set around one call).
template <Act A>
bool takes_argument_of(size_t r) {
  constexpr size_t count = refinement_count(A);
  constexpr auto table = [] {
    std::array<bool, count + 1> takes{};
    for (size_t i = 0; i < count; ++i) takes[i] = refinement_takes_argument(A, i);
    return takes;
  }();
  return table[r];
}

template <size_t... K>
constexpr std::array<bool (*)(size_t), kActionSlots> argument_tables(std::index_sequence<K...>) {
  return {takes_argument_of<act_of_slot(K + 1)>...};
}
constexpr auto kTakesArgument = argument_tables(std::make_index_sequence<kActionSlots>{});

}  // namespace

void register_action_entries(std::span<const ActionEntry> entries) {
  if (entries.size() > kActionSlots) fatal_assertion();
  for (size_t k = 0; k < entries.size(); ++k) action_entries[k] = entries[k];
}

void init_action_entries() { register_action_entries(kEntries); }

std::string form_value_text(const Cell& value) {
  Cell& formed = call_action(Act::Form, std::array{value});
  SeriesBuffer* buffer = series_buffer(formed.w2);
  uint32_t unit = buffer->unit();
  uint32_t length = series_buffer_length(formed.w2);
  uint32_t index = formed.w1 < length ? formed.w1 : length;
  std::string text = utf8_from_units({buffer->head_address() + index * unit, length - index, unit}, false);
  stack_drop(1);
  return text;
}

Cell& call_action(Act act, std::span<const Cell> args, Refinements refinements) {
  // path-step and compare take an integer that is no refinement: C++ calls their dispatchers.
  if (act == Act::PathStep || act == Act::Compare || args.size() != fixed_argument_count(act)) fatal_assertion();
  return call_entry(action_entry(act), refinement_count(act), kTakesArgument[slot_index(act)], args, refinements);
}

Cell& call_native(NativeEntry entry, size_t refinement_count, std::span<const Cell> args, Refinements refinements) {
  return call_entry(entry, refinement_count, nullptr, args, refinements);
}

}  // namespace qel

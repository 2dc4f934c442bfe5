// routine.cpp: routine! values: the C++ routine table, building, the checked call, and the actions
// routine! does not take from function!.
#include "evaluator/routine.h"

#include <array>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block-core.h"
#include "evaluator/argument-fetch.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/quit.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

inline constexpr uint32_t kRoutineLimit = 512;
inline constexpr uint32_t kMostRoutineArguments = 32;
inline constexpr uint32_t kFewRoutineArguments = 4;

// One entry of the routine table: the name the library's specs find it by, and the function.
struct RoutineEntry {
  std::string name;
  RoutineFunction function = nullptr;
};
std::array<RoutineEntry, kRoutineLimit> routines{};
uint32_t routine_count = 0;

bool same_canonical(uint32_t symbol, uint32_t other) { return symbol_canonical(symbol) == symbol_canonical(other); }

// Whether a type word's value admits the type: a typeset holding it or the datatype itself.
bool type_word_admits(const Cell& word, Type type) {
  Cell lookup = word;
  const Cell& value = *word_value_read(lookup);
  if (cell_type(value) == Type::typeset) return typeset_has(value, type);
  return cell_type(value) == Type::datatype && static_cast<Type>(value.w1 & 0xFF) == type;
}

// One argument checked against the first word of its type block and passed by that word.
RoutineArgument routine_argument(Cell& argument, const Cell& spec, uint32_t spec_index) {
  RoutineArgument passed;
  passed.cell = &argument;
  if (spec_index + 1 >= series_buffer_length(spec.w2)) return passed;
  const Cell types = *block_cell_at(spec, spec_index + 1);
  if (cell_type(types) != Type::block) return passed;
  const Cell first = block_length(types) > 0 ? *block_cell_at(types, types.w1) : make_cell(Type::none);
  if (cell_type(first) != Type::word) raise_error(error_id("script", "invalid-type-spec"), first);
  if (word_is_any_type(first)) return passed;
  if (!type_word_admits(first, cell_type(argument))) {
    const Cell caller = stack_caller_name();
    raise_error(error_id("script", "expect-arg"), caller, datatype_cell(cell_type(argument)),
                make_cell(Type::word, 0, block_cell_at(spec, spec_index)->w2, kUnresolved));
  }
  if (same_canonical(first.w2, sym_logic_type)) passed.integer = argument.w1 != 0;
  if (same_canonical(first.w2, sym_integer_type)) passed.integer = integer_value(argument);
  if (same_canonical(first.w2, sym_float_type)) passed.real = payload_f64(argument);
  return passed;
}

// The result cell from the machine result, by the return type code.
void box_result(const RoutineResult& result, int32_t return_type) {
  Cell& cell = *value_stack.base;
  switch (return_type) {
    case kReturnLogic: cell = make_cell(Type::logic, result.integer != 0); return;
    case kReturnInteger: integer_make_at(cell, static_cast<int32_t>(result.integer)); return;
    case kReturnFloat:
      cell = make_cell(Type::float_);
      set_payload_f64(cell, result.real);
      return;
    default: return;
  }
}

int32_t routine_form(const Cell&, Cell& buffer, bool, int32_t limit) { return output_text(buffer, "?routine?", limit); }

int32_t routine_mold(const Cell& value, Cell& buffer, bool, bool all, bool flat, bool part, int32_t limit,
                     int32_t indent) {
  limit = output_text(buffer, "routine ", limit);
  const Cell spec = function_spec_block(value);
  limit = lookup_action_for_value<Act::Mold>(spec)(spec, buffer, false, all, flat, part, limit, indent);
  const Cell body = *function_more_cell(value, kMoreBody);
  limit = output_text(buffer, " ", limit);
  return lookup_action_for_value<Act::Mold>(body)(body, buffer, false, all, flat, part, limit, indent);
}

}  // namespace

uint32_t register_routine(std::string_view name, RoutineFunction function) {
  if (routine_count == kRoutineLimit || find_routine(name)) fatal_assertion();
  routines[routine_count] = {std::string(name), function};
  return routine_count++;
}

void register_routine_once(std::string_view name, RoutineFunction function) {
  if (!find_routine(name)) register_routine(name, function);
}

std::optional<uint32_t> find_routine(std::string_view name) {
  for (uint32_t index = 0; index < routine_count; ++index)
    if (routines[index].name == name) return index;
  return std::nullopt;
}

void reset_routines() { routine_count = 0; }

Cell routine_value_build(const Cell& spec, const Cell& body, uint32_t index, int32_t return_type, bool cell_arguments) {
  if (index >= routine_count ||
      (return_type != kReturnNothing && return_type != kReturnLogic && return_type != kReturnInteger &&
       return_type != kReturnFloat))
    fatal_assertion();
  Cell* top = value_stack.top;
  const Cell spec_copy = *block_copy_deep(spec, DeepCopy::blocks_paths);
  const Cell body_copy = cell_type(body) == Type::block ? *block_copy_deep(body, DeepCopy::blocks_paths) : make_cell(Type::none);
  const NodeId context = context_make_from_spec(spec_copy, true, false, 0);
  const NodeId more = function_more_make(5, arg_description_build(spec_copy, Type::routine));
  Cell* cells = series_buffer(more)->head_cell();
  cells[kMoreBody] = body_copy;
  integer_make_at(cells[kMoreCode], static_cast<int32_t>(index));
  integer_make_at(cells[kMoreObject], return_type);
  const uint32_t header = static_cast<uint32_t>(Type::routine) | (cell_arguments ? kRoutineCellArguments : 0);
  const Cell routine{header, context, spec_copy.w2, more};
  context_owner(context) = routine;
  value_stack.top = top;
  return routine;
}

namespace {

// A cell-address routine's arguments: the parameters' cells, found through the description.
uint32_t cell_arguments(const Cell& routine, std::span<RoutineArgument> arguments) {
  const ArgDescription& description = arg_description(routine);
  const ArgEntry* entries = description.entries();
  uint32_t parameters = 0;
  for (uint32_t k = 0; k < description.entry_count; ++k) {
    if (entries[k].kind != EntryKind::parameter) continue;
    if (parameters == arguments.size()) raise_error(error_id("internal", "limit-hit"), routine);
    arguments[parameters++].cell = value_stack.base + entries[k].slot;
  }
  return parameters;
}

// Any other routine's arguments: each checked against the first word of its type block in the
// spec and passed by that word.
uint32_t checked_arguments(const Cell& routine, std::span<RoutineArgument> arguments) {
  const ArgDescription& description = arg_description(routine);
  const Cell spec = function_spec_block(routine);
  // Each parameter's word in the spec and its slot in the frame.
  struct Parameter {
    uint32_t spec_index;
    uint32_t slot;
  };
  std::array<Parameter, kMostRoutineArguments> at;
  uint32_t parameters = 0;
  for (uint32_t i = 0, slot = 0; i < series_buffer_length(spec.w2) && slot < description.slot_count; ++i) {
    const Type type = cell_type(*block_cell_at(spec, i));
    if (type != Type::word && type != Type::get_word && type != Type::lit_word && type != Type::refinement) continue;
    if (slot >= kMostRoutineArguments) raise_error(error_id("internal", "limit-hit"), routine);
    if (type != Type::refinement) at[parameters++] = {i, slot};
    ++slot;
  }
  Cell* base = value_stack.base;
  for (uint32_t p = parameters; p-- > 0;) arguments[p] = routine_argument(base[at[p].slot], spec, at[p].spec_index);
  return parameters;
}

// The call with room for `room` arguments: most routines take a few, and the room is cleared
// on every call (a 32-argument room cleared per call cost a type predicate a third of its time).
template <uint32_t room>
void call_with_room(const Cell& routine) {
  std::array<RoutineArgument, room> arguments;
  const uint32_t parameters = routine.header & kRoutineCellArguments ? cell_arguments(routine, arguments)
                                                                     : checked_arguments(routine, arguments);
  const uint32_t index = static_cast<uint32_t>(integer_value(*function_more_cell(routine, kMoreCode)));
  const int32_t return_type = integer_value(*function_more_cell(routine, kMoreObject));
  const RoutineResult result = routines[index].function({arguments.data(), parameters});
  box_result(result, return_type);
}

}  // namespace

void eval_checked_call(const Cell& routine) {
  if (arg_description(routine).slot_count <= kFewRoutineArguments)
    call_with_room<kFewRoutineArguments>(routine);
  else
    call_with_room<kMostRoutineArguments>(routine);
}

void register_routine_datatype() {
  register_datatype(Type::routine, Type::function, "routine!",
                    ActionRow()
                        .inherit<Act::Make>()
                        .inherit<Act::Reflect>()
                        .set<Act::Form>(routine_form)
                        .set<Act::Mold>(routine_mold)
                        .inherit<Act::Compare>());
}

}  // namespace qel

// action-lookup.cpp: the action of a value's type, port actor tables and the comparison entries.
#include "runtime/action-lookup.h"

#include <vector>

#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/services.h"

namespace qel {

namespace {

// Registered actor tables, by handle value - 1. Only slots from append on are ever read.
std::vector<std::array<ActionFn, kActionSlots>> port_actors;

constexpr size_t kFirstPortSlot = slot_index(Act::Append);

}  // namespace

// --- Port actors ----------------------------------------------------------------------------------

uint32_t register_port_actor(const ActionRow& actor) {
  std::array<ActionFn, kActionSlots> table{};
  for (size_t k = kFirstPortSlot; k < kActionSlots; ++k) {
    RawSlot value = actor.slots()[k];
    table[k] = value == kInheritSlot ? nullptr : reinterpret_cast<ActionFn>(value);  // nothing to inherit from
  }
  port_actors.push_back(table);
  return static_cast<uint32_t>(port_actors.size());
}

void reset_port_actors() { port_actors.clear(); }

ActionFn port_actor_action(const Cell& port, Act act) {
  Cell actor = services().port_actor(port);
  if (cell_type(actor) != Type::handle) return nullptr;
  uint32_t index = actor.w2;
  if (index == 0 || index > port_actors.size()) raise_error(error_id("access", "invalid-actor"), port);
  ActionFn fn = port_actors[index - 1][slot_index(act)];
  if (!fn) raise_error(error_id("access", "no-port-action"));
  return fn;
}

// --- Lookup ---------------------------------------------------------------------------------------

void unsupported_action(Type type) {
  Cell caller = stack_caller_name();
  raise_error(error_id("script", "expect-arg"), caller, datatype_cell(type), services().function_spec_arg_word(0));
}

ActionFn lookup_action(Type type, const Cell& value, Act act) {
  size_t row = type_index(type) < kTypeTableRows ? type_index(type) : 0;
  if (type == Type::port && cell_type(value) == Type::port && slot_index(act) >= kFirstPortSlot)
    if (ActionFn fn = port_actor_action(value, act)) return fn;
  ActionFn fn = action_table[row][slot_index(act)];
  if (!fn) unsupported_action(static_cast<Type>(row));
  return fn;
}

namespace {

// A new series of the path's type holding its first n elements from its index (fewer when it
// has fewer).
Cell path_cut(const Cell& path, int64_t n) {
  uint32_t length = path.w2 ? series_buffer_length(path.w2) : 0;
  uint32_t from = path.w1 < length ? path.w1 : length;
  if (n < 0) n = 0;
  if (n > length - from) n = length - from;
  NodeId cut = new_cell_series(n ? n : 1);
  for (int64_t i = 0; i < n; ++i)
    *series_append_fresh_slot(cut) = series_buffer(path.w2)->head_cell()[from + static_cast<uint32_t>(i)];
  return make_cell(cell_type(path), 0, cut);
}

}  // namespace

slot_fn<Act::PathStep> lookup_action_or_fail(const Cell& value, const Cell& element, const Cell* path, int32_t index) {
  Type type = cell_type(value);
  ActionFn fn = action_table[type_index(type) < kTypeTableRows ? type_index(type) : 0][slot_index(Act::PathStep)];
  if (!fn) {
    if (!path) raise_error(error_id("script", "bad-path-type2"), element, datatype_cell(type));
    Cell cut = path_cut(*path, static_cast<int64_t>(index) + 1);
    raise_error(error_id("script", "bad-path-type"), *path, datatype_cell(type), cut);
  }
  return reinterpret_cast<slot_fn<Act::PathStep>>(fn);
}

int32_t pick_index_arg() {
  const Cell& index = value_stack.base[1];
  switch (cell_type(index)) {
    case Type::integer:
    case Type::char_:
      return static_cast<int32_t>(index.w2);
    case Type::logic:
      return index.w1 ? 1 : 2;
    default:
      return 0;
  }
}

// --- Comparison -----------------------------------------------------------------------------------

bool compare_values(const Cell& value1, const Cell& value2, int32_t code) {
  int32_t result = lookup_action_for_value<Act::Compare>(value1)(value1, value2, code);
  if (result == kNotComparable) {
    switch (code) {
      case kCompareEqual: case kCompareNotEqual: case kCompareStrictEqual: case kCompareSame:
      case kComparePathCase: case kComparePath: case kCompareFind:
        break;
      default:
        raise_error(error_id("script", "invalid-compare"), value1, value2);
    }
  }
  switch (code) {
    case kCompareEqual: case kCompareStrictEqual: case kCompareSame:
    case kComparePathCase: case kComparePath: case kCompareFind:
      return result == 0;
    case kCompareNotEqual: return result != 0;
    case kCompareLesser: return result < 0;
    case kCompareLesserOrEqual: return result < 1;
    case kCompareGreater: return result >= 1;
    case kCompareGreaterOrEqual: return result >= 0;
    default: fatal_no_match_switch();
  }
}

int32_t dispatch_compare(const Cell& value1, const Cell& value2, int32_t code) {
  auto compare = lookup_action_for_value<Act::Compare>(value1);
  auto order = [](uint32_t a, uint32_t b) { return a < b ? -1 : a > b ? 1 : 0; };
  if (cell_type(value1) == cell_type(value2)) {
    switch (cell_type(value1)) {
      case Type::logic:
        return static_cast<int32_t>(value1.w1 & 1) - static_cast<int32_t>(value2.w1 & 1);
      case Type::native: case Type::action: case Type::op:
        return order(value1.w1, value2.w1);
      case Type::function: case Type::routine:
        return order(value1.w3, value2.w3);
      default:
        break;
    }
  }
  return compare(value1, value2, code);
}

}  // namespace qel

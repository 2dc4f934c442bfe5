// native.cpp: native!, action! and op! values: building, canonical values, make, reflect, form,
// mold and compare.
#include "evaluator/native.h"

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "evaluator/argument-fetch.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "evaluator/native-table.h"
#include "runtime/action-lookup.h"
#include "runtime/actions.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/root-block.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The rooted block of canonical values: native slot n at n - 1, action slot n after them.
NodeId canonical_block = 0;

uint32_t canonical_position(Type type, uint32_t slot) {
  return type == Type::action ? kNativeSlots + slot - 1 : slot - 1;
}

// Whether a slot may be made: a native whose entry exists, or an action slot with a word.
bool slot_made(Type type, uint32_t slot) {
  if (type == Type::action) return slot >= 1 && slot <= kActionSlots && action_slot_has_word(slot);
  return slot >= 1 && slot <= kNamedNatives && native_entry(slot) != nullptr;
}

// make native! / make action! [spec slot].
Cell* native_make(Cell& type, Cell& spec, Type type_id) {
  auto refuse = [&] { raise_error(error_id("script", "bad-make-arg"), datatype_cell(type_id), spec); };
  if (cell_type(spec) != Type::block || block_length(spec) != 2) refuse();
  const Cell given = *block_cell_at(spec, spec.w1);
  const Cell number = *block_cell_at(spec, spec.w1 + 1);
  if (cell_type(given) != Type::block || cell_type(number) != Type::integer) refuse();
  const std::optional<Cell> made = native_value_checked(type_id, integer_value(number), given);
  if (!made) refuse();
  type = *made;
  return &type;
}

// make op! value.
Cell* op_make(Cell& type, Cell& spec, Type) {
  type = op_make_value(spec);
  return &type;
}

// The wrapped type of a value: an op!'s from its header, else its own.
Type underlying_type(const Cell& value) {
  return cell_type(value) == Type::op ? op_wrapped_type(value) : cell_type(value);
}

void native_reflect(Cell& value, Cell& field) {
  const uint32_t name = cell_type(field) == Type::word ? symbol_canonical(field.w2) : 0;
  const Type wrapped = underlying_type(value);
  if (name == symbol_canonical(sym_spec)) {
    value = function_spec_block(value);
  } else if (name == symbol_canonical(sym_body) && (wrapped == Type::function || wrapped == Type::routine)) {
    const Cell body = *function_more_cell(value, kMoreBody);
    value = cell_type(body) == Type::block ? *block_copy_deep(body, DeepCopy::blocks_paths) : body;
  } else if (name == symbol_canonical(sym_body)) {
    integer_make_at(value, static_cast<int32_t>(value.w1));
  } else {
    raise_error(error_id("internal", "not-done"));
  }
}

int32_t native_form(const Cell& value, Cell& buffer, bool, int32_t limit) {
  switch (cell_type(value)) {
    case Type::action: return output_text(buffer, "?action?", limit);
    case Type::op: return output_text(buffer, "?op?", limit);
    default: return output_text(buffer, "?native?", limit);
  }
}

// The spec's cells molded without brackets.
int32_t mold_spec_contents(const Cell& value, Cell& buffer, bool all, bool flat, bool part, int32_t limit,
                           int32_t indent) {
  const Cell spec = function_spec_block(value);
  return lookup_action_for_value<Act::Mold>(spec)(spec, buffer, true, all, flat, part, limit, indent);
}

int32_t native_mold(const Cell& value, Cell& buffer, bool, bool all, bool flat, bool part, int32_t limit,
                    int32_t indent) {
  limit = output_text(buffer, cell_type(value) == Type::action ? "make action! [" : "make native! [", limit);
  limit = mold_spec_contents(value, buffer, all, flat, part, limit, indent);
  return output_text(buffer, "]", limit);
}

int32_t op_mold(const Cell& value, Cell& buffer, bool, bool all, bool flat, bool part, int32_t limit, int32_t indent) {
  limit = output_text(buffer, "make op! ", limit);
  if (op_wrapped_type(value) != Type::function) {
    limit = output_text(buffer, "[", limit);
    limit = mold_spec_contents(value, buffer, all, flat, part, limit, indent);
    return output_text(buffer, "]", limit);
  }
  limit = output_text(buffer, "func ", limit);
  const Cell spec = function_spec_block(value);
  limit = lookup_action_for_value<Act::Mold>(spec)(spec, buffer, false, all, flat, part, limit, indent);
  const Cell body = *function_more_cell(value, kMoreBody);
  if (cell_type(body) != Type::block) return limit;
  limit = output_text(buffer, " ", limit);
  return lookup_action_for_value<Act::Mold>(body)(body, buffer, false, all, flat, part, limit, indent);
}

// Only values of one type compare, by their code.
int32_t native_compare(const Cell& value, const Cell& other, int32_t code) {
  if (cell_type(other) != cell_type(value) || !is_equality_or_sort_code(code)) return kNotComparable;
  return three_way(value.w1, other.w1);
}

// The op! spec rule: exactly two parameters, the left one a plain word.
bool op_spec_fits(const Cell& spec) {
  uint32_t count = 0;
  bool left = false;
  for (uint32_t i = spec.w1; i < series_buffer_length(spec.w2); ++i) {
    const Cell cell = *block_cell_at(spec, i);
    switch (cell_type(cell)) {
      case Type::word:
        ++count;
        left = true;
        break;
      case Type::lit_word:
      case Type::get_word:
        if (!left) return false;
        ++count;
        break;
      case Type::set_word:
        return count == 2;
      case Type::refinement:
        if (symbol_canonical(cell.w2) == symbol_canonical(sym_local) ||
            symbol_canonical(cell.w2) == symbol_canonical(ref_extern.w2))
          return count == 2;
        return false;
      default:
        break;
    }
  }
  return count == 2;
}

}  // namespace

std::optional<Cell> native_value_checked(Type type, int64_t slot, const Cell& spec) {
  if (slot < 1 || slot > UINT32_MAX || !slot_made(type, static_cast<uint32_t>(slot))) return std::nullopt;
  const Cell canonical = canonical_value(type, static_cast<uint32_t>(slot));
  Cell* top = value_stack.top;
  const Cell copy = *block_copy_deep(spec, DeepCopy::blocks_paths);
  const NodeId own = arg_description_build(copy, type);
  const NodeId description = function_more_cell(canonical, kMoreDescription)->w2;
  const ArgDescription& layout = *reinterpret_cast<const ArgDescription*>(series_buffer(own)->head_address());
  const bool fits = arg_descriptions_match(layout, arg_description(canonical));
  const Cell made = fits ? native_value_build(type, static_cast<uint32_t>(slot), copy, description) : Cell{};
  value_stack.top = top;
  if (!fits) return std::nullopt;
  return made;
}

Cell native_value_build(Type type, uint32_t slot, const Cell& spec, NodeId description) {
  Cell* top = value_stack.top;
  const Cell copy = *block_copy_deep(spec, DeepCopy::blocks_paths);
  if (!description) description = arg_description_build(copy, type);
  const NodeId more = function_more_make(2, description);
  series_buffer(more)->head_cell()[kMoreBody] = make_cell(Type::none);  // refinements are found by the description
  value_stack.top = top;
  return make_cell(type, slot, copy.w2, more);
}

void canonical_values_init() {
  canonical_block = new_cell_series(kNativeSlots + kActionSlots);
  for (uint32_t i = 0; i < kNativeSlots + kActionSlots; ++i) *series_append_fresh_slot(canonical_block) = make_cell(Type::none);
  root_slot_append(make_cell(Type::block, 0, canonical_block));
}

void set_canonical_value(const Cell& value) {
  series_buffer(canonical_block)->head_cell()[canonical_position(cell_type(value), value.w1)] = value;
}

Cell canonical_value(Type type, uint32_t slot) {
  return series_buffer(canonical_block)->head_cell()[canonical_position(type, slot)];
}

Cell op_make_value(const Cell& value) {
  const Type type = cell_type(value);
  if (type != Type::native && type != Type::action && type != Type::function && type != Type::routine)
    raise_error(error_id("script", "invalid-type"), datatype_cell(type));
  if (!op_spec_fits(function_spec_block(value))) raise_error(error_id("script", "bad-op-spec"));
  if (type == Type::function || type == Type::routine) *function_more_cell(value, kMoreOpSelf) = value;
  Cell op = value;
  op.header = (value.header & ~(0xFFu << 16) & ~kTypeByteMask) | static_cast<uint32_t>(Type::op) |
              static_cast<uint32_t>(type) << 16;
  return op;
}

void register_native_datatype() {
  register_datatype(Type::native, Type::none_id, "native!",
                    ActionRow()
                        .set<Act::Make>(native_make)
                        .set<Act::Reflect>(native_reflect)
                        .set<Act::Form>(native_form)
                        .set<Act::Mold>(native_mold)
                        .set<Act::Compare>(native_compare));
}

void register_action_datatype() {
  register_datatype(Type::action, Type::native, "action!",
                    ActionRow()
                        .set<Act::Make>(native_make)
                        .inherit<Act::Reflect>()
                        .inherit<Act::Form>()
                        .set<Act::Mold>(native_mold)
                        .inherit<Act::Compare>());
}

void register_op_datatype() {
  register_datatype(Type::op, Type::native, "op!",
                    ActionRow()
                        .set<Act::Make>(op_make)
                        .inherit<Act::Reflect>()
                        .inherit<Act::Form>()
                        .set<Act::Mold>(op_mold)
                        .inherit<Act::Compare>());
}

}  // namespace qel

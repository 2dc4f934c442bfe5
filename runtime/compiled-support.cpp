// compiled-support.cpp: argument checks, error helpers, words and slots set from the value
// stack, refinements, block finds, number conversion and text helpers.
#include "runtime/compiled-support.h"

#include <algorithm>
#include <cstring>

#include "datatypes/scalars/float.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/scalars/truth.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/string-core.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/shortcuts.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

Cell integer_cell(int32_t n) {
  Cell cell = make_cell(Type::integer);
  set_payload_i32(cell, 2, n);
  return cell;
}

// The last pushed value, refused when unset! (naming `name`).
Cell pushed_value(const Cell& name) {
  Cell value = *stack_last_value();
  if (cell_type(value) == Type::unset) raise_error(error_id("script", "no-value"), name);
  return value;
}

}  // namespace

void check_arg_type(const Cell& typeset, const Cell& argument, uint32_t index) {
  if (typeset_has(typeset, cell_type(argument))) return;
  raise_error(error_id("script", "expect-arg"), stack_caller_name(), datatype_cell(cell_type(argument)),
              services().function_spec_arg_word(index));
}

void check_optional_arg_type(int32_t index, const Cell& typeset, const Cell& argument) {
  if (index >= 0) check_arg_type(typeset, argument, static_cast<uint32_t>(index));
}

void check_refinement_arg_type(const Cell& refinement, const Cell& typeset, const Cell& argument, uint32_t index) {
  if (cell_truthy(refinement)) check_arg_type(typeset, argument, index);
}

void reject_unset_value(const Cell& value) {
  if (cell_type(value) == Type::unset) raise_error(error_id("script", "no-value"));
}

void raise_make_arg_error(const Cell& type, const Cell& spec) { raise_error(error_id("script", "bad-make-arg"), type, spec); }

void print_error_value(ErrorId id, std::span<const Cell> args) {
  const uint32_t depth = call_stack_depth();
  Cell* base = value_stack.base;
  Cell* top = value_stack.top;
  stack_open_frame(anon_symbol(), 0, kFrameNative);
  const Cell* error = stack_push_value(services().error_build(id, args));
  services().print(*error);
  stack_pop_frames_to(depth);
  value_stack.base = base;
  value_stack.top = top;
}

void set_word_from_stack_keep(Cell& word) { word_set(word, pushed_value(word)); }

void set_word_from_stack(Cell& word) {
  set_word_from_stack_keep(word);
  stack_reset_top();
}

Cell* get_word_value_checked(const Cell& word) {
  Cell* value = word_value_cell(word);
  if (cell_type(*value) == Type::unset) raise_error(error_id("script", "no-value"), word);
  return value;
}

Cell* context_slot_address(NodeId context, uint32_t slot) {
  Cell word = *context_word_at(context, slot);
  word.w3 = slot;
  return word_value_cell_core(word, context);
}

void set_context_slot_from_stack(NodeId context, uint32_t slot) {
  Cell value = pushed_value(*context_word_at(context, slot));
  *context_slot_address(context, slot) = value;
}

void set_context_slot_and_drop(NodeId context, uint32_t slot) {
  set_context_slot_from_stack(context, slot);
  stack_reset_top();
}

void set_context_value_at(NodeId context, uint32_t slot) {
  if (context_kind(context) == kObjectContext) context_word_at(context, slot)->header |= kWordSetInObject;
  set_context_slot_from_stack(context, slot);
}

void compiled_refinement_set(const Cell& value, uint32_t slot, uint32_t count) {
  Cell* cells = value_stack.base;
  if (cell_truthy(value)) {
    cells[slot] = make_cell(Type::logic, 1);
    return;
  }
  for (uint32_t i = 1; i <= count; ++i) set_value_type_byte(cells[slot + i], Type::none);
}

int64_t find_value_in_block(const Cell& block, const Cell& value, uint32_t stride, FoundAnswer answer) {
  if (cell_type(value) == Type::block) return -1;
  const Cell wanted = value;
  const uint32_t length = series_buffer_length(block.w2);
  if (stride == 0) stride = 1;
  // The word types find a word by its case-folded spelling: the canonical symbols are compared
  // directly, the wanted one read once.
  const bool by_symbol = shortcuts_enabled && is_word_type(cell_type(wanted));
  const uint32_t canonical = by_symbol ? symbol_canonical(wanted.w2) : 0;
  for (uint64_t i = block.w1; i < length; i += stride) {
    const Cell cell = series_buffer(block.w2)->head_cell()[i];
    if (cell_type(cell) != cell_type(wanted)) continue;
    if (by_symbol ? cell.w2 != wanted.w2 && symbol_canonical(cell.w2) != canonical
                  : !compare_values(wanted, cell, kCompareFind))
      continue;
    if (answer == FoundAnswer::cell_after) return i + 1 < length ? static_cast<int64_t>(i + 1) : -1;
    for (uint64_t j = i + 1; j < length; ++j)
      if (cell_type(series_buffer(block.w2)->head_cell()[j]) == Type::block) return static_cast<int64_t>(j);
    return -1;
  }
  return -1;
}

int32_t number_to_int32(const Cell& number) {
  switch (cell_type(number)) {
    case Type::integer: return payload_i32(number, 2);
    case Type::float_:
    case Type::percent:
      if (float_out_of_int_range(number)) raise_type_limit(Type::integer);
      return static_cast<int32_t>(float_value(number));  // truncation toward zero
    default: raise_error(error_id("script", "invalid-arg"), number);
  }
}

int32_t emit_indent(NodeId buffer, int32_t n, int32_t limit) {
  for (int32_t level = 0; level < n; ++level) series_append_ascii(buffer, "    ");
  return limit - 4 * std::max(n, 0);
}

Cell string_copy_part(const Cell& string, uint32_t start, uint32_t length) {
  const unsigned unit = series_buffer(string.w2)->unit();
  const uint32_t units = series_buffer_length(string.w2);
  start = std::min(start, units);
  length = std::min(length, units - start);
  NodeId node = new_string_series(length, unit);
  SeriesBuffer* source = series_buffer(string.w2);
  std::memcpy(series_reserve_tail_bytes(node, int64_t{length} * unit), source->head_address() + size_t{start} * unit,
              size_t{length} * unit);
  SeriesBuffer* copy = series_buffer(node);
  constexpr uint32_t kPlaceBits = kSeriesHeapHeld | kSeriesBig | kSeriesMark | kSeriesMiddleHead;
  copy->flags = (source->flags & ~(kPlaceBits | kSeriesOwned)) | (copy->flags & kPlaceBits);
  return make_cell(cell_type(string), 0, node);
}

Cell& form_frame_argument(bool part, int32_t limit) {
  const Cell value[] = {value_stack.base[0]};
  const Cell limit_cell[] = {integer_cell(limit)};
  return call_action(Act::Form, value, {Refinement{0, part, limit_cell}});
}

bool path_step_notifies(bool set, uint32_t elements, bool last, const Cell* parent, const Cell* previous) {
  if (!set || !last || elements < 2 || !parent) return false;
  if (any_block_type(cell_type(*parent))) return true;
  return cell_type(*parent) == Type::object && parent->w3 != 0 && previous && cell_type(*previous) == Type::word;
}

}  // namespace qel

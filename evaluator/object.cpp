// object.cpp: object! values: class ids, empty objects, and the select, reflect, modify and
// form, mold, path-step, put, compare and copy actions, and the change hooks.
#include "evaluator/object.h"

#include <optional>
#include <string>
#include <string_view>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-core.h"
#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "runtime/action-lookup.h"
#include "runtime/callback-bits.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/ownership.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The last class id handed out; 1 and 2 are error!'s and port!'s.
uint32_t last_class_id = 2;

// The object's field count, field words and field values; valid until the next safe point.
uint32_t field_count(const Cell& object) { return context_length(object.w1); }
Cell* field_word(const Cell& object, uint32_t slot) { return context_word_at(object.w1, slot); }
Cell& field_value(const Cell& object, uint32_t slot) {
  return series_buffer(context_cell(object.w1).w2)->head_cell()[slot];
}

// Whether a field argument is the word spelling `name`, letter case ignored; a value of any other
// type names no field.
bool names(const Cell& word, std::string_view name) {
  return cell_type(word) == Type::word && symbol_name_equal(symbol_name(word.w2), name, true);
}

// The word of a field, bound to the object, of the given word type.
Cell bound_field_word(const Cell& object, uint32_t slot, Type type) {
  return make_cell(type, object.w1, field_word(object, slot)->w2, slot);
}

// A new block of one cell per field, made by `cell_of`.
template <class CellOf>
Cell field_block(const Cell& object, CellOf cell_of) {
  Cell block;
  block_make_at(block, field_count(object));
  for (uint32_t slot = 0; slot < field_count(object); ++slot) cell_of(block, slot);
  return block;
}

// Appends a copy of the cell at the block's tail.
void append_cell(const Cell& block, const Cell& cell) {
  const Cell copy = cell;
  *block_append_fresh_slot(block) = copy;
}

// select object key: the value of the field the word names, or none.
Cell* object_select(Cell& object, Cell& key, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool) {
  const Type type = cell_type(key);
  if (type != Type::word && type != Type::set_word && type != Type::get_word && type != Type::lit_word)
    raise_error(error_id("script", "invalid-type"), datatype_cell(type));
  const int32_t slot = context_find_word(object.w1, key.w2, true);
  object = slot < 0 ? make_cell(Type::none) : field_value(object, static_cast<uint32_t>(slot));
  return &object;
}

// reflect object field: words, values, body, class, changed, owner or events?.
void object_reflect(Cell& object, Cell& field) {
  const Cell self = object;
  if (names(field, "words")) {
    object = field_block(self, [&](const Cell& b, uint32_t s) { append_cell(b, bound_field_word(self, s, Type::word)); });
  } else if (names(field, "values")) {
    object = field_block(self, [&](const Cell& b, uint32_t s) { append_cell(b, field_value(self, s)); });
  } else if (names(field, "body")) {
    Cell body;
    block_make_at(body, 2 * int64_t{field_count(self)});
    for (uint32_t s = 0; s < field_count(self); ++s) {
      append_cell(body, bound_field_word(self, s, Type::set_word));
      append_cell(body, field_value(self, s));
    }
    object = body;
  } else if (names(field, "class")) {
    integer_make_at(object, static_cast<int32_t>(self.w2));
  } else if (names(field, "changed")) {
    object = field_block(self, [&](const Cell& b, uint32_t s) {
      if (field_word(self, s)->header & kWordSetInObject) append_cell(b, bound_field_word(self, s, Type::word));
    });
  } else if (names(field, "owner")) {
    logic_make_at(object, (series_buffer(self.w1)->flags & kSeriesOwnerMark) != 0);
  } else if (names(field, "events?")) {
    logic_make_at(object, self.w3 != 0);
  } else {
    raise_error(error_id("internal", "not-done"));
  }
}

// modify object 'changed none clears the set marks of every field; 'owner records the series of
// the fields as owned by the object; 'owned releases them (none) or records them for the owner
// and field a block names.
Cell* object_modify(Cell& object, Cell& field, Cell& value, bool) {
  if (names(field, "changed")) {
    if (cell_type(value) != Type::none) raise_error(error_id("script", "invalid-arg"), value);
    for (uint32_t slot = 0; slot < field_count(object); ++slot) field_word(object, slot)->header &= ~kWordSetInObject;
  } else if (names(field, "owner")) {
    Cell self = object;
    series_set_owned(self, object, make_cell(Type::none));
  } else if (names(field, "owned")) {
    Cell self = object;
    if (cell_type(value) == Type::none) {
      series_clear_owned(self);
    } else if (cell_type(value) == Type::block) {
      const Cell* cells = series_buffer(value.w2)->head_cell() + value.w1;
      const uint32_t length = series_buffer_length(value.w2) - value.w1;
      const Cell none = make_cell(Type::none);
      series_set_owned(self, length > 0 ? cells[0] : none, length > 1 ? cells[1] : none);
    }
  } else {
    raise_error(error_id("script", "invalid-arg"), field);
  }
  object = value;
  return &object;
}

// form: each field as its word, ": " and the formed value, one per line.
int32_t object_form(const Cell& object, Cell& output, bool part, int32_t limit) {
  check_stack_headroom();
  if (mold_cycle_marker(object, output.w2, limit, false)) return limit;
  CyclePush walking(object.w1);
  for (uint32_t slot = 0; slot < field_count(object) && (!part || limit > 0); ++slot) {
    if (slot > 0) limit = output_text(output, "\n", limit);
    limit = output_text(output, symbol_name(field_word(object, slot)->w2), limit);
    limit = output_text(output, ": ", limit);
    const Cell value = field_value(object, slot);
    limit = lookup_action_for_value<Act::Form>(value)(value, output, part, limit);
  }
  return limit;
}

// mold: "make object! [", each field as a set-word and its molded value, "]".
int32_t object_mold(const Cell& object, Cell& output, bool, bool all, bool flat, bool part, int32_t limit,
                    int32_t indent) {
  return object_mold_as(object, "make object! [", output, all, flat, part, limit, indent);
}

// The slot of the field a word selector names; script invalid-path (the path, the selector)
// when there is none.
uint32_t selected_slot(const Cell& object, const Cell& element, const PathStep& step) {
  const int32_t slot = is_word_type(cell_type(element)) ? context_find_word(object.w1, element.w2, true) : -1;
  if (slot < 0) raise_error(error_id("script", "invalid-path"), step.path ? *step.path : object, element);
  return static_cast<uint32_t>(slot);
}

// Sets a field as a set-word does, so the object's on-change* is told.
void set_field(const Cell& object, uint32_t slot, const Cell& value) {
  Cell word = bound_field_word(object, slot, Type::word);
  word_set_core(word, value, object.w1, true);
}

// The path step: reads the field the word names, or sets it when a new value is given.
Cell* object_path_step(Cell& object, Cell& element, Cell* new_value, const PathStep& step) {
  const uint32_t slot = selected_slot(object, element, step);
  if (new_value) {
    set_field(object, slot, *new_value);
    return new_value;
  }
  object = field_value(object, slot);
  return &object;
}

// put object word value: sets the field through the path step.
Cell* object_put(Cell& object, Cell& key, Cell& value, bool) {
  if (cell_type(key) != Type::word) raise_error(error_id("script", "invalid-key-type"), datatype_cell(cell_type(key)));
  set_field(object, selected_slot(object, key, PathStep{nullptr, nullptr, nullptr, nullptr, -1, false, false, true, false}),
            value);
  object = value;
  return &object;
}

// compare: the same context is equal; else (not for same?) by field count, then field by field
// by the words' canonical symbols and the values; an object met again decides by the other.
int32_t object_compare(const Cell& a, const Cell& b, int32_t op) {
  check_stack_headroom();
  if (cell_type(b) != cell_type(a)) return kNotComparable;
  if (a.w1 == b.w1) return 0;
  if (op == kCompareSame) return -1;
  if (cycle_stack_contains(a.w1)) return cycle_stack_contains(b.w1) ? 0 : -1;
  if (int32_t order = three_way(field_count(a), field_count(b))) return order;
  CyclePush walking_a(a.w1);
  CyclePush walking_b(b.w1);
  for (uint32_t slot = 0; slot < field_count(a); ++slot) {
    const int32_t by_word =
        three_way(symbol_canonical(field_word(a, slot)->w2), symbol_canonical(field_word(b, slot)->w2));
    if (by_word) return by_word;
    const Cell x = field_value(a, slot), y = field_value(b, slot);
    if (int32_t answer = compare_element_cells(x, y, op)) return answer;
  }
  return 0;
}

// copy: a new object of the same class over a copy of the context that owns its series and
// functions, as a child of a prototype does, with hooks of its own.
Cell* object_copy(Cell& object, Cell*, bool, Cell*, Cell& result) {
  result = object;
  result.w3 = 0;
  context_clone(result, kObjectContext);
  object_own_inherited_values(result);
  object_install_hooks(result);
  return &result;
}

// The change-hook record: cell 0 for on-change*, cell 1 for on-deep-change*, each an integer!
// cell whose w1 is the handler's field slot (kNoHandler when none) and w2 its local count
// (spec-count-locals), both at full width.
constexpr uint32_t kNoHandler = 0xFFFFFFFF;
constexpr const char* kHandlerNames[] = {"on-change*", "on-deep-change*"};
// The callback bits the handlers run under (system/state/callbacks: change? and deep?).
constexpr uint32_t kHandlerCallbackBits[] = {kChangeCallback, kDeepChangeCallback};

// A handler of the record (0: on-change*, 1: on-deep-change*): its function and the word that
// names its frame.
struct Handler {
  Cell function;
  Cell name;
};

// The handler the record names when its field holds a function!; raises invalid-obj-evt for an
// object without a record.
std::optional<Handler> hook_handler(const Cell& object, uint32_t which) {
  if (object.w3 == 0) raise_error(error_id("script", "invalid-obj-evt"), object);
  const uint32_t slot = series_buffer(object.w3)->head_cell()[which].w1;
  if (slot == kNoHandler || slot >= field_count(object)) return std::nullopt;
  const Cell handler = field_value(object, slot);
  if (cell_type(handler) != Type::function) return std::nullopt;
  return Handler{handler, bound_field_word(object, slot, Type::word)};
}

// Runs the handler under a frame named after its field, as a callback of its kind; the
// arguments are held by the call.
void fire(const Cell& object, uint32_t which, std::span<const Cell> args) {
  const std::optional<Handler> handler = hook_handler(object, which);
  if (!handler) return;
  call_function_named(handler->function, args, handler->name, kHandlerCallbackBits[which]);
}

// The field slot of a handler, checked: a function!, none, unset or absent field is fine; any
// other value is script bad-field-set (the field word, its datatype).
uint32_t handler_slot(const Cell& object, const char* name) {
  const int32_t slot = context_find_word(object.w1, symbol_intern_cstring(name), true);
  if (slot < 0) return kNoHandler;
  const Type type = cell_type(field_value(object, static_cast<uint32_t>(slot)));
  if (type == Type::function) return static_cast<uint32_t>(slot);
  if (type == Type::none || type == Type::unset) return kNoHandler;
  raise_error(error_id("script", "bad-field-set"), bound_field_word(object, static_cast<uint32_t>(slot), Type::word),
              datatype_cell(type));
}

// The record cell of a handler slot: the slot and the handler's local count.
Cell record_cell(const Cell& object, uint32_t slot) {
  if (slot == kNoHandler) return make_cell(Type::integer, kNoHandler, 0, 0);
  const int32_t locals = spec_count_locals(function_spec_block(field_value(object, slot)), 0, false);
  return make_cell(Type::integer, slot, static_cast<uint32_t>(locals), 0);
}

}  // namespace

bool object_is_handler_field(const Cell& object, uint32_t slot) {
  const std::string_view name = symbol_name(field_word(object, slot)->w2);
  for (const char* handler : kHandlerNames)
    if (symbol_name_equal(name, handler, true)) return true;
  return false;
}

void object_install_hooks(Cell& object) {
  const uint32_t slots[] = {handler_slot(object, kHandlerNames[0]), handler_slot(object, kHandlerNames[1])};
  if (slots[0] == kNoHandler && slots[1] == kNoHandler) return;
  const NodeId record = new_cell_series(2);
  for (uint32_t slot : slots) *series_append_fresh_slot(record) = record_cell(object, slot);
  object.w3 = record;
  context_owner(object.w1) = object;
  if (slots[1] != kNoHandler) {
    Cell self = object;
    series_set_owned(self, object, make_cell(Type::none));
  }
}

void object_fire_field_change(const Cell& owner, const Cell& word, const Cell& old_value, const Cell& new_value) {
  const Cell args[] = {word, old_value, new_value};
  fire(owner, 0, args);
}

void object_fire_on_change(const OwnerChange& change) {
  const Cell args[] = {change.owner,     change.word,
                       change.value,     change.action,
                       change.new_value, make_cell(Type::integer, 0, static_cast<uint32_t>(change.index)),
                       make_cell(Type::integer, 0, static_cast<uint32_t>(change.part))};
  fire(change.owner, 1, args);
}

int32_t object_mold_as(const Cell& object, std::string_view opening, Cell& output, bool all, bool flat, bool part,
                       int32_t limit, int32_t indent) {
  check_stack_headroom();
  if (mold_cycle_marker(object, output.w2, limit, true)) return limit;
  CyclePush walking(object.w1);
  const std::string inner = flat ? " " : "\n" + std::string(4 * static_cast<size_t>(indent + 1), ' ');
  limit = output_text(output, opening, limit);
  for (uint32_t slot = 0; slot < field_count(object) && (!part || limit > 0); ++slot) {
    limit = output_text(output, slot == 0 && flat ? "" : inner, limit);
    limit = output_text(output, symbol_name(field_word(object, slot)->w2), limit);
    limit = output_text(output, ": ", limit);
    const Cell value = field_value(object, slot);
    limit = lookup_action_for_value<Act::Mold>(value)(value, output, false, all, flat, part, limit, indent + 1);
  }
  if (!flat && field_count(object) > 0) limit = output_text(output, "\n" + std::string(4 * static_cast<size_t>(indent), ' '), limit);
  return output_text(output, "]", limit);
}

uint32_t object_next_class_id() { return ++last_class_id; }

Cell object_make_empty(int64_t n) {
  const NodeId context = context_make(n, false, false, 0, kObjectContext);
  const Cell object = make_cell(Type::object, context, 0, 0);
  context_owner(context) = object;
  return object;
}

Cell object_with_none_fields(std::span<const char* const> names) {
  const Cell object = object_make_empty(static_cast<int64_t>(names.size()));
  const Cell none = make_cell(Type::none);
  for (const char* name : names)
    context_add_value(object.w1, make_cell(Type::word, 0, symbol_intern_cstring(name), kUnresolved), none);
  return object;
}

void register_object_datatype() {
  services().object_fire_field_change = object_fire_field_change;
  services().object_fire_on_change = object_fire_on_change;
  services().object_reflect = [](const Cell& object, const Cell& field) {
    Cell value = object, word = field;
    object_reflect(value, word);
    return value;
  };
  register_datatype(Type::object, Type::none_id, "object!",
                    ActionRow()
                        .set<Act::Make>(object_make_action)
                        .set<Act::Select>(object_select)
                        .set<Act::Reflect>(object_reflect)
                        .set<Act::Modify>(object_modify)
                        .set<Act::Form>(object_form)
                        .set<Act::Mold>(object_mold)
                        .set<Act::PathStep>(object_path_step)
                        .set<Act::Put>(object_put)
                        .set<Act::Compare>(object_compare)
                        .set<Act::Copy>(object_copy));
}

}  // namespace qel

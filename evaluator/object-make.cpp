// object-make.cpp: making objects (make object! from a prototype or a type and a spec),
// collecting a spec's set-words, the values a new object takes for itself from its prototype,
// and setting every field from one value.
#include <span>

#include "datatypes/series/block-core.h"
#include "datatypes/series/string-core.h"
#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "evaluator/object.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The cells of a block from its index (clamped) to its tail; re-read at each access, so an
// evaluation in between does not leave a stale pointer.
struct BlockCells {
  NodeId node;
  uint32_t begin;
  uint32_t end;

  BlockCells() : node(0), begin(0), end(0) {}  // no cells
  explicit BlockCells(const Cell& block) : node(block.w2), end(series_buffer_length(block.w2)) {
    begin = block.w1 < end ? block.w1 : end;
  }
  Cell at(uint32_t i) const { return series_buffer(node)->head_cell()[i]; }
  bool set_word_at(uint32_t i) const { return cell_type(at(i)) == Type::set_word; }
  // The first of the run of set-words that ends the block (end when there is none).
  uint32_t trailing_run() const {
    uint32_t i = end;
    while (i > begin && set_word_at(i - 1)) --i;
    return i;
  }
};

uint32_t field_count(const Cell& object) { return context_length(object.w1); }
Cell& field_value(const Cell& object, uint32_t slot) {
  return series_buffer(context_cell(object.w1).w2)->head_cell()[slot];
}
// The field word of the slot, bound to the object.
Cell field_word(const Cell& object, uint32_t slot) {
  return make_cell(Type::word, object.w1, context_word_at(object.w1, slot)->w2, slot);
}

// Whether the symbol spells one of the names, letter case ignored.
bool spelled_as(uint32_t symbol, std::initializer_list<uint32_t> names) {
  for (uint32_t name : names)
    if (symbol_canonical(symbol) == symbol_canonical(name)) return true;
  return false;
}

// The value a literal spec gives: the words true, yes and on give true; false, no and off
// false; none none; every other value itself, unevaluated.
Cell literal_value(const Cell& value) {
  if (cell_type(value) != Type::word) return value;
  if (spelled_as(value.w2, {sym_true, sym_yes, sym_on})) return make_cell(Type::logic, 1);
  if (spelled_as(value.w2, {sym_false, sym_no, sym_off})) return make_cell(Type::logic, 0);
  if (spelled_as(value.w2, {sym_none})) return make_cell(Type::none);
  return value;
}

// Sets the context's slot of the set-word's symbol, firing nothing.
void set_collected(NodeId context, const Cell& set_word, const Cell& value) {
  Cell word = make_cell(Type::word, context, set_word.w2, kUnresolved);
  word_set_core(word, value, context, false);
}

// The types whose values a new object copies for itself rather than share with its prototype.
bool copied_series_type(Type type) {
  return any_block_type(type) || is_text_type(type) || type == Type::binary || type == Type::vector ||
         type == Type::image;
}

// A function made again from its spec and a deep copy of its body bound to the context (its
// own parameters then bound to its new context), so the body refers to that object's fields.
Cell function_rebound(const Cell& function, NodeId context) {
  Cell* top = value_stack.top;
  Cell body = *function_more_cell(function, kMoreBody);
  if (cell_type(body) == Type::block) {
    body = *block_copy_deep(body, DeepCopy::blocks_paths);  // held on the stack until built
    bind_block_deep(body, context, true);
  }
  const Cell rebuilt = function_value_build(function_spec_block(function), body,
                                            function.header & (kFunctionTraceFlag | kFunctionNoTraceFlag));
  value_stack.top = top;
  return rebuilt;
}

// Clears the set marks of every field word and the new-line markers of every value.
void clear_marks(const Cell& object) {
  for (uint32_t slot = 0; slot < field_count(object); ++slot) {
    context_word_at(object.w1, slot)->header &= ~kWordSetInObject;
    value_clear_flag_30(field_value(object, slot));
  }
}

// Adds the spec object's fields to the object (their values copied); true when a word was new.
bool merge_object(const Cell& object, const Cell& spec) {
  bool added = false;
  for (uint32_t slot = 0; slot < field_count(spec); ++slot) {
    const Cell word = field_word(spec, slot);
    added |= context_find_word(object.w1, word.w2, true) < 0;
    context_set_value(object.w1, word, field_value(spec, slot));
  }
  return added;
}

// Evaluates the spec (bound to the object already) up to its trailing run of set-words, which
// collecting gave none; the value is dropped.
void evaluate_spec(const Cell& spec) {
  const BlockCells cells(spec);
  const uint32_t run = cells.trailing_run();
  if (run == cells.begin) return;
  Cell* top = value_stack.top;
  GcRoot<Cell> code(spec);
  if (run < cells.end) {  // only a spec that ends in set-words is cut, into a shallow copy
    block_make_at(*code, run - cells.begin);
    for (uint32_t i = cells.begin; i < run; ++i) block_append_copy(*code, cells.at(i));
  }
  throw_if_exit(eval_block(*code, false));
  value_stack.top = top;
}

}  // namespace

Cell* object_make_action(Cell& type, Cell& spec, Type) {
  type = object_make(type, spec);
  return &type;
}

bool object_collect_set_words(NodeId context, const Cell& spec, SpecValues mode) {
  const bool added = collect_set_words(context, spec);
  const BlockCells cells(spec);
  for (uint32_t i = cells.begin; i < cells.end;) {
    if (!cells.set_word_at(i)) {
      ++i;
      continue;
    }
    uint32_t after = i;
    while (after < cells.end && cells.set_word_at(after)) ++after;
    if (mode != SpecValues::evaluated || after == cells.end) {
      Cell value = make_cell(Type::none);
      if (after < cells.end) value = mode == SpecValues::literal ? literal_value(cells.at(after)) : cells.at(after);
      for (uint32_t k = i; k < after; ++k) set_collected(context, cells.at(k), value);
    }
    i = after + 1;
  }
  return added;
}

void object_own_inherited_values(const Cell& object) {
  check_stack_headroom();
  for (uint32_t slot = 0; slot < field_count(object); ++slot) {
    Cell value = field_value(object, slot);
    const Type type = cell_type(value);
    if (type == Type::function) {
      const Cell rebound = function_rebound(value, object.w1);
      field_value(object, slot) = rebound;
    } else if (copied_series_type(type)) {
      Cell copy;
      lookup_action_for_value<Act::Copy>(value)(value, nullptr, true, nullptr, copy);
      field_value(object, slot) = copy;  // held by the object before binding walks it
      if (any_block_type(cell_type(copy))) bind_block_deep(copy, object.w1, true);
    }
  }
}

namespace {

// The new object's start: a copy of the prototype object (its hooks installed again at the end),
// or an empty object for any other prototype.
void start_object(Cell& made, const Cell& prototype) {
  if (cell_type(prototype) != Type::object) {
    made = object_make_empty(4);
    return;
  }
  made = prototype;
  context_clone(made, kObjectContext);
  made.w3 = 0;
}

// The class id and the owner cell once the fields are collected: a new class when fields were
// added or there was no prototype.
void settle_class(Cell& made, bool added, bool inherits) {
  if (added || !inherits) made.w2 = object_next_class_id();
  context_owner(made.w1) = made;  // what self reads while a spec runs
}

void finish_object(Cell& made) {
  clear_marks(made);
  object_install_hooks(made);
}

}  // namespace

Cell object_make(const Cell& prototype, const Cell& spec) {
  const Type spec_type = cell_type(spec);
  if (spec_type != Type::block && spec_type != Type::object)
    raise_error(error_id("syntax", "malconstruct"), datatype_cell(Type::object), spec);
  const bool inherits = cell_type(prototype) == Type::object;
  GcRoot<Cell> made;
  start_object(*made, prototype);
  const bool added = spec_type == Type::object ? merge_object(*made, spec)
                                               : object_collect_set_words(made->w1, spec, SpecValues::evaluated);
  settle_class(*made, added, inherits);
  if (spec_type == Type::block) {
    bind_block_deep(spec, made->w1, true);
    if (inherits) object_own_inherited_values(*made);
    evaluate_spec(spec);
  }
  finish_object(*made);
  return *made;
}

Cell object_construct(const Cell& prototype, const Cell& spec, bool logic_words_kept) {
  const bool inherits = cell_type(prototype) == Type::object;
  GcRoot<Cell> made;
  start_object(*made, prototype);
  const SpecValues mode = logic_words_kept ? SpecValues::literal_words : SpecValues::literal;
  settle_class(*made, object_collect_set_words(made->w1, spec, mode), inherits);
  if (inherits) object_own_inherited_values(*made);
  finish_object(*made);
  return *made;
}

void object_set_from_value(const Cell& object, const Cell& value, bool any, bool only, bool some) {
  const Type type = cell_type(value);
  const bool block = !only && any_block_type(type);
  const bool source_object = !only && type == Type::object;
  const BlockCells items = block ? BlockCells(value) : BlockCells();
  // Step 1: the item of each field, by position or by namesake; false leaves the field alone.
  auto item_of = [&](uint32_t slot, Cell& out) -> bool {
    if (block) {
      out = items.begin + slot < items.end ? items.at(items.begin + slot) : make_cell(Type::none);
    } else if (source_object) {
      const int32_t found = context_find_word(value.w1, context_word_at(object.w1, slot)->w2, true);
      if (found < 0) return false;
      out = field_value(value, static_cast<uint32_t>(found));
    } else {
      out = value;
    }
    return !(some && (block || source_object) && cell_type(out) == Type::none);
  };
  // Step 2: before anything is set, no unset! among the items paired in order with the fields.
  if (!some && !any && (block || source_object)) {
    const uint32_t paired = block ? items.end - items.begin : field_count(value);
    for (uint32_t slot = 0; slot < field_count(object) && slot < paired; ++slot) {
      const Cell item = block ? items.at(items.begin + slot) : field_value(value, slot);
      if (cell_type(item) == Type::unset) raise_error(error_id("script", "need-value"), field_word(object, slot));
    }
  }
  // Steps 3-6: each field set as a set-word sets it (marked, its on-change* told); the handler
  // fields of an object with hooks only marked.
  for (uint32_t slot = 0; slot < field_count(object); ++slot) {
    Cell item;
    if (!item_of(slot, item)) continue;
    if (object.w3 != 0 && object_is_handler_field(object, slot)) {
      context_word_at(object.w1, slot)->header |= kWordSetInObject;
      continue;
    }
    Cell word = field_word(object, slot);
    word_set_core(word, item, object.w1, true);
  }
}


}  // namespace qel

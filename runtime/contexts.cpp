// contexts.cpp: context records, word tables, setting and reading words, binding, and the
// global context.
#include "runtime/contexts.h"

#include <algorithm>
#include <array>

#include "runtime/call-trace.h"
#include "runtime/collector.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/hash-table.h"
#include "runtime/language-thread.h"
#include "runtime/murmur-hash.h"
#include "runtime/quit.h"
#include "runtime/root-block.h"
#include "runtime/runtime-record.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/shortcuts.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

NodeId global_context_node = 0;
NodeId global_values_node = 0;

namespace {


void mark_global_context() { collector_mark_context(global_context_node); }

// Whether a frame's word refers to a function! (call traces list only those).
bool word_holds_function(const Cell& word) {
  if (word.w1 == 0) return false;
  const Cell* value = context_word_value_cell(word.w2, word.w1);
  return value && cell_type(*value) == Type::function;
}

// The argument cell of a slot of a running stack context (values: the first argument's
// value-stack index + 1).
Cell* stack_argument(uint32_t values, uint32_t slot) { return stack_cell_at(values - 1 + slot); }

NodeId word_table(NodeId context) { return context_cell(context).w1; }

// The probe of a symbol in a word table: canonical ids compared when up_to_case, else ids.
Probe probe_symbol(const TableView& view, uint32_t symbol, bool up_to_case) {
  const uint32_t canonical = symbol_canonical(symbol);
  const Cell* words = series_buffer(view.record->block)->head_cell();
  const uint32_t hash = word_hash(canonical);
  return table_probe(view, hash, [&, tag = bucket_tag(hash)](uint32_t bucket) {
    if (view.tags[bucket] != tag) return false;
    uint32_t other = words[view.keys[bucket]].w2;
    return up_to_case ? symbol_canonical(other) == canonical : other == symbol;
  });
}

// Appends a word! of the symbol bound to its new slot, and indexes it. Answers the slot.
int32_t add_word(NodeId context, uint32_t symbol) {
  NodeId table = word_table(context);
  hashtable_grow_if_full(table);
  NodeId words = table_record(table).block;
  const uint32_t slot = series_buffer_length(words);
  *series_append_fresh_slot(words) = make_cell(Type::word, context, symbol, slot);
  TableView view = table_view(table);
  Probe probe = probe_symbol(view, symbol, false);
  table_occupy(view, probe.bucket, static_cast<int32_t>(slot), word_hash(symbol_canonical(symbol)));
  return static_cast<int32_t>(slot);
}

// A new slot's value: unset!, appended to the values block.
void add_unset_value(NodeId context) {
  *series_append_fresh_slot(context_cell(context).w2) = make_cell(Type::unset);
}

// Rebinds every word of the words block to its context (after a copy).
void rebind_words(NodeId context) {
  NodeId words = context_words(context);
  SeriesBuffer* buffer = series_buffer(words);
  for (Cell* word = buffer->head_cell(); word < buffer->tail_cell(); ++word) word->w1 = context;
}

// A new record: the context! cell and an unset! owner.
NodeId new_context_record(const Cell& context_value) {
  NodeId record = new_cell_series(2);
  *series_append_fresh_slot(record) = context_value;
  series_append_fresh_slot(record);
  return record;
}

// The cells of a block from its index: (node, first position, end position).
struct CellRange {
  NodeId node;
  uint32_t begin;
  uint32_t end;
};
CellRange cells_from_index(const Cell& block) {
  uint32_t length = series_buffer_length(block.w2);
  return {block.w2, std::min(block.w1, length), length};
}

// One level of bind-block-deep.
void bind_cells(const Cell& block, NodeId context, uint32_t self_symbol) {
  check_stack_headroom();
  CyclePush level(block.w2);
  CellRange range = cells_from_index(block);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    Cell& cell = series_buffer(range.node)->head_cell()[i];
    Type type = cell_type(cell);
    if (type == Type::word && self_symbol && symbol_canonical(cell.w2) == self_symbol) {
      cell.w1 = context;
      cell.w3 = kUnresolved;
    } else if (is_any_word(type)) {
      bind_word(context, cell);
    } else if (any_block_type(type) && !cycle_stack_contains(cell.w2)) {
      Cell nested = cell;
      bind_cells(nested, context, self_symbol);
    }
  }
}

}  // namespace

NodeId context_words(NodeId context) { return table_record(word_table(context)).block; }
uint32_t& context_words_flags(NodeId context) { return series_buffer(context_words(context))->flags; }
uint32_t context_length(NodeId context) { return series_buffer_length(context_words(context)); }

Cell* context_word_at(NodeId context, uint32_t slot) {
  if (slot >= context_length(context)) fatal_assertion();
  return series_buffer(context_words(context))->head_cell() + slot;
}

NodeId context_make(int64_t n, bool on_stack, bool flag, NodeId prototype_table, uint32_t kind) {
  NodeId table = prototype_table ? hashtable_copy_prototype(prototype_table)
                                 : hashtable_new(std::max<int64_t>(n, 1), 0, TableKind::words, 0);
  uint32_t header = static_cast<uint32_t>(Type::context) | (kind & 3) << kContextKindShift;
  if (on_stack) header |= kContextOnStack;
  if (flag) header |= kContextFlag;
  NodeId values = on_stack ? 0 : new_cell_series(std::max<int64_t>(n, 1));
  NodeId context = new_context_record(Cell{header, table, values, 0});
  if (prototype_table) {
    rebind_words(context);
    if (!on_stack)
      for (uint32_t i = 0, length = context_length(context); i < length; ++i) add_unset_value(context);
  }
  return context;
}

NodeId context_clone(Cell& owner, uint32_t kind) {
  Cell cell = context_cell(owner.w1);
  cell.header = (cell.header & ~(3u << kContextKindShift)) | (kind & 3) << kContextKindShift;
  cell.w1 = hashtable_copy_prototype(cell.w1);
  cell.w2 = cell.header & kContextOnStack ? 0 : copy_series_buffer(cell.w2);  // a copy is not running
  NodeId context = new_context_record(cell);
  rebind_words(context);
  owner.w1 = context;
  context_owner(context) = owner;
  return context;
}

NodeId context_make_from_spec(const Cell& spec, bool on_stack, bool flag, uint32_t kind) {
  GcRoot<Cell> kept(spec);
  CellRange range = cells_from_index(spec);
  int64_t words = 0;
  auto counted = [](Type type) {
    return type == Type::word || type == Type::get_word || type == Type::lit_word || type == Type::refinement;
  };
  for (uint32_t i = range.begin; i < range.end; ++i) words += counted(cell_type(series_buffer(range.node)->head_cell()[i]));
  NodeId context = context_make(words, on_stack, flag, 0, kind);
  for (uint32_t i = range.begin; i < range.end; ++i) {
    Cell cell = series_buffer(range.node)->head_cell()[i];
    if (counted(cell_type(cell))) context_add_word(cell.w2, context);
  }
  return context;
}

bool collect_set_words(NodeId context, const Cell& block) {
  CellRange range = cells_from_index(block);
  bool grew = false;
  for (uint32_t i = range.begin; i < range.end; ++i) {
    Cell cell = series_buffer(range.node)->head_cell()[i];
    if (cell_type(cell) != Type::set_word || context_find_word(context, cell.w2, true) >= 0) continue;
    context_add_word(cell.w2, context);
    grew = true;
  }
  return grew;
}

namespace {

// Where a symbol was last found in a context: a guess, keyed by (context, symbol, up to case)
// in a small direct-mapped table, that a find checks against the words block before answering
// it. Only finds that reached the very spelling are kept, and words are only ever appended, so a
// word of that symbol id at the guessed slot is the one the probe would find again; a stale
// entry (a context node reused, a colliding key) fails the check and only costs the probe.
struct FoundSlot {
  NodeId context;
  uint32_t key;  // the symbol id shifted left once, bit 0 up_to_case
  uint32_t slot;
};
constexpr uint32_t kFoundSlotBits = 9;
thread_local std::array<FoundSlot, size_t{1} << kFoundSlotBits> found_slots{};

FoundSlot& found_slot(NodeId context, uint32_t key) {
  return found_slots[(context * 0x9E3779B1u + key * 0x85EBCA6Bu) >> (32 - kFoundSlotBits)];
}

// The probe of a find that the remembered slot did not answer, which remembers a slot that
// reached the very spelling. Out of line: a find answered by its remembered slot then saves no
// registers for it.
[[gnu::noinline]] int32_t find_word_by_probe(NodeId context, NodeId table, uint32_t symbol, bool up_to_case,
                                             uint32_t key, FoundSlot& guess) {
  const TableView view = table_view(table);
  Probe probe = probe_symbol(view, symbol, up_to_case);
  if (!probe.found) return -1;
  const uint32_t slot = view.keys[probe.bucket];
  if (series_buffer(view.record->block)->head_cell()[slot].w2 == symbol)
    guess = {context, key, slot};
  return static_cast<int32_t>(slot);
}

}  // namespace

int32_t context_find_word(NodeId context, uint32_t symbol, bool up_to_case) {
  const NodeId table = word_table(context);
  SeriesBuffer* words = series_buffer(table_record(table).block);
  const uint32_t length = (words->tail - words->head) / sizeof(Cell);
  const uint32_t key = symbol << 1 | (up_to_case ? 1 : 0);
  FoundSlot& guess = found_slot(context, key);
  if (shortcuts_enabled && guess.context == context && guess.key == key && guess.slot < length &&
      words->head_cell()[guess.slot].w2 == symbol)
    return static_cast<int32_t>(guess.slot);
  return find_word_by_probe(context, table, symbol, up_to_case, key, guess);
}

int32_t context_find_or_add_word(NodeId context, uint32_t symbol, bool up_to_case, int32_t& slot) {
  slot = context_find_word(context, symbol, up_to_case);
  if (slot >= 0) return slot;
  slot = add_word(context, symbol);
  return -1;
}

Cell context_add_word(uint32_t symbol, NodeId context) {
  int32_t slot;
  if (context_find_or_add_word(context, symbol, true, slot) < 0 && !context_on_stack(context)) add_unset_value(context);
  return make_cell(Type::word, context, symbol, static_cast<uint32_t>(slot));
}

int32_t context_find_or_add(NodeId context, const Cell& word) {
  int32_t slot = context_find_word(context, word.w2, true);
  if (slot >= 0 || context_on_stack(context)) return slot;
  slot = add_word(context, word.w2);
  add_unset_value(context);
  return slot;
}

bool context_add_value(NodeId context, const Cell& word, const Cell& value) {
  if (context_find_word(context, word.w2, true) >= 0) return false;
  Cell copy = value;
  int32_t slot = context_find_or_add(context, word);
  if (slot < 0) fatal_assertion();  // a stack context has no values of its own
  series_buffer(context_cell(context).w2)->head_cell()[slot] = copy;
  return true;
}

void context_set_value(NodeId context, const Cell& word, const Cell& value) {
  Cell copy = value;
  Cell bound = make_cell(Type::word, context, word.w2, kUnresolved);
  word_set_core(bound, copy, context, false);
}

Cell* context_word_value_cell(uint32_t symbol, NodeId context) {
  if (context_on_stack(context)) context = global_context_node;
  int32_t slot = context_find_word(context, symbol, true);
  return slot < 0 ? nullptr : series_buffer(context_cell(context).w2)->head_cell() + slot;
}

void word_set_core(Cell& word, const Cell& value, NodeId context, bool notify) {
  if (context == 0) raise_error(error_id("script", "not-defined"), word);
  if (word.w3 == kUnresolved) word.w3 = static_cast<uint32_t>(context_find_or_add(context, word));
  const Cell& header = context_cell(context);
  if (header.w2 == 0) raise_error(error_id("script", "not-defined"), word);
  if (word.w3 == kUnresolved || word.w3 >= context_length(context)) raise_error(error_id("script", "not-in-context"), word);
  const uint32_t slot = word.w3;
  if (header.header & kContextOnStack) {
    *stack_argument(header.w2, slot) = value;
    return;
  }
  Cell* values = series_buffer(header.w2)->head_cell();
  if (context_kind(context) != kObjectContext) {
    values[slot] = value;
    return;
  }
  context_word_at(context, slot)->header |= kWordSetInObject;
  const Cell& owner = context_owner(context);
  if (!notify || cell_type(owner) != Type::object || owner.w3 == 0) {
    values[slot] = value;
    return;
  }
  // The handler runs the evaluator: everything it is given is held by value and rooted.
  GcRoot<Cell> old_value(values[slot]), new_value(value), field(word), owner_value(owner);
  values[slot] = value;
  services().object_fire_field_change(*owner_value, *field, *old_value, *new_value);
}

void word_set_integer(Cell& word, int32_t n) {
  Cell value = make_cell(Type::integer);
  set_payload_i32(value, 2, n);
  word_set(word, value);
}

Cell* word_value_cell_core(const Cell& word, NodeId context) {
  if (context == 0) raise_error(error_id("script", "no-value"), word);
  const Cell& header = context_cell(context);
  if (word.w3 == kUnresolved) {
    // The global context's own record, and the word self that binding an object's spec leaves
    // unresolved, read the owner cell: self is the object.
    if (context == global_context_node) return &context_owner(global_context_node);
    if (context_kind(context) == kObjectContext && symbol_name_equal(symbol_name(word.w2), "self", true))
      return &context_owner(context);
    raise_error(error_id("script", "no-value"), word);
  }
  if (header.w2 == 0 || word.w3 >= context_length(context)) raise_error(error_id("script", "not-in-context"), word);
  if (header.header & kContextOnStack) return stack_argument(header.w2, word.w3);
  return series_buffer(header.w2)->head_cell() + word.w3;
}

bool bind_word(NodeId context, Cell& word) {
  int32_t slot = context_find_word(context, word.w2, true);
  if (slot < 0) return false;
  word.w1 = context;
  word.w3 = static_cast<uint32_t>(slot);
  return true;
}

void bind_block_deep(const Cell& block, NodeId context, bool self) {
  CycleScope scope;
  bind_cells(block, context, self ? symbol_canonical(symbol_intern_cstring("self")) : 0);
}

void global_context_init() {
  global_context_node = context_make(kGlobalContextSlots, false, false, 0, 0);
  global_values_node = context_cell(global_context_node).w2;
  collector_remove_root(mark_global_context);
  collector_add_root(mark_global_context);
  set_call_trace_context(word_holds_function, global_context_node);
}


void global_set_value(uint32_t symbol, const Cell& value) {
  context_set_value(global_context_node, make_cell(Type::word, global_context_node, symbol, kUnresolved), value);
}

Cell* global_value_cell(uint32_t symbol) {
  Cell* cell = context_word_value_cell(symbol, global_context_node);
  if (!cell) fatal_assertion();
  return cell;
}

Cell global_add_word(uint32_t symbol) {
  Cell word = context_add_word(symbol, global_context_node);
  if (runtime.boot_flag) root_slot_append(word);
  return word;
}

Cell word_from_c_string(const char* name) { return global_add_word(symbol_intern_cstring(name)); }

Cell refinement_from_c_string(const char* name) {
  Cell refinement = make_cell(Type::refinement, 0, symbol_intern_cstring(name), 0);
  root_slot_append(refinement);
  return refinement;
}

Cell issue_from_c_string(const char* name) {
  Cell issue = make_cell(Type::issue, global_context_node, symbol_intern_cstring(name), kUnresolved);
  root_slot_append(issue);
  return issue;
}

void register_context_datatype() { register_datatype(Type::context, Type::none_id, "context!", ActionRow()); }

}  // namespace qel

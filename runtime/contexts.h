// contexts.h: contexts (symbols bound to value slots), words, binding and the global context.
//
// A context is a record series of two cells reached by its node: the context! cell and the
// owner cell (the object! or function! owning it; unset! at first). The context! cell: header
// bit 22 when the values live on the value stack, bits 11-12 the kind (2: object), bit 24 a
// flag given at creation; w1 the word table (kind 2) whose indexed block is the words block;
// w2 the values block, or for a stack context the value-stack index of the running call's first
// argument + 1 (0 while it is not running). Slot n is word n of the words block and value n of
// the values block; the two blocks always have the same length.
//
// A word cell holds (context node, symbol id, slot index or -1 while unresolved). Lookups
// compare canonical symbols unless asked for the exact spelling, so Foo and foo name one slot.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"

namespace qel {

inline constexpr uint32_t kContextOnStack = 1u << 22;
inline constexpr uint32_t kContextFlag = 1u << 24;
inline constexpr uint32_t kContextKindShift = 11;
inline constexpr uint32_t kObjectContext = 2;
// On a word of an object's words block: the field has been set.
inline constexpr uint32_t kWordSetInObject = 0x2000;
inline constexpr int64_t kGlobalContextSlots = 4000;
inline constexpr uint32_t kUnresolved = 0xFFFFFFFF;

// The global context and its values block, both fixed once start-up has made them (0 before):
// a global word's value is read without going through the context's own cell.
extern NodeId global_context_node;
extern NodeId global_values_node;

// The context! cell and the owner cell of a context; valid until the next safe point.
inline Cell& context_cell(NodeId context) { return series_buffer(context)->head_cell()[0]; }
inline Cell& context_owner(NodeId context) { return series_buffer(context)->head_cell()[1]; }
inline uint32_t context_kind(NodeId context) { return (context_cell(context).header >> kContextKindShift) & 3; }
inline bool context_on_stack(NodeId context) { return context_cell(context).header & kContextOnStack; }
// A stack context's values word: the running call's first argument index + 1, or 0 (the call
// frames set and restore it through context_values_slot).
inline uint32_t* context_values_word(NodeId context) { return &context_cell(context).w2; }

// context-words, context-words-flags, context-word-at: the words block, its buffer flags word
// and the word of slot n.
NodeId context_words(NodeId context);
uint32_t& context_words_flags(NodeId context);
Cell* context_word_at(NodeId context, uint32_t slot);
// Slots so far.
uint32_t context_length(NodeId context);

// --- Making ---------------------------------------------------------------------------------------

// context-make: a context for n words: the word table (copied from a prototype table, with its
// words, when one is given), a values block of n cells unless on the stack, the kind.
NodeId context_make(int64_t n, bool on_stack, bool flag, NodeId prototype_table, uint32_t kind);
// context-clone: the owner's context copied (words and values) with its words rebound to the
// copy, which becomes the owner's context; answers it.
NodeId context_clone(Cell& owner, uint32_t kind);
// context-make-from-spec: one slot per word!, get-word!, lit-word! and refinement! of the spec.
NodeId context_make_from_spec(const Cell& spec, bool on_stack, bool flag, uint32_t kind);
// collect-set-words: adds every set-word! of the block from its index; true when it added any.
bool collect_set_words(NodeId context, const Cell& block);

// --- Finding and adding ---------------------------------------------------------------------------

// context-find-word: the slot of the symbol, or -1; up_to_case compares canonical ids.
int32_t context_find_word(NodeId context, uint32_t symbol, bool up_to_case);
// context-find-or-add-word: the slot, stored in `slot` too; when absent a word is appended and
// indexed (no value), its new slot stored in `slot`, and -1 answered.
int32_t context_find_or_add_word(NodeId context, uint32_t symbol, bool up_to_case, int32_t& slot);
// context-add-word: a word! of that spelling bound to the symbol's slot, added (unset!) when absent.
Cell context_add_word(uint32_t symbol, NodeId context);
// context-find-or-add: the word's slot, added (unset!) when absent and the values are in a
// block; -1 for a symbol absent from a stack context.
int32_t context_find_or_add(NodeId context, const Cell& word);
// context-add-value: adds the symbol with a copy of the value; false when it was present.
bool context_add_value(NodeId context, const Cell& word, const Cell& value);
// context-set-value: the value into the symbol's slot, added when absent.
void context_set_value(NodeId context, const Cell& word, const Cell& value);
// context-word-value-cell: the symbol's value cell (a stack context looks in the global
// context instead); null when absent.
Cell* context_word_value_cell(uint32_t symbol, NodeId context);

// --- Words ------------------------------------------------------------------------------------------

// word-set-core: sets the word in the context (resolving and caching its slot, adding the
// symbol when absent). An object field set marks its word and, with notify, fires the owner's
// on-change* with the old and new values. Raises not-defined for a stack context that is not
// running and not-in-context for a symbol a running one lacks, writing nothing.
void word_set_core(Cell& word, const Cell& value, NodeId context, bool notify);
void word_set_integer(Cell& word, int32_t n);
// word-value-cell-core: the word's value cell; not-in-context for a context without values;
// an unresolved word raises no-value, except in the global context and for the word self in an
// object's context, which read the context's owner cell.
// An unbound word (no context) raises no-value.
Cell* word_value_cell_core(const Cell& word, NodeId context);

// The fast route of resolved words: the value cell of a slot of a context keeping its values
// in a block (with `plain`, only of a context that is no object's, whose sets notify nobody);
// null for every other case, which takes the full route.
inline Cell* block_context_slot(NodeId context, uint32_t slot, bool plain) {
  if (context == 0) [[unlikely]] return nullptr;
  NodeId values_node = global_values_node;  // the global context is plain and in a block
  if (context != global_context_node) {
    const Cell& header = series_buffer(context)->head_cell()[0];
    const uint32_t rules = kContextOnStack | (plain ? 3u << kContextKindShift : 0);
    if (header.header & rules) [[unlikely]] return nullptr;
    values_node = header.w2;
  }
  SeriesBuffer* values = series_buffer(values_node);
  if (slot >= (values->tail - values->head) / sizeof(Cell)) [[unlikely]] return nullptr;  // -1 included
  return values->head_cell() + slot;
}

// word-value-cell: the word's value cell in its own context.
inline Cell* word_value_cell(const Cell& word) {
  if (Cell* cell = block_context_slot(word.w1, word.w3, false)) [[likely]] return cell;
  return word_value_cell_core(word, word.w1);
}

// word-set: sets the word in its own context, notifying.
inline void word_set(Cell& word, const Cell& value) {
  if (Cell* cell = block_context_slot(word.w1, word.w3, true)) [[likely]] {
    *cell = value;
    return;
  }
  word_set_core(word, value, word.w1, true);
}

// The words binding reaches: word!, set-word!, get-word!, lit-word!.
constexpr bool is_any_word(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::get_word || type == Type::lit_word;
}

// bind-word: binds the word to the context when the context holds its symbol.
bool bind_word(NodeId context, Cell& word);
// bind-block-deep: binds every word of the block from its index, and of the blocks, parens,
// paths and hashes in it; a block met inside itself is not walked again. With `self`, a word!
// spelled self is bound to the context with index -1.
void bind_block_deep(const Cell& block, NodeId context, bool self);

// --- The global context -------------------------------------------------------------------------

// global-context: the context of 4,000 slots, a collector root; the call traces learn from
// it which frame words refer to functions.
void global_context_init();
inline NodeId global_context() { return global_context_node; }
// global-set-value, global-value-cell (the symbol must be there), global-add-word (also rooted
// in the root block while the boot flag is set).
void global_set_value(uint32_t symbol, const Cell& value);
Cell* global_value_cell(uint32_t symbol);
Cell global_add_word(uint32_t symbol);

// register-context-datatype: context! (no parent), every action slot empty.
void register_context_datatype();

// word-from-c-string: the global word of that exact spelling; refinement-from-c-string: an
// unbound refinement! (index 0); issue-from-c-string: an issue! of the global context, index -1.
// The refinement and the issue each take a fresh root slot.
Cell word_from_c_string(const char* name);
Cell refinement_from_c_string(const char* name);
Cell issue_from_c_string(const char* name);

}  // namespace qel

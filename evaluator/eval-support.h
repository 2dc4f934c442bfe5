// eval-support.h: what the interpreter's parts share: frame bits and closing by the push flag,
// frame names, reading and setting words from code, and the type an op! wraps.
#pragma once

#include <array>
#include <cstdint>

#include "evaluator/interpreter.h"
#include "runtime/call-stack.h"
#include "runtime/cell.h"
#include "runtime/contexts.h"

namespace qel {

// Frame bits for a frame opened from the code: library code opens frames without the
// interpreter mark.
inline uint32_t frame_bits(const Code& code, uint32_t bits) { return code.library ? bits & ~kFrameInterpMark : bits; }

// Closes the current frame: with push its result stays pushed in the caller's frame, else it
// becomes the caller's only cell.
void close_frame_for(bool push);

// A produced value: pushed, or the current frame's only cell.
inline void produce(const Cell& value, bool push) {
  if (push)
    stack_push_value(value);
  else
    stack_set_result_only(value);
}

// Where a value produced under the push flag lies: the last pushed cell, or the result cell.
inline Cell* produced_cell(bool push) { return push ? stack_last_value() : value_stack.base; }

// Frame names: <body>, <anon> and set-path.
inline Cell body_word() { return make_cell(Type::word, 0, body_symbol(), kUnresolved); }
inline Cell anon_word() { return make_cell(Type::word, 0, anon_symbol(), kUnresolved); }
extern uint32_t set_path_symbol;
inline Cell set_path_word() { return make_cell(Type::word, 0, set_path_symbol, kUnresolved); }
// Interns the names above (with the symbol table, at start-up).
void eval_symbols_init();

// The word family a word's value can be read through: word!, set-word!, get-word!, lit-word!.
constexpr bool any_word_type(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::get_word || type == Type::lit_word;
}

// Whether a value is called when met: native!, action!, function! and routine!.
constexpr bool callable_type(Type type) {
  return type == Type::native || type == Type::action || type == Type::function || type == Type::routine;
}

// Whether a word whose value has the type id reads as that value: no function to call, no op,
// not unset.
inline constexpr std::array<bool, 256> kPlainWordValues = [] {
  std::array<bool, 256> plain{};
  for (size_t t = 0; t < plain.size(); ++t) {
    const Type type = static_cast<Type>(t);
    plain[t] = !callable_type(type) && type != Type::unset && type != Type::op;
  }
  return plain;
}();

// The type an op! wraps, from its header bits 16-23.
inline Type op_wrapped_type(const Cell& op) { return static_cast<Type>((op.header >> 16) & 0xFF); }

// The function an op! value wraps, as a cell the call and the in-place arithmetic take.
inline Cell op_function(const Cell& op) {
  Cell function = op;
  set_value_type_byte(function, op_wrapped_type(op));
  return function;
}

// The fast routes of a resolved word: its slot in a context keeping its values in a block (with
// `plain`, only of a context that is no object's, whose sets notify nobody), or a running
// function's argument cell on the value stack (the values word is the first argument's index
// + 1); null for every other case, which takes the full route. One look at the context's header
// tells the two apart, so a function's word does not try the block route first.
inline Cell* word_fast_slot(const Cell& word, bool plain) {
  const NodeId context = word.w1;
  if (context == 0) [[unlikely]] return nullptr;
  NodeId values_node = global_values_node;  // the global context is plain and in a block
  if (context != global_context_node) {
    const Cell& header = series_buffer(context)->head_cell()[0];
    if (header.header & kContextOnStack) {
      if (header.w2 == 0 || word.w3 == kUnresolved) return nullptr;
      const uint64_t at = uint64_t{header.w2} - 1 + word.w3;
      return at < kValueStackCells ? stack_cell_at(static_cast<uint32_t>(at)) : nullptr;
    }
    if (plain && (header.header & (3u << kContextKindShift))) [[unlikely]] return nullptr;
    values_node = header.w2;
  }
  SeriesBuffer* values = series_buffer(values_node);
  if (word.w3 >= (values->tail - values->head) / sizeof(Cell)) [[unlikely]] return nullptr;  // -1 included
  return values->head_cell() + word.w3;
}

// Resolves an unresolved word in its context (adding no slot), caching the slot in the cell;
// false when it cannot.
bool resolve_word(Cell& word);

// The routes of word_value_read and word_value_quiet past the two fast ones.
Cell* word_value_read_slow(Cell& word);
const Cell* word_value_quiet_slow(Cell& word);

// The value cell of a word read from code: an unresolved word is resolved in its context and
// its slot cached in the cell. Raises as word-value-cell does for a word with no context or a
// context without values; an unresolved word of the global context reads unset. A resolved word
// of a block context or of a running function is a few loads.
inline Cell* word_value_read(Cell& word) {
  if (Cell* cell = word_fast_slot(word, false)) [[likely]] return cell;
  return word_value_read_slow(word);
}

// The same without raising: null for a word with no context, an unknown symbol or a context
// without values (a function that is not running).
inline const Cell* word_value_quiet(Cell& word) {
  if (Cell* cell = word_fast_slot(word, false)) [[likely]] return cell;
  return word_value_quiet_slow(word);
}

// The short route of an argument: when tracing is off and the expression at code.index is a
// cell that evaluates to itself with no infix operator able to follow (prefix, or the next cell
// is not a word), pushes it, moves past it and answers true; with the shortcuts on, a word whose
// value the fast routes reach and is plain, with no operator able to follow, the same way, and
// any simple expression (push_simple_argument) too; else false (the caller evaluates).
inline bool push_itself_argument(Code& code, bool prefix) {
  if (trace_enabled) [[unlikely]] return false;
  Cell* cells = series_buffer(code.value.w2)->head_cell();
  Cell& cell = cells[code.index];
  const bool itself = evaluates_to_itself[cell.header & kTypeByteMask];
  const bool word = shortcuts_enabled && cell_type(cell) == Type::word;
  if ((itself || word) &&
      (prefix || code.index + 1 >= code.live_end() || cell_type(cells[code.index + 1]) != Type::word)) {
    const Cell* value = itself ? &cell : word_fast_slot(cell, false);
    if (value && (itself || kPlainWordValues[value->header & kTypeByteMask])) {
      stack_push_value(*value);
      ++code.index;
      return true;
    }
  }
  return shortcuts_enabled && push_simple_argument(code, prefix);
}

// One evaluated argument, pushed: by the short route when it has one, else its expression
// evaluated (with prefix, no infix operator follows it).
inline Status eval_argument(Code& code, bool prefix) {
  if (push_itself_argument(code, prefix)) return {};
  return eval_expression(code, prefix, true, false);
}

// Raises script need-value naming the word.
[[noreturn]] void raise_need_value(const Cell& word);

// set-word assignment: an unset value raises script need-value naming the word; otherwise the
// word (a copy: its own cell is not changed) is set, notifying an owning object. A running
// function's word is set in its stack cell directly (no object is told of it), as is a word of a
// context that notifies nobody.
inline void set_word_assign(const Cell& word, const Cell& value) {
  if (cell_type(value) == Type::unset) [[unlikely]] raise_need_value(word);
  if (Cell* cell = word_fast_slot(word, true)) {
    *cell = value;
    return;
  }
  Cell target = word;
  word_set(target, value);
}

}  // namespace qel

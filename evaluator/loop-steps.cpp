// loop-steps.cpp: the steps of foreach, forall and remove-each, and assigning a block of words.
#include "evaluator/loop-steps.h"

#include <algorithm>
#include <array>
#include <limits>

#include "datatypes/scalars/truth.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/map.h"
#include "datatypes/series/series.h"
#include "evaluator/eval-support.h"
#include "runtime/action-entries.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Whether a word block entry can be set: word!, set-word!, get-word! or lit-word!.
bool settable_word(const Cell& entry) {
  const Type type = cell_type(entry);
  return type == Type::word || type == Type::set_word || type == Type::get_word || type == Type::lit_word;
}

// Entry i of the word block from its index; none past its tail.
Cell word_entry(const Cell& words, uint32_t i) {
  const int64_t position = series_clamped_index(words) + i;
  return position < block_total_cells(words) ? *block_cell_at(words, position) : make_cell(Type::none);
}

// Sets n words from their values. Each word and its value are pushed first, so a handler that a
// word set reaches (an object's on-change*) cannot change what the later words get; every word
// and value is checked before the first is set.
template <class ValueAt>
void assign_words(const Cell& words, uint32_t n, WordAssignFlags flags, ValueAt value_at) {
  Cell* const pairs = value_stack.top;
  for (uint32_t i = 0; i < n; ++i) {
    stack_push_value(word_entry(words, i));
    stack_push_value(value_at(i));
  }
  for (uint32_t i = 0; i < n; ++i) {
    const Cell& word = pairs[2 * i];
    if (!settable_word(word)) raise_error(error_id("script", "invalid-arg"), word);
    if (!flags.any && cell_type(pairs[2 * i + 1]) == Type::unset) raise_error(error_id("script", "need-value"), word);
  }
  for (uint32_t i = 0; i < n; ++i) {
    if (flags.some && cell_type(pairs[2 * i + 1]) == Type::none) continue;
    word_set(pairs[2 * i], pairs[2 * i + 1]);
  }
  value_stack.top = pairs;
}

// Moves the cursor on by n units; a short last group leaves it past the tail (never beyond the
// largest index), where remove-each finds the group again by stepping back.
void cursor_advance(Cell& cursor, uint32_t n) {
  const int64_t moved = series_index(cursor) + int64_t{n};
  series_set_index(cursor, std::min<int64_t>(moved, std::numeric_limits<int32_t>::max()));
}

}  // namespace

// The loop frame's base is the cell after the hidden cells.
Cell& loop_words_cell() { return value_stack.base[-1]; }
Cell& loop_cursor_cell() { return value_stack.base[-2]; }
Cell& loop_counter_cell() { return value_stack.base[-3]; }

void loop_words_assign_block(const Cell& words, const Cell& source, uint32_t n, WordAssignFlags flags) {
  if (any_block_type(cell_type(source)) && !flags.only)
    assign_words(words, n, flags, [&](uint32_t i) { return series_pick_value(source, int64_t{i} + 1); });
  else
    assign_words(words, n, flags, [&](uint32_t) { return source; });
}

void loop_words_assign_string(const Cell& words, const Cell& series, uint32_t n) {
  assign_words(words, n, {}, [&](uint32_t i) { return series_pick_value(series, int64_t{i} + 1); });
}

void loop_words_check(const Cell& words) {
  const int64_t length = block_length(words);
  if (length <= 0) raise_error(error_id("script", "invalid-arg"), words);
  for (uint32_t i = 0; i < length; ++i) {
    const Cell entry = word_entry(words, i);
    if (!settable_word(entry)) raise_error(error_id("script", "invalid-arg"), entry);
  }
}

bool foreach_next() {
  Cell& cursor = loop_cursor_cell();
  if (cell_type(cursor) == Type::map) raise_error(error_id("script", "invalid-arg"), cursor);  // a key wants its value
  Cell value;
  if (any_block_type(cell_type(cursor))) {
    // The cell at the cursor, read where the block keeps it.
    SeriesBuffer* buffer = series_buffer_of(cursor);
    const int64_t index = series_index(cursor);
    if (index >= static_cast<int64_t>((buffer->tail - buffer->head) / sizeof(Cell))) return false;
    value = buffer->head_cell()[index];
  } else {
    if (series_at_tail(cursor)) return false;
    value = series_pick_value(cursor, 1);
  }
  cursor_advance(cursor, 1);
  word_set(loop_words_cell(), value);
  return true;
}

// map-foreach-step: the two words get the key and the value of the next live pair.
bool map_foreach_step(uint32_t n) {
  if (n != 2) raise_error(error_id("script", "invalid-arg"), loop_words_cell());
  Cell key, value;
  if (!map_next_live_pair(loop_cursor_cell(), key, value)) return false;
  assign_words(loop_words_cell(), 2, {}, [&](uint32_t i) { return i == 0 ? key : value; });
  return true;
}

bool foreach_next_multi(uint32_t n) {
  if (cell_type(loop_cursor_cell()) == Type::map) return map_foreach_step(n);
  const Cell cursor = loop_cursor_cell();
  if (series_at_tail(cursor)) return false;
  cursor_advance(loop_cursor_cell(), n);
  if (any_block_type(cell_type(cursor)))
    loop_words_assign_block(loop_words_cell(), cursor, n, {});
  else
    loop_words_assign_string(loop_words_cell(), cursor, n);
  return true;
}

void remove_each_set_count() {
  const Cell& words = loop_words_cell();
  const int64_t count = cell_type(words) == Type::block ? block_length(words) : 1;
  loop_counter_cell() = make_cell(Type::integer, 0, static_cast<uint32_t>(count));
}

void remove_each_remove() {
  if (!cell_truthy(*value_stack.base)) return;
  const int64_t count = payload_i32(loop_counter_cell(), 2);
  Cell at = loop_cursor_cell();
  series_set_index(at, std::max<int64_t>(series_index(at) - count, 0));
  const std::array<Cell, 1> part{make_cell(Type::integer, 0, static_cast<uint32_t>(count))};
  const Cell removed = count > 1 ? call_action(Act::Remove, std::array{at}, {{0, true, part}})
                                 : call_action(Act::Remove, std::array{at});
  stack_drop(1);
  series_set_index(loop_cursor_cell(), series_index(removed));
}

bool forall_series(const Cell& value) { return series_kind(cell_type(value)) != SeriesKind::none; }

bool forall_step(Cell& word, const Cell& start) {
  Cell* series = word_value_read(word);
  if (!forall_series(*series) || !series_same(*series, start))
    raise_error(error_id("script", "bad-loop-series"), *series);
  series_set_index(*series, series_clamped_index(*series) + 1);
  return series_at_tail(*series);
}

}  // namespace qel

// map.cpp: map!: making, key normalisation, path steps, put, find, select, remove, clear,
// reflect, form and mold, compare, copy, and the builder of map literals.
#include "datatypes/series/map.h"

#include <algorithm>
#include <array>

#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/lexer-nesting.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/hash-index.h"
#include "runtime/hash-table.h"
#include "runtime/language-thread.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// --- Keys -----------------------------------------------------------------------------------------

bool word_kind(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::lit_word || type == Type::get_word;
}

// Keys stored as a copy of their text or bytes from their index.
bool copied_key(Type type) {
  switch (type) {
    case Type::string: case Type::file: case Type::url: case Type::binary: case Type::tag: case Type::email:
    case Type::ref:
      return true;
    default:
      return false;
  }
}

[[noreturn]] void raise_bad_key(const Cell& key) {
  raise_error(error_id("script", "invalid-path"), datatype_cell(cell_type(key)), key);
}

// map-key-normalize: a word kind becomes a set-word!, a text or binary a copy of itself; the
// new-line marker goes.
void map_key_normalize(Cell& key) {
  if (word_kind(cell_type(key))) set_value_type_byte(key, Type::set_word);
  else if (copied_key(cell_type(key))) series_copy_into(Cell{key}, nullptr, key);
  key.header &= ~kNewLineFlag;
}

// Raises invalid-arg with the spec unless it holds pairs (an even count of cells from its
// index), and invalid-path for the first key of a refused type.
void check_pairs(const Cell& spec) {
  const int64_t from = series_clamped_index(spec), total = block_total_cells(spec);
  if ((total - from) % 2 != 0) raise_error(error_id("script", "invalid-arg"), spec);
  for (int64_t p = from; p < total; p += 2)
    if (!map_key_type_ok(cell_type(*block_cell_at(spec, p)))) raise_bad_key(*block_cell_at(spec, p));
}

// --- Pairs ----------------------------------------------------------------------------------------

NodeId table_of(const Cell& map) { return map.w3; }
Cell pair_block(const Cell& map) { return make_cell(Type::block, 0, map.w2); }
Cell* pair_cells(const Cell& map) { return series_buffer(map.w2)->head_cell(); }
int64_t pair_cell_count(const Cell& map) { return series_total_length(map); }
bool live_pair(const Cell& map, int64_t key_position) { return pair_cells(map)[key_position + 1].header != 0; }

// The lookup code of the refinements: same?, strict-equal? or equal?.
int32_t lookup_code(bool case_sensitive, bool same = false) {
  return same ? kCompareSame : case_sensitive ? kCompareStrictEqual : kCompareEqual;
}

// The position of the live pair's key cell, or -1.
int64_t live_key(const Cell& map, const Cell& key, int32_t code) {
  const int64_t position = hashtable_find_key(table_of(map), key, code);
  return position >= 0 && live_pair(map, position) ? position : -1;
}

// A key as find and the reflections answer it: a set-word! key as word!.
Cell key_answer(Cell key) {
  if (cell_type(key) == Type::set_word) set_value_type_byte(key, Type::word);
  return key;
}

// Calls fn(key position) for each live pair, in order. fn must not change the map.
template <class Fn>
void each_live_pair(const Cell& map, Fn&& fn) {
  for (int64_t p = 0; p + 1 < pair_cell_count(map); p += 2)
    if (live_pair(map, p)) fn(p);
}

// A new block! of one cell per live pair, pushed: `cell(position)` makes it.
template <class CellOf>
Cell* live_pairs_block(const Cell& map, int64_t cells_per_pair, CellOf&& cell) {
  Cell* made = block_push_new(std::max<int64_t>(map_count(map) * cells_per_pair, 1));
  each_live_pair(map, [&](int64_t p) { cell(*made, p); });
  return made;
}

// --- make, to and reflect -------------------------------------------------------------------------

// make and to: pairs from a block, paren! or hash!; a map copied; a number (make only) the room
// of an empty map.
Cell* map_make_or_to(Cell& spec, bool make) {
  const Type spec_type = cell_type(spec);
  if (spec_type == Type::block || spec_type == Type::paren || spec_type == Type::hash) {
    check_pairs(spec);
    map_make_at(spec, &spec, 0);
    return &spec;
  }
  if (spec_type == Type::map) {
    Cell copy;
    map_make_at(copy, nullptr, map_count(spec));
    map_extend(copy, spec, true);
    spec = copy;
    return &spec;
  }
  if (make && (spec_type == Type::integer || spec_type == Type::float_)) {
    const int32_t n = number_to_int32(spec);
    if (n < 0) raise_error(error_id("script", "out-of-range"), spec);
    map_make_at(spec, nullptr, n);
    return &spec;
  }
  raise_error(error_id("script", "bad-to-arg"), datatype_cell(Type::map), spec);
}

Cell* map_make(Cell&, Cell& spec, Type) { return map_make_or_to(spec, true); }
Cell* map_to(Cell&, Cell& spec, Type) { return map_make_or_to(spec, false); }

// reflect: `words` (the keys, set-words as words), `values` or `body` as a new block.
void map_reflect(Cell& value, Cell& field) {
  const uint32_t name = cell_type(field) == Type::word ? symbol_canonical(field.w2) : 0;
  const Cell map = value;
  Cell* made = nullptr;
  if (name == symbol_canonical(sym_words)) {
    made = live_pairs_block(map, 1, [&](Cell& block, int64_t p) { block_append_copy(block, key_answer(pair_cells(map)[p])); });
  } else if (name == symbol_canonical(sym_values)) {
    made = live_pairs_block(map, 1, [&](Cell& block, int64_t p) { block_append_copy(block, pair_cells(map)[p + 1]); });
  } else if (name == symbol_canonical(sym_body)) {
    made = map_body_push(map);
  } else {
    raise_error(error_id("internal", "not-done"));
  }
  value = *made;
  stack_drop(1);
}

// --- form and mold --------------------------------------------------------------------------------

// map-mold-pairs: each live pair as key, a space and the value; under mold (not /only or /flat)
// a line feed before the first pair and an indent of level + 1 before each, a line feed after
// each (a space under /flat); under form pairs are separated by line feeds. A part limit used
// up stops the walk. Answers the limit; `written` tells whether a pair was written.
int32_t map_mold_pairs(const Cell& map, Cell& buffer, bool mold, bool only, bool all, bool flat, bool part,
                       int32_t limit, int32_t indent, bool& written) {
  written = false;
  for (int64_t p = 0; p + 1 < pair_cell_count(map); p += 2) {
    if (part && limit < 1) break;
    if (!live_pair(map, p)) continue;
    const Cell key = pair_cells(map)[p], value = pair_cells(map)[p + 1];
    if (mold && !flat && !only) {
      if (!written) limit = output_text(buffer, "\n", limit);  // only before a live pair: "#[]" stays flat
      limit = emit_indent(buffer.w2, indent + 1, limit);
    } else if (!mold && written) {
      limit = output_text(buffer, "\n", limit);
    }
    written = true;
    if (mold) {
      limit = lookup_action_for_value<Act::Mold>(key)(key, buffer, false, all, flat, part, limit, indent + 1);
      limit = output_text(buffer, " ", limit);
      limit = lookup_action_for_value<Act::Mold>(value)(value, buffer, false, all, flat, part, limit, indent + 1);
      limit = output_text(buffer, flat ? " " : "\n", limit);
    } else {
      limit = lookup_action_for_value<Act::Form>(key)(key, buffer, part, limit);
      limit = output_text(buffer, " ", limit);
      limit = lookup_action_for_value<Act::Form>(value)(value, buffer, part, limit);
    }
  }
  return limit;
}

int32_t map_form(const Cell& value, Cell& buffer, bool part, int32_t limit) {
  check_stack_headroom();
  if (mold_cycle_marker(value, buffer.w2, limit, false)) return limit;
  CyclePush level(value.w2);
  bool written;
  return map_mold_pairs(value, buffer, false, false, false, false, part, limit, 0, written);
}

int32_t map_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                 int32_t indent) {
  check_stack_headroom();
  if (mold_cycle_marker(value, buffer.w2, limit, true)) return limit;
  CyclePush level(value.w2);
  if (!only) limit = output_text(buffer, "#[", limit);
  bool written;
  limit = map_mold_pairs(value, buffer, true, only, all, flat, part, limit, indent, written);
  if (written && !flat && !only && indent >= 1) limit = emit_indent(buffer.w2, indent, limit);
  if (!only) limit = output_text(buffer, "]", limit);
  return limit;
}

// --- compare --------------------------------------------------------------------------------------

// Whether the live pair at p of `a` has its like in `b`: under strict-equal? the key found with
// case and a strictly equal value; otherwise some key of b equal to it without case whose
// value is equal.
bool pair_matched(const Cell& a, int64_t p, const Cell& b, int32_t op) {
  const Cell key = pair_cells(a)[p], value = pair_cells(a)[p + 1];
  if (op == kCompareStrictEqual) {
    const int64_t q = live_key(b, key, kCompareStrictEqual);
    return q >= 0 && compare_values(value, pair_cells(b)[q + 1], kCompareStrictEqual);
  }
  const int64_t q = live_key(b, key, kCompareEqual);
  if (q < 0) return false;
  if (compare_values(value, pair_cells(b)[q + 1], kCompareEqual)) return true;
  for (int64_t r = 0; r + 1 < pair_cell_count(b); r += 2)  // keys differing only by letter case
    if (r != q && live_pair(b, r) && compare_values(key, pair_cells(b)[r], kCompareEqual) &&
        compare_values(value, pair_cells(b)[r + 1], kCompareEqual))
      return true;
  return false;
}

// map-equal, as a compare answer: 0 when equal.
int32_t map_equal(const Cell& a, const Cell& b, int32_t op) {
  if (a.w2 == b.w2 && a.w1 == b.w1) return 0;
  if (op == kCompareSame) return -1;
  if (cycle_stack_contains(a.w2)) return cycle_stack_contains(b.w2) ? 0 : -1;
  const int64_t count_a = map_count(a), count_b = map_count(b);
  if (count_a != count_b) return count_a < count_b ? -1 : 1;
  CyclePush walking_a(a.w2);
  CyclePush walking_b(b.w2);
  bool equal = true;
  each_live_pair(a, [&](int64_t p) { equal = equal && pair_matched(a, p, b, op); });
  return equal ? 0 : 1;
}

// compare: maps only. The sort orders rank two maps by their buffers' ids; every other code asks
// map-equal.
int32_t map_compare(const Cell& a, const Cell& b, int32_t op) {
  check_stack_headroom();
  if (cell_type(a) != Type::map || cell_type(b) != Type::map) return kNotComparable;
  if (op == kCompareSort || op == kCompareSortCase) return a.w2 < b.w2 ? -1 : a.w2 > b.w2 ? 1 : 0;
  const int32_t answer = map_equal(a, b, op);
  if (answer != 0 || op == kCompareEqual || op == kCompareNotEqual || op == kCompareStrictEqual || op == kCompareSame ||
      op == kCompareFind)
    return answer;
  return 0;
}

// --- Path steps and the series-like actions -------------------------------------------------------

// The answer of a path get, valid until the next step (the caller copies it at once).
Cell path_answer;

Cell* map_eval_path(Cell& map, Cell& element, Cell* new_value, const PathStep& step) {
  if (!new_value) {
    path_answer = map_get(map, element, step.case_sensitive);
    return &path_answer;
  }
  map_put(map, element, *new_value, step.case_sensitive);
  return new_value;
}

Cell* map_put_action(Cell& map, Cell& key, Cell& value, bool case_) {
  map_put(map, key, value, case_);
  return &value;
}

// find: the stored key (a set-word! as word!) of a live pair, or none.
Cell* map_find(Cell& map, Cell& key, Cell*, bool, bool case_, bool same, bool, Cell*, Cell*, bool, bool, bool, bool) {
  const int64_t position = live_key(map, key, lookup_code(case_, same));
  key = position < 0 ? kNoneCell : key_answer(pair_cells(map)[position]);
  return &key;
}

// select: the value of a live pair, or none.
Cell* map_select(Cell& map, Cell& key, Cell*, bool, bool case_, bool same, bool, Cell*, Cell*, bool, bool) {
  const int64_t position = live_key(map, key, lookup_code(case_, same));
  key = position < 0 ? kNoneCell : pair_cells(map)[position + 1];
  return &key;
}

// remove/key: the pair of the key (letter case counts) is removed; without /key missing-arg.
void map_remove(Cell& map, Cell*, Cell* key) {
  if (!key) raise_error(error_id("script", "missing-arg"));
  const int64_t position = live_key(map, *key, kCompareStrictEqual);
  if (position >= 0) hashtable_remove_cell(table_of(map), static_cast<uint32_t>(position));
}

void map_clear(Cell& map) { hashtable_clear(table_of(map)); }

int32_t map_length(Cell& map) { return static_cast<int32_t>(map_count(map)); }

// copy: the pair block copied (/deep: nested series too, a map inside itself refused; /types:
// the values of the selected types) with a copy of the table.
Cell* map_copy(Cell& map, Cell*, bool deep, Cell* types, Cell& result) {
  Cell block;
  series_copy_into(pair_block(map), nullptr, block);
  result = make_cell(Type::map, 0, block.w2, hashtable_copy(table_of(map), block.w2));
  block_copy_contents(map.w2, block, 1, 2, deep, types);
  return &result;
}

// --- The literal ----------------------------------------------------------------------------------

// Builds a map literal from its cells: pairs whose keys maps take, else invalid map!.
LexStatus build_map(LexerState& state, uint64_t first, uint64_t count, Type, Cell& out) {
  bool keys_ok = count % 2 == 0;
  for (uint64_t i = 0; keys_ok && i < count; i += 2) keys_ok = map_key_type_ok(cell_type(lexer_cell(first + i)));
  if (!keys_ok)
    return lexer_syntax_error(state, lexer_innermost_opening(state), state.position, static_cast<int32_t>(Type::map));
  Cell pairs;
  block_make_at(pairs, static_cast<int64_t>(count));
  lexer_append_cells(pairs, first, count);
  map_make_at(out, &pairs, 0);
  return LexStatus::ok;
}

}  // namespace

bool map_key_type_ok(Type type) {
  switch (type) {
    case Type::string: case Type::file: case Type::url: case Type::char_: case Type::integer: case Type::float_:
    case Type::word: case Type::set_word: case Type::lit_word: case Type::get_word: case Type::refinement:
    case Type::issue: case Type::pair: case Type::percent: case Type::tuple: case Type::binary: case Type::time:
    case Type::tag: case Type::email: case Type::date: case Type::money: case Type::ref: case Type::point2d:
    case Type::point3d:
      return true;
    default:
      return false;
  }
}

void map_make_at(Cell& cell, const Cell* pairs, int64_t capacity) {
  if (!pairs) {
    const NodeId block = new_cell_series(std::max<int64_t>(2 * capacity, 2));
    cell = make_cell(Type::map, 0, block, hashtable_new(capacity, block, TableKind::map, 1));
    return;
  }
  Cell block;
  series_copy_into(*pairs, nullptr, block);
  Cell* cells = series_buffer(block.w2)->head_cell();
  for (int64_t i = 0; i < block_total_cells(block); ++i) cells[i].header &= ~kNewLineFlag;
  cell = make_cell(Type::map, 0, block.w2, hashtable_new(block_total_cells(block) / 2, block.w2, TableKind::map, 1));
}

int64_t map_count(const Cell& map) { return table_record(table_of(map)).count; }

Cell map_get(const Cell& map, const Cell& key, bool case_sensitive) {
  const int64_t position = live_key(map, key, lookup_code(case_sensitive));
  return position < 0 ? kNoneCell : pair_cells(map)[position + 1];
}

void map_put(const Cell& map, const Cell& key, const Cell& value, bool case_sensitive) {
  const Cell given = value;  // the value and the key may lie in the pair block, which may grow
  int64_t position = hashtable_find_key(table_of(map), key, lookup_code(case_sensitive));
  if (position < 0) {
    if (!map_key_type_ok(cell_type(key))) raise_bad_key(key);
    Cell stored = key;
    map_key_normalize(stored);
    position = pair_cell_count(map);
    block_append_copy(pair_block(map), stored);
    block_append_copy(pair_block(map), make_cell(Type::unset));
    hashtable_add_cell(table_of(map), static_cast<uint32_t>(position));
  } else if (!live_pair(map, position)) {
    ++table_record(table_of(map)).count;  // a removed pair revived in its old place
  }
  Cell& slot = pair_cells(map)[position + 1];
  slot = given;
  slot.header &= ~kNewLineFlag;
}

void map_extend(const Cell& map, const Cell& spec, bool case_sensitive) {
  if (cell_type(spec) == Type::map) {
    each_live_pair(spec, [&](int64_t p) { map_put(map, pair_cells(spec)[p], pair_cells(spec)[p + 1], case_sensitive); });
    return;
  }
  check_pairs(spec);
  for (int64_t p = series_clamped_index(spec); p < block_total_cells(spec); p += 2)
    map_put(map, *block_cell_at(spec, p), *block_cell_at(spec, p + 1), case_sensitive);
}

Cell* map_body_push(const Cell& map) {
  return live_pairs_block(map, 2, [&](Cell& block, int64_t p) {
    Cell key = pair_cells(map)[p];
    key.header |= kNewLineFlag;
    block_append_copy(block, key);
    block_append_copy(block, pair_cells(map)[p + 1]);
  });
}

bool map_next_live_pair(Cell& cursor, Cell& key, Cell& value) {
  int64_t p = series_clamped_index(cursor);
  while (p + 1 < pair_cell_count(cursor) && !live_pair(cursor, p)) p += 2;
  if (p + 1 >= pair_cell_count(cursor)) {
    series_set_index(cursor, pair_cell_count(cursor));
    return false;
  }
  key = key_answer(pair_cells(cursor)[p]);
  value = pair_cells(cursor)[p + 1];
  series_set_index(cursor, p + 2);
  return true;
}

void map_init() {
  ActionRow row;
  row.set<Act::Make>(map_make)
      .set<Act::Reflect>(map_reflect)
      .set<Act::To>(map_to)
      .set<Act::Form>(map_form)
      .set<Act::Mold>(map_mold)
      .set<Act::PathStep>(map_eval_path)
      .set<Act::Compare>(map_compare)
      .set<Act::Clear>(map_clear)
      .set<Act::Copy>(map_copy)
      .set<Act::Find>(map_find)
      .set<Act::LengthQ>(map_length)
      .set<Act::Put>(map_put_action)
      .set<Act::Remove>(map_remove)
      .set<Act::Select>(map_select);
  register_datatype(Type::map, Type::none_id, "map!", row);
  set_map_key_normaliser(map_key_normalize);
  lexer_set_construct_builder(Type::map, build_map);
}

}  // namespace qel

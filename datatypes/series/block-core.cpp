// block-core.cpp: the cell-level primitives of blocks: locating, inserting, cutting, finding,
// copying, constructing, the mold loop and the structural comparison.
#include "datatypes/series/block-core.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string_view>

#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/hash.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-unit.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/cycle-guard.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int64_t kCellBytes = sizeof(Cell);

// Whether two cells may be compared with each other inside a block: one type, two word kinds
// or two numbers. Other pairs are ordered by their type ids.
bool comparable(Type a, Type b) {
  auto word_kind = [](Type t) {
    return t == Type::word || t == Type::set_word || t == Type::lit_word || t == Type::get_word ||
           t == Type::refinement || t == Type::issue;
  };
  auto number = [](Type t) { return t == Type::integer || t == Type::float_ || t == Type::percent; };
  return a == b || (word_kind(a) && word_kind(b)) || (number(a) && number(b));
}

// The equality codes, under which blocks of different lengths are unequal without a look.
bool equality_code(int32_t op) {
  return op == kCompareEqual || op == kCompareNotEqual || op == kCompareStrictEqual || op == kComparePathCase ||
         op == kComparePath || op == kCompareFind;
}

// The nested cells a deep copy replaces.
bool copied_deeply(Type type, DeepCopy deep) {
  switch (deep) {
    case DeepCopy::none: return false;
    case DeepCopy::blocks: return type == Type::block;
    case DeepCopy::blocks_paths:
      return type == Type::block || type == Type::paren || type == Type::path || type == Type::lit_path ||
             type == Type::set_path || type == Type::get_path;
    case DeepCopy::series: return series_kind(type) != SeriesKind::none;
  }
  return false;
}

// Blocks whose deep copy this file makes itself; other series copy through their own action.
bool plain_block_type(Type type) { return any_block_type(type) && type != Type::hash; }

// The types block-copy-by-types may replace: series and composite values.
bool copyable_by_types(Type type) {
  switch (type) {
    case Type::bitset: case Type::object: case Type::error: case Type::map:
      return true;
    default:
      return series_kind(type) != SeriesKind::none;
  }
}

constexpr size_t kCopyDeep = refinement_position(Act::Copy, "deep");
constexpr size_t kCopyTypes = refinement_position(Act::Copy, "types");

// --- Element hooks --------------------------------------------------------------------------------

Cell block_pick(const Cell& block, int64_t position) { return *block_cell_at(block, position); }
void block_check(const Cell&, const Cell&) {}
void block_store(const Cell& block, int64_t position, const Cell& value) { *block_cell_at(block, position) = value; }

constexpr ElementHooks kBlockHooks = {block_pick, block_check, block_store, nullptr};

}  // namespace

bool types_select(const Cell& types, Type type) {
  if (cell_type(types) == Type::datatype) return datatype_value(types) == type;
  return typeset_has(types, type);
}

// --- Locating cells ---------------------------------------------------------------------------

int64_t block_total_cells(const Cell& block) { return series_total_length(block); }

int64_t block_length(const Cell& block) { return block_total_cells(block) - series_index(block); }

bool block_advance_one(Cell& block) {
  if (series_index(block) < block_total_cells(block)) series_set_index(block, series_index(block) + 1);
  return series_index(block) >= block_total_cells(block);
}

Cell* block_head_cell(Cell& block) {
  series_clamp_index(block);
  return block_cell_at(block, series_index(block));
}

Cell* block_tail_cell(const Cell& block) { return series_buffer_of(block)->tail_cell(); }

bool block_at_tail(const Cell& block) { return series_index(block) == block_total_cells(block); }

Cell* block_cell_at(const Cell& block, int64_t n) { return series_buffer_of(block)->head_cell() + n; }

// --- Cutting ----------------------------------------------------------------------------------

void block_clear_at_index(const Cell& block) { block_truncate(block, series_clamped_index(block)); }

void block_truncate(const Cell& block, int64_t n) {
  const int64_t kept = std::clamp<int64_t>(n, 0, block_total_cells(block));
  hash_cells_leaving(block, kept, block_total_cells(block) - kept);
  SeriesBuffer* buffer = series_buffer_of(block);
  buffer->tail = buffer->head + static_cast<uint32_t>(kept * kCellBytes);
}

void block_drop_last(Cell& block) {
  int64_t total = block_total_cells(block);
  if (total == 0) return;
  block_truncate(block, total - 1);
  if (series_index(block) > total - 1) series_set_index(block, total - 1);
}

// --- Appending and inserting ------------------------------------------------------------------

Cell* block_append_copy(const Cell& block, const Cell& value) {
  Cell copy = value;  // the value may lie in this block, which may grow
  Cell* slot = block_append_fresh_slot(block);
  *slot = copy;
  hash_cells_written(block, block_total_cells(block) - 1, 1);
  return slot;  // indexing allocates for the table only: the block stays where it is
}

void block_append_cells(const Cell& target, const Cell& source) {
  int64_t from = series_clamped_index(source);
  int64_t count = block_total_cells(source) - from;
  if (count == 0) return;
  const int64_t at_cell = block_total_cells(target);
  uint8_t* at = series_reserve_tail_bytes(target.w2, count * kCellBytes);
  std::memcpy(at, block_cell_at(source, from), static_cast<size_t>(count * kCellBytes));
  hash_cells_written(target, at_cell, count);
}

void block_insert_value(Cell& block, const Cell& value, bool advance, bool at_head) {
  Cell copy = value;  // the value may lie in this block, which may grow
  int64_t position = at_head ? 0 : series_clamped_index(block);
  series_open_gap(block, position, 1, Growth::doubled);
  *block_cell_at(block, position) = copy;
  hash_cells_written(block, position, 1);
  if (advance) series_set_index(block, series_index(block) + 1);
}

void block_insert_cells(Cell& target, const Cell& source) {
  for (int64_t i = series_clamped_index(source); i < block_total_cells(source); ++i)
    block_insert_value(target, *block_cell_at(source, i), true, false);
}

// --- Finding and removing ---------------------------------------------------------------------

namespace {

// The position of the first cell from `from` equal to the value under the find equality, or -1.
int64_t find_equal(const Cell& block, const Cell& value, int64_t from) {
  auto compare = lookup_action_for_value<Act::Compare>(value);
  for (int64_t i = from; i < block_total_cells(block); ++i)
    if (compare(value, *block_cell_at(block, i), kCompareFind) == 0) return i;
  return -1;
}

// The cell after position i, or none when i is the last.
Cell cell_after(const Cell& block, int64_t i) {
  return i >= 0 && i + 1 < block_total_cells(block) ? *block_cell_at(block, i + 1) : kNoneCell;
}

}  // namespace

Cell block_find_value(const Cell& block, const Cell& value) {
  return cell_after(block, find_equal(block, value, series_clamped_index(block)));
}

bool block_remove_value(const Cell& block, const Cell& value, bool from_head) {
  int64_t found = find_equal(block, value, from_head ? 0 : series_clamped_index(block));
  if (found < 0) return false;
  series_cut_units(block, found, 1);
  return found < series_index(block) + 1;
}

int64_t block_find_word_position(const Cell& block, const Cell& word, bool exact) {
  uint32_t wanted = exact ? word.w2 : symbol_canonical(word.w2);
  for (int64_t i = series_clamped_index(block); i < block_total_cells(block); ++i) {
    const Cell& cell = *block_cell_at(block, i);
    Type type = cell_type(cell);
    bool word_kind = type == Type::word || type == Type::set_word || type == Type::lit_word || type == Type::get_word;
    if (word_kind && (exact ? cell.w2 : symbol_canonical(cell.w2)) == wanted) return i;
  }
  return -1;
}

Cell block_find_word(const Cell& block, const Cell& word, bool exact) {
  return cell_after(block, block_find_word_position(block, word, exact));
}

// --- Copies -----------------------------------------------------------------------------------

Cell* block_copy_deep(const Cell& block, DeepCopy deep) {
  check_stack_headroom();
  std::optional<CyclePush> on_path;  // the blocks on the current copy path
  if (deep != DeepCopy::none) {
    if (cycle_stack_contains(block.w2)) raise_error(error_id("internal", "no-cycle"));
    on_path.emplace(block.w2);
  }
  Cell* copy = stack_push_value(make_cell(Type::unset));
  series_copy_into(block, nullptr, *copy);
  copy->header = static_cast<uint32_t>(cell_type(block));
  block_copy_nested(*copy, deep);
  return copy;
}

void block_copy_nested(const Cell& block, DeepCopy deep) {
  check_stack_headroom();
  if (deep == DeepCopy::none) return;
  for (int64_t i = 0; i < block_total_cells(block); ++i) {
    Cell cell = *block_cell_at(block, i);
    if (!copied_deeply(cell_type(cell), deep)) continue;
    Cell* copy = plain_block_type(cell_type(cell)) ? block_copy_deep(cell, deep)
                                                    : &call_action(Act::Copy, std::array{cell}, {{kCopyDeep}});
    Cell& slot = *block_cell_at(block, i);
    slot = *copy;
    slot.header = cell.header;
    stack_drop(1);
  }
}

void block_copy_by_types(const Cell& block, int64_t step, bool deep, const Cell& types) {
  for (int64_t i = series_clamped_index(block); i < block_total_cells(block); i += step) {
    Cell cell = *block_cell_at(block, i);
    if (!types_select(types, cell_type(cell)) || !copyable_by_types(cell_type(cell))) continue;
    const std::array passed_types{types};
    Cell copy = deep ? call_action(Act::Copy, std::array{cell}, {{kCopyDeep}, {kCopyTypes, true, passed_types}})
                     : call_action(Act::Copy, std::array{cell});
    stack_drop(1);
    *block_cell_at(block, i) = copy;
  }
}

void block_copy_contents(NodeId origin, const Cell& copy, int64_t first, int64_t step, bool deep, const Cell* types) {
  if (types) {
    Cell from = copy;
    series_set_index(from, first);
    block_copy_by_types(from, step, deep, *types);
  } else if (deep) {
    if (cycle_stack_contains(origin)) raise_error(error_id("internal", "no-cycle"));
    CyclePush on_path(origin);
    block_copy_nested(copy, DeepCopy::series);
  }
}

// --- Constructors -----------------------------------------------------------------------------

void block_make_at(Cell& cell, int64_t n) { cell = make_cell(Type::block, 0, new_cell_series(std::max<int64_t>(n, 1))); }

void block_make_at_sized(Cell& cell, int64_t n, bool preallocate) {
  n = std::max<int64_t>(n, 1);
  cell = make_cell(Type::block, 0, preallocate ? new_heap_series(n, kCellBytes, 0) : new_cell_series_unset(n));
}

Cell* block_make_in(const Cell& parent, int64_t capacity) {
  if (cell_type(parent) == Type::none) return block_push_new(capacity);
  Cell made;
  block_make_at(made, capacity);
  return block_append_copy(parent, made);
}

Cell* block_push(const Cell& block) { return stack_push_value(block); }

Cell* block_push_new(int64_t capacity) {
  Cell* cell = stack_push_value(make_cell(Type::unset));
  block_make_at(*cell, capacity);
  return cell;
}

// --- Mold and compare ---------------------------------------------------------------------------

int32_t block_mold_cells(const Cell& block, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                         int32_t indent) {
  check_stack_headroom();
  CyclePush level(block.w2);
  bool first = true;
  bool closing_break = false;  // a marker on the first cell: the end goes on a line of its own
  for (int64_t i = series_clamped_index(block); i < block_total_cells(block); ++i) {
    if (part && limit < 1) return limit;
    Cell cell = *block_cell_at(block, i);
    if (!flat && (cell.header & kNewLineFlag)) {
      if (!only && first) {
        ++indent;
        closing_break = true;
      }
      if (!(only && first)) limit = output_text(buffer, "\n", limit);
      limit = emit_indent(buffer.w2, indent, limit);
    } else if (!first) {
      limit = output_text(buffer, " ", limit);
    }
    limit = lookup_action_for_value<Act::Mold>(cell)(cell, buffer, false, all, flat, part, limit, indent);
    first = false;
  }
  if (closing_break) {
    limit = output_text(buffer, "\n", limit);
    limit = emit_indent(buffer.w2, indent - 1, limit);
  }
  return limit;
}

int32_t block_compare_cells(const Cell& a, const Cell& b, int32_t op) {
  check_stack_headroom();
  if (a.w2 == b.w2 && a.w1 == b.w1) return 0;
  if (op == kCompareSame) return -1;
  if (cycle_stack_contains(a.w2)) return cycle_stack_contains(b.w2) ? 0 : -1;
  int64_t from_a = series_clamped_index(a), from_b = series_clamped_index(b);
  int64_t length_a = block_total_cells(a) - from_a, length_b = block_total_cells(b) - from_b;
  if (length_a != length_b && equality_code(op)) return 1;
  CyclePush walking_a(a.w2);
  CyclePush walking_b(b.w2);
  for (int64_t i = 0; i < std::min(length_a, length_b); ++i) {
    Cell x = *block_cell_at(a, from_a + i), y = *block_cell_at(b, from_b + i);
    if (int32_t answer = compare_element_cells(x, y, op)) return answer;
  }
  return length_a < length_b ? -1 : length_a > length_b ? 1 : 0;
}

int32_t compare_element_cells(const Cell& x, const Cell& y, int32_t op) {
  if (!comparable(cell_type(x), cell_type(y))) return cell_type(x) < cell_type(y) ? -1 : 1;
  return dispatch_compare(x, y, op);
}

void block_register_element_hooks(Type type) { series_set_element_hooks(type, &kBlockHooks); }

}  // namespace qel

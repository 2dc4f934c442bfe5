// hash.cpp: hash!: its own actions (make, to, mold, copy, sort, trim, take), its element hooks
// and the upkeep of its index; every other action is block!'s, whose primitives call the upkeep.
#include "datatypes/series/hash.h"

#include <algorithm>

#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/block.h"
#include "datatypes/series/series.h"
#include "runtime/compiled-support.h"
#include "runtime/datatype-registry.h"
#include "runtime/hash-index.h"
#include "runtime/hash-table.h"

namespace qel {

namespace {

// The block! function of a slot, which a hash! action runs before it sees to the index.
template <Act A>
slot_fn<A> block_action() {
  return reinterpret_cast<slot_fn<A>>(action_table[type_index(Type::block)][slot_index(A)]);
}

// Indexes the whole block again (after a change that reorders it, or a sync too large to make).
void hash_rebuild(const Cell& series) {
  if (NodeId table = hash_table_of(series)) hashtable_resize(table, block_total_cells(series));
}

// --- Element hooks --------------------------------------------------------------------------------

Cell hash_pick(const Cell& series, int64_t position) { return *block_cell_at(series, position); }
void hash_check(const Cell&, const Cell&) {}

// Stores over a cell and indexes it anew, so no entry outlives the value it stood for.
void hash_store(const Cell& series, int64_t position, const Cell& value) {
  *block_cell_at(series, position) = value;
  hash_cells_written(series, position, 1);
}

constexpr ElementHooks kHashHooks = {hash_pick, hash_check, hash_store, nullptr};

// --- make, to and mold ----------------------------------------------------------------------------

// to: a hash! is copied; any other value converts as block! to does and is then indexed.
Cell* hash_to(Cell& type, Cell& spec, Type) {
  Cell* made = cell_type(spec) == Type::hash ? block_make_from(spec, Type::hash) : block_to(type, spec, Type::hash);
  hash_index_new(*made);
  return made;
}

// make: a number gives an empty hash! with room for that many cells (at least 1); a block-like
// spec is copied and indexed; anything else goes through to.
Cell* hash_make(Cell& type, Cell& spec, Type type_id) {
  const Type spec_type = cell_type(spec);
  if (spec_type != Type::integer && spec_type != Type::float_) return hash_to(type, spec, type_id);
  Cell* made = block_push_new(std::max(number_to_int32(spec), 1));
  set_value_type_byte(*made, Type::hash);
  hash_index_new(*made);
  return made;
}

// mold: "make hash! " (not under /only) and the cells in brackets.
int32_t hash_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                  int32_t indent) {
  if (!only) limit = output_text(buffer, "make hash! ", limit);
  return block_mold_bracketed(value, buffer, "[", "]", false, all, flat, part, limit, indent);
}

// --- Actions that rebuild the index -------------------------------------------------------------

// copy: block! copy, kept a hash!; a whole copy from the head takes a copy of the table, any
// other copy (/part, /deep, /types, or from another index) a table of its own.
Cell* hash_copy(Cell& value, Cell* part, bool deep, Cell* types, Cell& result) {
  block_copy(value, part, deep, types, result);
  const NodeId table = hash_table_of(value);
  const bool whole = series_index(value) == 0 && !part && !deep && !types;
  if (whole && table) result.w3 = hashtable_copy(table, result.w2);
  else hash_index_new(result);
  return &result;
}

Cell* hash_sort(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse, bool stable) {
  Cell* sorted = block_action<Act::Sort>()(series, case_, skip, compare, part, all, reverse, stable);
  hash_rebuild(series);
  return sorted;
}

void hash_trim(Cell& series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with) {
  block_action<Act::Trim>()(series, head, tail, auto_, lines, all, with);
  hash_rebuild(series);
}

// take: block! take; a taken hash! (with /part) gets a table of its own.
Cell* hash_take(Cell& series, Cell* part, bool deep, bool last) {
  Cell* taken = block_action<Act::Take>()(series, part, deep, last);
  if (cell_type(*taken) == Type::hash) hash_index_new(*taken);
  return taken;
}

}  // namespace

// --- Upkeep of the index --------------------------------------------------------------------------

NodeId hash_table_of(const Cell& series) { return cell_type(series) == Type::hash ? series.w3 : 0; }

void hash_index_new(Cell& series) {
  series.w3 = hashtable_new(block_total_cells(series), series.w2, TableKind::hash, 0);
}

void hash_gap_opened(const Cell& series, int64_t position, int64_t units, int64_t total_before) {
  const NodeId table = hash_table_of(series);
  if (!table || units == 0) return;
  if (hash_index_sync(table, static_cast<int32_t>(units), static_cast<uint32_t>(position),
                      static_cast<uint32_t>(total_before - position)) == 0)
    return;
  // Too many cells to shift: the gap holds nones until it is written, and the block is indexed again.
  std::fill(block_cell_at(series, position), block_cell_at(series, position + units), kNoneCell);
  hash_rebuild(series);
}

void hash_units_cut(const Cell& series, int64_t start, int64_t count, int64_t total_before) {
  const NodeId table = hash_table_of(series);
  if (!table || count == 0) return;
  if (hash_index_sync(table, -static_cast<int32_t>(count), static_cast<uint32_t>(start + count),
                      static_cast<uint32_t>(total_before - start - count)) != 0)
    hash_rebuild(series);
}

void hash_cells_leaving(const Cell& series, int64_t position, int64_t count) {
  const NodeId table = hash_table_of(series);
  if (table && count > 0) hashtable_refresh(table, static_cast<uint32_t>(position), static_cast<uint32_t>(count));
}

void hash_cells_written(const Cell& series, int64_t position, int64_t count) {
  const NodeId table = hash_table_of(series);
  if (!table) return;
  for (int64_t p = position; p < position + count; ++p) {
    hashtable_remove_cell(table, static_cast<uint32_t>(p));
    if (hashtable_put_cell(table, static_cast<uint32_t>(p)) == PutStatus::rebuilt) return;  // every cell is in
  }
}

void hash_cells_moved(const Cell& series, int64_t source, int64_t target, int64_t count) {
  const NodeId table = hash_table_of(series);
  if (table && hash_index_sync_move(table, static_cast<uint32_t>(source), static_cast<uint32_t>(target),
                                    static_cast<uint32_t>(count)) != 0)
    hash_rebuild(series);
}

void hash_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(hash_make)
      .set<Act::To>(hash_to)
      .set<Act::Mold>(hash_mold)
      .set<Act::Copy>(hash_copy)
      .set<Act::Sort>(hash_sort)
      .set<Act::Trim>(hash_trim)
      .set<Act::Take>(hash_take)
      .set<Act::Random>(nullptr);  // a shuffle would move every cell of the index
  register_datatype(Type::hash, Type::block, "hash!", row);
  series_set_element_hooks(Type::hash, &kHashHooks);
}

}  // namespace qel

// ownership.cpp: the ownership table, owning and releasing walks, and change notification.
#include "runtime/ownership.h"

#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/hash-table.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/services.h"

namespace qel {

namespace {

NodeId table = 0;

enum class Owning : uint8_t { none, walked, entered, image, object };

// How the walks treat a value of each type.
Owning owning_of(Type type) {
  if (any_block_type(type)) return Owning::walked;
  switch (type) {
    case Type::string: case Type::file: case Type::url: case Type::tag: case Type::email: case Type::ref:
    case Type::binary: case Type::vector: case Type::bitset: return Owning::entered;
    case Type::image: return Owning::image;
    case Type::object: return Owning::object;
    default: return Owning::none;
  }
}

void mark_ownership_table() { collector_mark_table(table); }

// After marking: entries whose series or owner died go (a series still alive loses its owned
// flag); what the surviving entries hold is kept alive with them.
void drop_dead_owners() {
  hashtable_for_each_entry(table, [](uint32_t key, Cell* values) {
    const bool series_alive = collector_is_marked(key);
    if (series_alive && collector_is_marked(values[1].w1)) {
      collector_mark_cells(values, values + 3);
      return;
    }
    if (series_alive) series_buffer(key)->flags &= ~kSeriesOwned;
    hashtable_remove_key(table, key);
  });
}

// Records an entry for the node unless it has one already.
void enter(NodeId node, const Cell& value, const Cell& owner, const Cell& field) {
  if (hashtable_get(table, node)) return;
  const Cell entry[] = {value, owner, field};
  Cell* values = hashtable_put(table, node);
  for (int i = 0; i < 3; ++i) values[i] = entry[i];
}

// Flags a series' buffer owned and enters it, when it is not owned yet.
void own_buffer(const Cell& value, const Cell& owner, const Cell& field) {
  SeriesBuffer* buffer = series_buffer(value.w2);
  if (buffer->flags & kSeriesOwned) return;
  buffer->flags |= kSeriesOwned;
  enter(value.w2, value, owner, field);
}

// Calls fn on each cell of a block from the value's index to its tail; the cell stays valid as
// no walk reaches a safe point.
template <class Fn>
void each_cell_from_index(const Cell& block, Fn&& fn) {
  for (uint32_t i = block.w1; i < series_buffer_length(block.w2); ++i) fn(series_buffer(block.w2)->head_cell()[i]);
}

// The values of an object, each under its own word.
void own_object_values(const Cell& object, const Cell& owner) {
  const NodeId context = object.w1;
  if (series_buffer(context)->flags & kSeriesOwnerMark || cycle_stack_contains(context)) return;
  CyclePush level(context);
  for (uint32_t slot = 0; slot < context_length(context); ++slot) {
    Cell& value = series_buffer(context_cell(context).w2)->head_cell()[slot];
    if (cell_type(value) == Type::object && value.w1 == owner.w1) continue;
    Cell field = *context_word_at(context, slot);
    series_set_owned_deep(value, owner, field);
  }
}

}  // namespace

void ownership_table_init() {
  table = hashtable_new(kOwnershipExpected, 0, TableKind::ownership, 3);
  collector_remove_root(mark_ownership_table);
  collector_add_root(mark_ownership_table);
  collector_remove_post_mark(drop_dead_owners);
  collector_add_post_mark(drop_dead_owners);
}

NodeId ownership_table() { return table; }

void series_set_owned_deep(Cell& value, const Cell& owner, const Cell& field) {
  check_stack_headroom();
  switch (owning_of(cell_type(value))) {
    case Owning::walked:
      own_buffer(value, owner, field);
      if (!cycle_stack_contains(value.w2)) {
        CyclePush level(value.w2);
        each_cell_from_index(value, [&](Cell& cell) { series_set_owned_deep(cell, owner, field); });
      }
      break;
    case Owning::entered: own_buffer(value, owner, field); break;
    case Owning::image:
      if (!(value.header & kImageOwnedFlag)) {
        value.header |= kImageOwnedFlag;
        enter(value.w2, value, owner, field);
      }
      break;
    case Owning::object: own_object_values(value, owner); break;
    case Owning::none: break;
  }
}

void series_set_owned(Cell& value, const Cell& owner, const Cell& field) {
  CycleScope scope;
  series_set_owned_deep(value, owner, field);
  series_buffer(owner.w1)->flags |= kSeriesOwnerMark;
}

void series_clear_owned(Cell& value) {
  check_stack_headroom();
  CycleScope scope;
  switch (owning_of(cell_type(value))) {
    case Owning::walked:
      series_buffer(value.w2)->flags &= ~kSeriesOwned;
      hashtable_remove_key(table, value.w2);
      if (!cycle_stack_contains(value.w2)) {
        CyclePush level(value.w2);
        each_cell_from_index(value, [](Cell& cell) { series_clear_owned(cell); });
      }
      break;
    case Owning::entered:
      series_buffer(value.w2)->flags &= ~kSeriesOwned;
      hashtable_remove_key(table, value.w2);
      break;
    case Owning::image:
      value.header &= ~kImageOwnedFlag;
      hashtable_remove_key(table, value.w2);
      break;
    default: break;
  }
}

const Cell* series_owner_lookup(NodeId node) { return hashtable_get(table, node); }

int notify_owner_change(const Cell& value, const Cell& action, const Cell& new_value, int32_t index, int32_t part) {
  NodeId key;
  switch (owning_of(cell_type(value))) {
    case Owning::walked:
    case Owning::entered: key = value.w2; break;
    case Owning::image:
      if (!(value.header & kImageOwnedFlag)) return 0;
      key = value.w2;
      break;
    case Owning::object: key = value.w1; break;
    default: return 0;
  }
  if (!(series_buffer(key)->flags & kSeriesOwned) && cell_type(value) != Type::image) return 0;
  const Cell* entry = hashtable_get(table, key);
  if (!entry || entry[1].w3 == 0) return 0;
  services().object_fire_on_change(OwnerChange{entry[1], entry[2], value, action, new_value, index, part});
  return 1;
}

}  // namespace qel

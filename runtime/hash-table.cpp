// hash-table.cpp: the table record, its arrays and sizes, kinds 3 and 4, the in-place resize of
// kinds 1 and 2, copying, clearing and marking. The cell-indexing side of kinds 0 and 1 (hash!
// and map!) is in hash-index.cpp.
#include "runtime/hash-table.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "runtime/collector.h"
#include "runtime/gc-root.h"
#include "runtime/hash-index.h"
#include "runtime/memory.h"
#include "runtime/murmur-hash.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/value-hash.h"

namespace qel {

namespace {

constexpr double kLoadFactor = 0.77;
constexpr int64_t kWordTableDoubling = 4000;  // a first kind-2 request this large is doubled
constexpr int64_t kWordTableGrowth = 16;      // kind-2 tables grow 16-fold

// The bucket count for a computed size: the next power of two, at least 4, within the limit.
uint32_t power_of_two_buckets(int64_t size) {
  uint64_t wanted = std::bit_ceil(static_cast<uint64_t>(std::max<int64_t>(size, 4)));
  if (wanted > kMaxBuckets) raise_no_memory();
  return static_cast<uint32_t>(wanted);
}

// A byte series of `bytes` bytes, each `fill`, its tail at their end.
NodeId uniform_byte_series(int64_t bytes, uint8_t fill) {
  NodeId node = new_byte_series_filled(bytes, fill);
  series_reserve_tail_bytes(node, bytes);
  return node;
}

// A position array of `cells` entries, each -1 (no bucket yet).
NodeId new_position_array(int64_t cells) { return uniform_byte_series(std::max<int64_t>(cells, 4) * 4, 0xFF); }

// A bucket of a kind-3 or kind-4 table: the key beside its entry's byte offset, so a probe
// compares keys without reading entries.
struct EntrySlot {
  uint32_t key;
  int32_t offset;
};

// The key array of a kind for a bucket count: hash! and map! slots all empty, the rest left to
// be written.
NodeId new_key_array(TableKind kind, uint32_t buckets) {
  switch (kind) {
    case TableKind::hash: return uniform_byte_series(int64_t{buckets} * sizeof(HashSlot), kSlotEmptyByte);
    case TableKind::map: return uniform_byte_series(int64_t{buckets} * sizeof(MapSlot), kSlotEmptyByte);
    case TableKind::words: return filled_byte_series(int64_t{buckets} * 4);
    default: return filled_byte_series(int64_t{buckets} * sizeof(EntrySlot));
  }
}

// The record series of a new table.
NodeId new_record(const HashTable& record) {
  NodeId node = filled_byte_series(sizeof(HashTable));
  std::memcpy(series_buffer(node)->head_address(), &record, sizeof(HashTable));
  return node;
}

// Cells in a block from its head.
uint32_t block_length(NodeId block) {
  SeriesBuffer* buffer = series_buffer(block);
  return (buffer->tail - buffer->head) / sizeof(Cell);
}

// Entry address of a kind-3 or kind-4 table from its key array value (a byte offset).
Cell* entry_at(const HashTable& record, int32_t offset) {
  return reinterpret_cast<Cell*>(series_buffer(record.block)->head_address() + offset);
}

EntrySlot* entry_slots(const HashTable& record) {
  return reinterpret_cast<EntrySlot*>(series_buffer(record.keys)->head_address());
}

// The probe of an integer key in a kind-3 or kind-4 table.
[[gnu::always_inline]] inline Probe probe_entry_key(const TableView& view, uint32_t key) {
  const EntrySlot* slots = entry_slots(*view.record);
  return window_probe(view, word_hash(key), [&](uint32_t bucket) { return slots[bucket].key == key; });
}

// The hash of a kind-1 or kind-2 key: its cell in the indexed block.
uint32_t block_key_hash(const HashTable& record, int32_t position) {
  return value_hash(series_buffer(record.block)->head_cell()[position], false);
}

// The displacement loop of the in-place resize: each key taken from its old bucket goes to its
// new bucket, and a not-yet-moved key found there is taken next. Moved old buckets are marked
// deleted in the old flags, which the new ones then replace. Answers the keys placed.
uint32_t displace_keys(HashTable& record, uint32_t* old_flags, uint8_t* new_flags, int32_t* keys,
                       uint32_t old_buckets, uint32_t new_buckets) {
  TableView old_view{&record, old_flags, keys, nullptr};
  TableView new_view{&record, reinterpret_cast<uint32_t*>(new_flags), keys, new_flags + flag_word_bytes(new_buckets)};
  const uint32_t mask = new_buckets - 1;
  uint32_t placed = 0;
  for (uint32_t j = 0; j < old_buckets; ++j) {
    if (old_view.state(j) != kBucketOccupied) continue;
    int32_t key = keys[j];
    old_view.set_state(j, kBucketDeleted);
    for (;;) {
      const uint32_t hash = block_key_hash(record, key);
      uint32_t i = hash & mask;
      for (uint32_t step = 1; new_view.state(i) != kBucketEmpty; ++step) i = (i + step) & mask;
      new_view.set_state(i, kBucketOccupied);
      new_view.tags[i] = bucket_tag(hash);
      ++placed;
      if (i < old_buckets && old_view.state(i) == kBucketOccupied) {
        std::swap(key, keys[i]);
        old_view.set_state(i, kBucketDeleted);
        continue;
      }
      keys[i] = key;
      break;
    }
  }
  return placed;
}

// The resize of a map! table into new arrays: each key's hash is taken again from its cell (as
// every other rebuild does) and its slot placed in the first empty bucket of its sequence, the
// removed pairs' keys included (their buckets stay theirs).
void rehash_map(NodeId table, uint32_t buckets, uint32_t bound) {
  const NodeId flags = new_flag_array(buckets, false);
  const NodeId slots = new_key_array(TableKind::map, buckets);
  HashTable& record = table_record(table);
  const MapSlot* old_slots = map_slots(record);
  MapSlot* new_slots = reinterpret_cast<MapSlot*>(series_buffer(slots)->head_address());
  TableView view{&record, reinterpret_cast<uint32_t*>(series_buffer(flags)->head_address()), nullptr, nullptr};
  const uint32_t mask = buckets - 1;
  uint32_t placed = 0;
  for (uint32_t j = 0; j < record.buckets; ++j) {
    if (old_slots[j].empty()) continue;
    const int32_t position = old_slots[j].position();
    const uint32_t hash = block_key_hash(record, position);
    uint32_t i = hash & mask;
    for (uint32_t step = 1; !new_slots[i].empty(); ++step) i = (i + step) & mask;
    new_slots[i] = MapSlot::of(position, hash);
    view.set_state(i, kBucketOccupied);
    ++placed;
  }
  record.flags = flags;
  record.keys = slots;
  record.buckets = buckets;
  record.bound = bound;
  record.occupied = placed;
}

}  // namespace

NodeId filled_byte_series(int64_t bytes) {
  NodeId node = new_byte_series(bytes);
  series_reserve_tail_bytes(node, bytes);
  return node;
}

NodeId new_flag_array(uint32_t buckets, bool tagged) {
  return uniform_byte_series(flag_word_bytes(buckets) + (tagged ? buckets : 0), 0xAA);
}

void table_start_over(NodeId table, uint32_t buckets, uint32_t bound) {
  const TableKind kind = table_kind(table_record(table));
  NodeId flags = new_flag_array(buckets, kind_is_tagged(kind));
  NodeId keys = new_key_array(kind, buckets);
  HashTable& record = table_record(table);
  record.flags = flags;
  record.keys = keys;
  record.buckets = buckets;
  record.bound = bound;
  record.count = 0;
  record.occupied = 0;
}

uint32_t creation_buckets(int64_t expected) {
  int64_t n = std::max<int64_t>(expected, 4);
  return power_of_two_buckets(static_cast<int64_t>(static_cast<double>(n) / kLoadFactor));
}
uint32_t creation_bound(uint32_t buckets) { return static_cast<uint32_t>(buckets * kLoadFactor); }
uint32_t resize_buckets(int64_t request) { return power_of_two_buckets(request); }
uint32_t resize_bound(uint32_t buckets) { return static_cast<uint32_t>(buckets * kLoadFactor + 0.5); }

int64_t growth_request(const HashTable& record) {
  const int64_t buckets = record.buckets;
  const bool same_size = uint64_t{record.count} * 2 < record.buckets;
  switch (table_kind(record)) {
    case TableKind::map: return buckets + 1;
    case TableKind::words: return kWordTableGrowth * (same_size ? buckets - 1 : buckets + 1);
    default: return same_size ? buckets - 1 : buckets + 1;
  }
}

NodeId hashtable_new(int64_t expected, NodeId block, TableKind kind, uint32_t width) {
  if (kind == TableKind::words && expected >= kWordTableDoubling) expected *= 2;
  HashTable record{};
  record.kind = static_cast<uint32_t>(kind);
  record.buckets = creation_buckets(expected);
  record.bound = creation_bound(record.buckets);
  GcRoot<NodeId> kept_block(block);
  NoGcScope no_gc;
  record.flags = new_flag_array(record.buckets, kind_is_tagged(kind));
  record.keys = new_key_array(kind, record.buckets);
  switch (kind) {
    case TableKind::integers:
    case TableKind::ownership:
      record.aux = (width + 1) * sizeof(Cell);
      record.block = new_cell_series(int64_t{record.bound} * (width + 1));
      return new_record(record);
    case TableKind::hash:
      record.block = block ? block : new_cell_series(std::max<int64_t>(expected, 1));
      record.aux = new_position_array(std::max<int64_t>(expected, block_length(record.block)));
      break;
    default:
      record.block = block ? block : new_cell_series(std::max<int64_t>(expected, 1));
  }
  NodeId table = new_record(record);
  if (block && kind == TableKind::hash) hashtable_fill(table, 0, 1);
  if (block && kind == TableKind::map) hashtable_fill(table, 0, 2);
  return table;
}

NodeId hashtable_copy(NodeId table, NodeId block) {
  NoGcScope no_gc;
  HashTable record = table_record(table);
  record.flags = copy_series_buffer(record.flags);
  record.keys = copy_series_buffer(record.keys);
  switch (table_kind(record)) {
    case TableKind::integers:
    case TableKind::ownership: record.block = copy_series_buffer(record.block); break;
    case TableKind::hash:
      record.aux = copy_series_buffer(record.aux);
      record.chains = hash_chains_copy(record.chains);
      [[fallthrough]];
    default: record.block = block ? block : copy_series_buffer(record.block);
  }
  return new_record(record);
}

NodeId hashtable_copy_prototype(NodeId prototype) {
  if (table_kind(table_record(prototype)) != TableKind::words) fatal_assertion();
  return hashtable_copy(prototype, 0);
}

void hashtable_reset_flags(NodeId table) {
  SeriesBuffer* flags = series_buffer(table_record(table).flags);
  std::memset(flags->head_address(), 0xAA, flags->tail - flags->head);
}

void hashtable_clear(NodeId table) {
  hashtable_reset_flags(table);
  HashTable& record = table_record(table);
  record.count = 0;
  record.occupied = 0;
  if (table_kind(record) == TableKind::hash || table_kind(record) == TableKind::map) {
    SeriesBuffer* slots = series_buffer(record.keys);
    std::memset(slots->head_address(), kSlotEmptyByte, slots->tail - slots->head);
  }
  if (table_kind(record) == TableKind::hash) return hash_positions_reset(table);
  series_buffer_clear(table_record(table).block);
}

// --- Kinds 3 and 4 ------------------------------------------------------------------------------

Cell* hashtable_put(NodeId table, uint32_t key) {
  if (const HashTable& record = table_record(table); record.occupied >= record.bound) [[unlikely]]
    hashtable_grow(table, growth_request(record));
  TableView view = table_view(table);
  HashTable& record = *view.record;
  EntrySlot* slots = entry_slots(record);
  Probe probe = probe_entry_key(view, key);
  SeriesBuffer* entries = series_buffer(record.block);
  if (!probe.found) {
    if (view.state(probe.bucket) == kBucketEmpty) {
      // A fresh entry at the tail; a deleted bucket reuses the entry it held, so the entry
      // series never outgrows the occupied buckets. A table made or grown here has room for
      // them all; only a copy's entry series, cut to its content, grows.
      slots[probe.bucket].offset = static_cast<int32_t>(entries->tail - entries->head);
      if (entries->capacity - entries->tail >= record.aux) [[likely]] {
        entries->tail += record.aux;
      } else {
        series_reserve_tail_bytes(record.block, record.aux);
        entries = series_buffer(record.block);
      }
    }
    table_take_bucket(view, probe.bucket);
    slots[probe.bucket].key = key;
    Cell* entry = reinterpret_cast<Cell*>(entries->head_address() + slots[probe.bucket].offset);
    entry->header = kUnsetHeader;
    entry->w1 = key;
  }
  Cell* values = reinterpret_cast<Cell*>(entries->head_address() + slots[probe.bucket].offset) + 1;
  std::fill_n(values, record.aux / sizeof(Cell) - 1, make_cell(Type::unset));
  return values;
}

Cell* hashtable_get(NodeId table, uint32_t key) {
  TableView view = table_view(table);
  Probe probe = probe_entry_key(view, key);
  return probe.found ? entry_at(*view.record, entry_slots(*view.record)[probe.bucket].offset) + 1 : nullptr;
}

Cell* hashtable_remove_key(NodeId table, uint32_t key) {
  TableView view = table_view(table);
  Probe probe = probe_entry_key(view, key);
  if (!probe.found) return nullptr;
  view.set_state(probe.bucket, kBucketDeleted);
  --view.record->count;
  Cell* entry = entry_at(*view.record, entry_slots(*view.record)[probe.bucket].offset);
  entry->header = 0;
  return entry + 1;
}

void hashtable_grow(NodeId table, int64_t request) {
  NoGcScope no_gc;
  HashTable old = table_record(table);
  const uint32_t buckets = resize_buckets(request);
  if (old.count > resize_bound(buckets)) fatal_assertion();  // the request leaves room for every entry
  table_start_over(table, buckets, resize_bound(buckets));
  // Room for every entry the new size takes before it grows again.
  NodeId entries = new_cell_series(int64_t{resize_bound(buckets)} * (old.aux / sizeof(Cell)));
  HashTable& record = table_record(table);
  record.block = entries;
  TableView view = table_view(table);
  EntrySlot* slots = entry_slots(record);
  const uint8_t* old_entries = series_buffer(old.block)->head_address();
  const uint32_t old_bytes = series_buffer(old.block)->tail - series_buffer(old.block)->head;
  // The live keys are distinct and the new arrays hold no deleted bucket: each key takes the
  // first empty bucket of its sequence, and its entry goes to the tail, which has room for all.
  SeriesBuffer* target = series_buffer(entries);
  for (uint32_t offset = 0; offset < old_bytes; offset += old.aux) {
    const Cell* entry = reinterpret_cast<const Cell*>(old_entries + offset);
    if (entry->header != kUnsetHeader) continue;
    const uint32_t i = window_probe(view, word_hash(entry->w1), [](uint32_t) { return false; }).bucket;
    view.set_state(i, kBucketOccupied);
    slots[i] = {entry->w1, static_cast<int32_t>(target->tail - target->head)};
    std::memcpy(target->tail_address(), entry, old.aux);
    target->tail += old.aux;
  }
  record.count = record.occupied = (target->tail - target->head) / old.aux;
}

// --- Kinds 1 and 2 ------------------------------------------------------------------------------

void hashtable_rehash(NodeId table, int64_t request) {
  HashTable& current = table_record(table);
  const uint32_t buckets = resize_buckets(request);
  const uint32_t bound = resize_bound(buckets);
  if (current.count >= bound) return;
  NoGcScope no_gc;
  if (table_kind(current) == TableKind::map) return rehash_map(table, buckets, bound);
  const uint32_t old_buckets = current.buckets;
  NodeId new_flags = new_flag_array(buckets, true);
  if (buckets > old_buckets) grow_series_copy(current.keys, int64_t{buckets} * 4);
  HashTable& record = table_record(table);
  uint32_t placed = displace_keys(record, reinterpret_cast<uint32_t*>(series_buffer(record.flags)->head_address()),
                                  series_buffer(new_flags)->head_address(),
                                  reinterpret_cast<int32_t*>(series_buffer(record.keys)->head_address()),
                                  old_buckets, buckets);
  series_buffer_set_tail(record.keys, buckets * 4 + 1);
  record.flags = new_flags;
  record.buckets = buckets;
  record.bound = bound;
  record.occupied = placed;
}

// --- The collector ------------------------------------------------------------------------------

void hash_tables_init() {
  collector_set_table_marker(hashtable_mark);
  hash_index_init();
}

void hashtable_mark(NodeId table) {
  if (!collector_mark_node(table)) return;
  const HashTable& record = table_record(table);
  collector_mark_node(record.flags);
  collector_mark_node(record.keys);
  switch (table_kind(record)) {
    case TableKind::integers:
      collector_mark_node(record.block);
      hashtable_for_each_entry(table, [&](uint32_t, Cell* values) {
        collector_mark_cells(values, values + record.aux / sizeof(Cell) - 1);
      });
      break;
    case TableKind::ownership: collector_mark_node(record.block); break;
    case TableKind::hash:
      collector_mark_node(record.aux);
      hash_chains_mark(record.chains);
      [[fallthrough]];
    default: collector_mark_block(record.block);
  }
}

}  // namespace qel

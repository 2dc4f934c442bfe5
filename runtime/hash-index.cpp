// hash-index.cpp: hash! and map! tables: indexing cells, chains of equal cells, searches,
// removal, rebuilding, and keeping positions in step when cells move.
#include "runtime/hash-index.h"

#include <algorithm>
#include <cstring>
#include <span>
#include <vector>

#include "datatypes/series/string-compare.h"
#include "datatypes/series/string-core.h"
#include "runtime/action-lookup.h"
#include "runtime/collector.h"
#include "runtime/hash-table.h"
#include "runtime/memory.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/text-hash.h"
#include "runtime/value-hash.h"

namespace qel {

namespace {

constexpr double kRebuildGrowth = 1.5;
constexpr int64_t kSyncScratchExpected = 1024;
// A chain list slot of a released chain: this bit and the next free chain number.
constexpr uint32_t kFreeChain = 0x80000000u;

NodeId sync_scratch = 0;  // the chains a sync has adjusted already (kind 3, keys only)
void mark_sync_scratch() { collector_mark_table(sync_scratch); }

void keep_key(Cell&) {}
MapKeyNormaliser key_normaliser = keep_key;

// --- Positions and cells --------------------------------------------------------------------------

Cell* cells_of(const HashTable& record) { return series_buffer(record.block)->head_cell(); }
uint32_t cell_count(NodeId block) { return series_buffer_length(block); }

int32_t* positions_of(const HashTable& record) {
  return reinterpret_cast<int32_t*>(series_buffer(record.aux)->head_address());
}
uint32_t positions_capacity(const HashTable& record) { return series_buffer_length(record.aux) / 4; }

// The position array holds at least `cells` entries (new ones -1), doubling when it grows.
void ensure_positions(NodeId table, uint64_t cells) {
  const HashTable& record = table_record(table);
  const uint32_t have = positions_capacity(record);
  if (cells <= have) return;
  const uint64_t bytes = std::max<uint64_t>(cells, uint64_t{have} * 2) * 4;
  if (bytes > kSeriesMaxBytes) raise_no_memory();
  SeriesBuffer* buffer = grow_series_fill(record.aux, static_cast<int64_t>(bytes), 0xFF);
  buffer->tail = buffer->head + static_cast<uint32_t>(bytes);
}

// The position the bucket at `position` is recorded under, or -1 when the cell is not indexed.
int32_t bucket_of(const HashTable& record, uint32_t position) {
  return position < positions_capacity(record) ? positions_of(record)[position] - 1 : -1;
}

// --- Chains ---------------------------------------------------------------------------------------
// The chain list: slot 0 the first free chain number (0: none), slot c the node of chain c, or
// kFreeChain | next free number once released. A chain: 32-bit positions of equal cells. A slot's
// key names chain c as ~c (at most -2, clear of the empty and deleted keys).

constexpr int32_t chain_key(uint32_t number) { return ~static_cast<int32_t>(number); }
constexpr uint32_t chain_number(int32_t key) { return static_cast<uint32_t>(~key); }

int32_t* chain_slots(NodeId chains) { return reinterpret_cast<int32_t*>(series_buffer(chains)->head_address()); }

std::span<int32_t> chain_positions(NodeId chain) {
  SeriesBuffer* buffer = series_buffer(chain);
  return {reinterpret_cast<int32_t*>(buffer->head_address()), (buffer->tail - buffer->head) / 4};
}

NodeId chain_node(const HashTable& record, int32_t key) {
  return static_cast<NodeId>(chain_slots(record.chains)[chain_number(key)]);
}

// A new chain of two positions; answers its number.
uint32_t chain_new(NodeId table, int32_t first, int32_t second) {
  NodeId chain = new_byte_series(16);
  series_buffer_append_int32(chain, first);
  series_buffer_append_int32(chain, second);
  HashTable& record = table_record(table);
  if (!record.chains) {
    record.chains = new_byte_series(64);
    series_buffer_append_int32(record.chains, 0);
  }
  int32_t* slots = chain_slots(record.chains);
  if (uint32_t free = static_cast<uint32_t>(slots[0])) {
    slots[0] = static_cast<int32_t>(static_cast<uint32_t>(slots[free]) & ~kFreeChain);
    slots[free] = static_cast<int32_t>(chain);
    return free;
  }
  series_buffer_append_int32(record.chains, static_cast<int32_t>(chain));
  return series_buffer_length(record.chains) / 4 - 1;
}

// Gives a chain's number back to the free list (its series becomes garbage).
void chain_release(HashTable& record, uint32_t number) {
  int32_t* slots = chain_slots(record.chains);
  slots[number] = static_cast<int32_t>(kFreeChain | static_cast<uint32_t>(slots[0]));
  slots[0] = static_cast<int32_t>(number);
}

// The first position a bucket's key stands for: itself, or its chain's first.
int32_t first_position(const HashTable& record, int32_t key) {
  return key >= 0 ? key : chain_positions(chain_node(record, key))[0];
}

// Calls fn(position) for each position a bucket's key stands for.
template <class Fn>
void each_position(const HashTable& record, int32_t key, Fn&& fn) {
  if (key >= 0) return fn(key);
  for (int32_t position : chain_positions(chain_node(record, key))) fn(position);
}

// --- Probing --------------------------------------------------------------------------------------

// A value sought in a hash! table (to find it, or to index it among its class): its hash, and
// its text, read once, when it is a string!, the usual key.
struct Sought {
  explicit Sought(const Cell& cell) : value(cell) {
    if (cell_type(cell) == Type::string) {
      text = string_text(cell);
      hash = hash_text(text, false);  // what value_hash answers, the text read once
    } else {
      hash = value_hash(cell, false);
    }
  }
  const Cell& value;
  UnitText text;
  uint32_t hash;
};

// How a cell meets a sought value: of another class, of its class (the same type and equal), or
// of its class with the same bytes of 1-byte text, and so equal under every comparison code but
// same?. Two strings of 1-byte text are mostly told apart or alike by their bytes, without the
// compare action.
enum class Meeting : uint8_t { apart, equal, same_bytes };

[[gnu::always_inline]] inline Meeting meeting(const Cell& cell, const Sought& sought) {
  if (cell_type(cell) != cell_type(sought.value)) return Meeting::apart;
  if (cell_type(cell) == Type::string) {
    if (const int32_t known = narrow_texts_equality(string_text(cell), sought.text); known >= 0)
      return known == 0 ? Meeting::same_bytes : Meeting::apart;
  }
  return values_equal(cell, sought.value) ? Meeting::equal : Meeting::apart;
}

// The slot of a bucket taken by the cell at a position.
HashSlot slot_of(const Cell& cell, uint32_t position, uint32_t hash) {
  const bool text = cell_type(cell) == Type::string;
  return {static_cast<int32_t>(position), hash, text ? cell.w2 : 0, text ? cell.w1 : 0};
}

// Walks the probe sequence of `hash` in a hash! table over its slots alone, asking
// `matches(slot)` of each live slot whose hash is `hash`: answers as table_probe does.
template <class Matches>
[[gnu::always_inline]] inline Probe probe_hash_slots(const HashTable& record, uint32_t hash, Matches&& matches) {
  const HashSlot* slots = hash_slots(record);
  const uint32_t buckets = record.buckets;
  const uint32_t mask = buckets - 1;
  uint32_t reusable = kNoBucket;
  for (uint32_t i = hash & mask, step = 1; step <= buckets; i = (i + step++) & mask) {
    const HashSlot slot = slots[i];
    if (slot.key == HashSlot::kEmpty) return {reusable != kNoBucket ? reusable : i, false};
    if (slot.key == HashSlot::kDeleted) {
      if (reusable == kNoBucket) reusable = i;
    } else if (slot.hash == hash && matches(slot)) {
      return {i, true};
    }
  }
  return {reusable, false};
}

// The bucket of the class of a sought value in a hash! table; `met` tells how its first cell met
// the value. A string! met by a slot of one string! is compared with the text the slot names.
[[gnu::always_inline]] inline Probe probe_class(const HashTable& record, const Sought& sought, Meeting& met) {
  const Cell* cells = cells_of(record);
  const bool text = cell_type(sought.value) == Type::string;
  return probe_hash_slots(record, sought.hash, [&](const HashSlot& slot) __attribute__((always_inline)) {
    met = text && slot.text ? meeting(make_cell(Type::string, slot.at, slot.text), sought)
                            : meeting(cells[first_position(record, slot.key)], sought);
    return met != Meeting::apart;
  });
}

// Whether a map! key cell equals the key under the code: two integer! keys by their numbers
// without a call (the commonest keys; no code tells equal integers apart), others through
// the compare action.
bool map_key_equal(const Cell& key, const Cell& cell, int32_t code) {
  if (cell_type(key) == Type::integer && cell_type(cell) == Type::integer) return key.w2 == cell.w2;
  return compare_values(key, cell, code);
}

// The bucket of a map! key (whose hash is given) equal to `key` under the code, else the empty
// bucket that ended the walk (a map! bucket is never deleted). Only the slots are read on the
// way, and a key cell only where the slot's hash bits agree.
Probe probe_map_key(NodeId table, const Cell& key, uint32_t hash, int32_t code) {
  const HashTable& record = table_record(table);
  const MapSlot* slots = map_slots(record);
  const Cell* cells = cells_of(record);
  const uint32_t mask = record.buckets - 1;
  for (uint32_t i = hash & mask, step = 1;; i = (i + step++) & mask) {
    const MapSlot slot = slots[i];
    if (slot.empty()) return {i, false};
    if (slot.may_hold(hash) && map_key_equal(key, cells[slot.position()], code)) return {i, true};
  }
}

// Values a search finds among cells of other kinds too: a word finds a set-word, lit-word,
// get-word or refinement of its spelling (they hash alike, by the canonical symbol).
bool finds_other_kinds(Type type) {
  switch (type) {
    case Type::word: case Type::set_word: case Type::lit_word: case Type::get_word: case Type::refinement:
    case Type::issue:
      return true;
    default:
      return false;
  }
}

bool is_word_key(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::lit_word || type == Type::get_word;
}

// The positions a hash! search may answer: at a distance from `start` that is a multiple of
// `skip`, at or after it (before it with `reverse`); the nearest wins, the farthest with `last`.
struct Reach {
  uint32_t start, skip;
  bool last, reverse;

  bool takes(int32_t position) const {
    const int64_t distance = reverse ? int64_t{start} - position : int64_t{position} - start;
    // skip 1 (every search but /skip) takes no division: a 64-bit one costs more than the probe.
    return distance >= (reverse ? 1 : 0) && (skip == 1 || distance % skip == 0);
  }
  bool better(int32_t position, int64_t best) const {
    return best < 0 || (reverse || last ? position > best : position < best);
  }
};

// The best of `best` and the positions a bucket's key stands for that the search reaches and
// whose cells equal the value under the code.
[[gnu::noinline]] int64_t nearest_equal(const HashTable& record, int32_t key, const Cell& value, int32_t code,
                                        const Reach& reach, int64_t best) {
  each_position(record, key, [&](int32_t position) {
    if (reach.takes(position) && reach.better(position, best) && compare_values(value, cells_of(record)[position], code))
      best = position;
  });
  return best;
}

// --- hash! indexing -------------------------------------------------------------------------------

PutStatus put_hash_cell(NodeId table, uint32_t position) {
  if (table_record(table).occupied >= table_record(table).bound) {
    hashtable_resize(table, growth_request(table_record(table)));
    return PutStatus::rebuilt;
  }
  ensure_positions(table, uint64_t{position} + 1);
  const Sought sought(cells_of(table_record(table))[position]);
  Meeting met;
  Probe probe = probe_class(table_record(table), sought, met);
  if (probe.found) {
    const int32_t key = hash_slots(table_record(table))[probe.bucket].key;
    if (key >= 0) {
      const uint32_t number = chain_new(table, key, static_cast<int32_t>(position));
      hash_slots(table_record(table))[probe.bucket] = {chain_key(number), sought.hash, 0, 0};
    } else {
      series_buffer_append_int32(chain_node(table_record(table), key), static_cast<int32_t>(position));
    }
    ++table_record(table).count;
  } else {
    TableView view = table_view(table);
    table_take_bucket(view, probe.bucket);
    hash_slots(*view.record)[probe.bucket] = slot_of(sought.value, position, sought.hash);
  }
  positions_of(table_record(table))[position] = static_cast<int32_t>(probe.bucket) + 1;
  return PutStatus::indexed;
}

void remove_hash_cell(NodeId table, uint32_t position) {
  HashTable& record = table_record(table);
  const int32_t bucket = bucket_of(record, position);
  if (bucket < 0) return;
  HashSlot& slot = hash_slots(record)[bucket];
  const int32_t key = slot.key;
  bool bucket_emptied = key >= 0;
  if (key < 0) {
    NodeId chain = chain_node(record, key);
    std::span<int32_t> entries = chain_positions(chain);
    auto at = std::find(entries.begin(), entries.end(), static_cast<int32_t>(position));
    if (at != entries.end()) series_buffer_remove_bytes(chain, static_cast<uint32_t>(at - entries.begin()) * 4, 4);
    bucket_emptied = series_buffer_length(chain) == 0;
    if (bucket_emptied) chain_release(record, chain_number(key));
  }
  if (bucket_emptied) {
    table_view(table).set_state(static_cast<uint32_t>(bucket), kBucketDeleted);
    slot.key = HashSlot::kDeleted;
  }
  --record.count;
  positions_of(record)[position] = -1;
}

// --- map! indexing --------------------------------------------------------------------------------

// Indexes the key at a position unless a strictly equal key is there: answers the probe (found:
// the bucket of that key).
Probe put_map_key(NodeId table, uint32_t position) {
  hashtable_grow_if_full(table);
  const Cell key = cells_of(table_record(table))[position];
  const uint32_t hash = value_hash(key, false);
  Probe probe = probe_map_key(table, key, hash, kCompareStrictEqual);
  if (probe.found) return probe;
  TableView view = table_view(table);
  table_take_bucket(view, probe.bucket);
  map_slots(*view.record)[probe.bucket] = MapSlot::of(position, hash);
  return probe;
}

// Indexes the pairs from `position`; a key met before gives the earlier pair its value and leaves.
void fill_map(NodeId table, uint32_t position) {
  const NodeId block = table_record(table).block;
  while (uint64_t{position} + 1 < cell_count(block)) {
    key_normaliser(series_buffer(block)->head_cell()[position]);
    Probe probe = put_map_key(table, position);
    if (!probe.found) {
      position += 2;
      continue;
    }
    const int32_t earlier = map_slots(table_record(table))[probe.bucket].position();
    Cell* cells = series_buffer(block)->head_cell();
    cells[earlier + 1] = cells[position + 1];
    series_buffer_remove_bytes(block, position * sizeof(Cell), 2 * sizeof(Cell));
  }
}

// --- Syncing positions ----------------------------------------------------------------------------

// Maps every stored position in [low, high) through `moved`, chains included (each chain once),
// and moves their position-array entries with them; the array has room for every new position.
template <class Moved>
void remap_positions(NodeId table, uint32_t low, uint32_t high, Moved&& moved) {
  HashTable& record = table_record(table);
  const uint32_t end = std::min(high, positions_capacity(record));
  if (low >= end) return;
  std::vector<int32_t> buckets(positions_of(record) + low, positions_of(record) + end);
  hashtable_clear(sync_scratch);
  HashSlot* slots = hash_slots(record);
  for (int32_t bucket : buckets) {
    if (bucket <= 0) continue;
    int32_t& key = slots[bucket - 1].key;
    if (key >= 0) {
      key = moved(key);
    } else if (!hashtable_get(sync_scratch, chain_number(key))) {
      hashtable_put(sync_scratch, chain_number(key));
      for (int32_t& position : chain_positions(chain_node(record, key)))
        if (position >= static_cast<int32_t>(low) && position < static_cast<int32_t>(high)) position = moved(position);
    }
  }
  int32_t* positions = positions_of(record);
  std::fill(positions + low, positions + end, -1);
  for (uint32_t i = 0; i < buckets.size(); ++i)
    if (buckets[i] > 0) positions[moved(static_cast<int32_t>(low + i))] = buckets[i];
}

}  // namespace

void hash_index_init() {
  sync_scratch = hashtable_new(kSyncScratchExpected, 0, TableKind::integers, 0);
  collector_remove_root(mark_sync_scratch);
  collector_add_root(mark_sync_scratch);
}

void set_map_key_normaliser(MapKeyNormaliser normaliser) { key_normaliser = normaliser ? normaliser : keep_key; }

PutStatus hashtable_put_cell(NodeId table, uint32_t position) {
  switch (table_kind(table_record(table))) {
    case TableKind::hash: return put_hash_cell(table, position);
    case TableKind::map: return put_map_key(table, position).found ? PutStatus::present : PutStatus::indexed;
    default: fatal_assertion();  // word tables are indexed by their owners
  }
}

int64_t hashtable_find_key(NodeId table, const Cell& key, int32_t code) {
  Cell lookup = key;  // the caller's cell is never retyped
  if (is_word_key(cell_type(lookup))) set_value_type_byte(lookup, Type::set_word);
  Probe probe = probe_map_key(table, lookup, value_hash(lookup, false), code);
  return probe.found ? map_slots(table_record(table))[probe.bucket].position() : -1;
}

int64_t hashtable_find_cell(NodeId table, const Cell& value, uint32_t start, uint32_t skip, int32_t code, bool last,
                            bool reverse) {
  const HashTable& record = table_record(table);
  if (table_kind(record) == TableKind::map) return hashtable_find_key(table, value, code);
  const Cell wanted = value;  // compared after the probe: held apart from the caller's cell
  const Reach reach{start, skip == 0 ? 1 : skip, last, reverse};
  if (finds_other_kinds(cell_type(wanted))) {
    // Its bucket holds one kind only: every bucket of the probe sequence may hold a match.
    int64_t best = -1;
    probe_hash_slots(record, value_hash(wanted, false), [&](const HashSlot& slot) {
      best = nearest_equal(record, slot.key, wanted, code, reach, best);
      return false;
    });
    return best;
  }
  Meeting met;
  Probe probe = probe_class(record, Sought(wanted), met);
  if (!probe.found) return -1;
  const int32_t key = hash_slots(record)[probe.bucket].key;
  // A single cell has just met the value: equal, or with its very bytes, equal under every code
  // but same?. Chained ones compare under the code.
  if (key >= 0 && (code == kCompareEqual || (met == Meeting::same_bytes && code != kCompareSame)))
    return reach.takes(key) ? key : -1;
  return nearest_equal(record, key, wanted, code, reach, -1);
}

void hashtable_remove_cell(NodeId table, uint32_t position) {
  HashTable& record = table_record(table);
  if (table_kind(record) == TableKind::hash) return remove_hash_cell(table, position);
  Cell& value = cells_of(record)[position + 1];
  if (value.header == 0) return;
  value.header = 0;
  --record.count;
}

void hashtable_refresh(NodeId table, uint32_t position, uint32_t count) {
  const uint32_t length = cell_count(table_record(table).block);
  const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{position} + count, length));
  if (position == 0 && end == length) return hashtable_clear(table);
  for (uint32_t p = position; p < end; ++p) hashtable_remove_cell(table, p);
}

void hashtable_fill(NodeId table, uint32_t start, uint32_t stride) {
  if (table_kind(table_record(table)) == TableKind::map) return fill_map(table, start);
  if (stride == 0) stride = 1;
  for (uint32_t p = start; p < cell_count(table_record(table).block); p += stride)
    if (hashtable_put_cell(table, p) == PutStatus::rebuilt) return;
}

void hashtable_resize(NodeId table, int64_t expected) {
  const uint32_t length = cell_count(table_record(table).block);
  const int64_t n = std::max<int64_t>(expected, length);
  const uint32_t buckets = resize_buckets(static_cast<int64_t>(static_cast<double>(n) * kRebuildGrowth));
  table_start_over(table, buckets, creation_bound(buckets));
  hash_positions_reset(table);
  ensure_positions(table, length);
  for (uint32_t p = 0; p < length; ++p) put_hash_cell(table, p);
}

int hash_index_sync(NodeId table, int32_t shift, uint32_t position, uint32_t count) {
  if (count > kSyncCellLimit) return 1;
  if (shift < 0) {
    const uint32_t removed = std::min(static_cast<uint32_t>(-static_cast<int64_t>(shift)), position);
    for (uint32_t p = position - removed; p < position; ++p) remove_hash_cell(table, p);
  } else {
    ensure_positions(table, uint64_t{position} + count + static_cast<uint32_t>(shift));
  }
  remap_positions(table, position, position + count, [shift](int32_t p) { return p + shift; });
  return 0;
}

int hash_index_sync_move(NodeId table, uint32_t source, uint32_t target, uint32_t count) {
  if (source == target || count == 0) return 0;
  const uint32_t low = std::min(source, target);
  const uint32_t high = std::max(source, target) + count;
  if (high - low > kSyncCellLimit) return 1;
  ensure_positions(table, high);
  const int32_t s = static_cast<int32_t>(source), t = static_cast<int32_t>(target), n = static_cast<int32_t>(count);
  remap_positions(table, low, high, [=](int32_t p) {
    if (p >= s && p < s + n) return p - s + t;  // a moved cell
    return t > s ? p - n : p + n;               // a cell the moved ones passed over
  });
  return 0;
}

NodeId hash_chains_copy(NodeId chains) {
  if (!chains) return 0;
  NodeId copy = copy_series_buffer(chains);
  int32_t* slots = chain_slots(copy);
  for (uint32_t c = 1; c < series_buffer_length(copy) / 4; ++c)
    if (!(static_cast<uint32_t>(slots[c]) & kFreeChain)) {
      NodeId chain = copy_series_buffer(static_cast<NodeId>(slots[c]));
      chain_slots(copy)[c] = static_cast<int32_t>(chain);
      slots = chain_slots(copy);
    }
  return copy;
}

void hash_chains_mark(NodeId chains) {
  if (!chains || !collector_mark_node(chains)) return;
  const int32_t* slots = chain_slots(chains);
  for (uint32_t c = 1; c < series_buffer_length(chains) / 4; ++c)
    if (!(static_cast<uint32_t>(slots[c]) & kFreeChain)) collector_mark_node(static_cast<NodeId>(slots[c]));
}

void hash_positions_reset(NodeId table) {
  HashTable& record = table_record(table);
  SeriesBuffer* positions = series_buffer(record.aux);
  std::memset(positions->head_address(), 0xFF, positions->tail - positions->head);
  record.chains = 0;
}

}  // namespace qel

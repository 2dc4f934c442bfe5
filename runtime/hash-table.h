// hash-table.h: the one open-addressing hash table design behind hash! and map! indexes, the
// symbol table, context word tables, integer-keyed sets and the ownership table.
//
// A table is a record of eleven 32-bit words in a byte series of its own, reached by that
// series' node. It never holds copies of the values it indexes: kinds 0 to 2 store positions
// of cells in their block, kinds 3 and 4 byte offsets of entries in their entry series. Every
// key is a position, a symbol id or a node id, never an address, so nothing needs rehashing
// after a collection moves buffers (the stamp stays 0).
//
// Buckets: a power of two, at least 4. Two bits each in the flag array (16 buckets a word):
// 2 = empty, 1 = deleted, 0 = occupied. Kind 2 keeps after the flag words one tag byte a
// bucket: the top byte of the hash of the key its occupied bucket holds, so a probe passes over
// nearly every other key without reading it or its cell (a tag under an empty or deleted state
// is stale and never read; a copy of the flag array copies the tags). A kind-0 (hash!) bucket is
// a HashSlot: the key beside the whole hash of its cells, its state in the key, so a probe reads
// one array and a cell only where the 32-bit hashes agree. A kind-1 (map!) bucket is a MapSlot:
// the key's pair number and four hash bits in one word, all ones when empty, so a probe reads one
// slot and, when the hash bits agree, the key cell (two dependent loads, not four); its buckets
// are never deleted. Kinds 0 and 1 keep their flag words in step for the shared code, but no
// probe of theirs reads them. Invariant: occupied (live plus deleted buckets) stays
// at or below the upper bound, which is below the bucket count, so every probe meets an empty
// bucket. Probing: i = hash & (buckets - 1), then i + 1, i + 3, i + 6 ... (the step grows by one
// each time), which visits every bucket once in `buckets` steps.
#pragma once

#include <bit>
#include <cstdint>
#include <utility>

#include "runtime/cell.h"
#include "runtime/series-buffer.h"

namespace qel {

enum class TableKind : uint32_t {
  hash = 0,       // the index of a hash! block: duplicates allowed, equal cells chained
  map = 1,        // the keys of a map! block of key/value pairs
  words = 2,      // the symbol table and context word tables: positions in the indexed block
  integers = 3,   // integer keys, entries in an entry series of their own
  ownership = 4,  // node keys of owned series, entries held weakly
};

// The record, in order. Invariant: count <= occupied <= bound < buckets.
struct HashTable {
  uint32_t count;     // live keys (map!: live pairs)
  uint32_t aux;       // kind 0: node of the position array; kinds 3 and 4: entry size in bytes
  NodeId chains;      // kind 0: node of the chain list (0 until the first chain); else 0
  NodeId flags;       // node of the flag array
  NodeId keys;        // node of the key array: kind 0 a HashSlot per bucket; kind 1 a MapSlot;
                      // kind 2 one 32-bit key; kinds 3 and 4 a (key, entry offset) pair
  NodeId block;       // kinds 0 to 2: the indexed block; kinds 3 and 4: the entry series
  uint32_t occupied;  // live plus deleted buckets
  uint32_t buckets;
  uint32_t bound;     // the occupied count at which the table grows
  uint32_t kind;
  uint32_t stamp;     // always 0: no key is an address
};
static_assert(sizeof(HashTable) == 44);

inline constexpr uint32_t kBucketEmpty = 2;
inline constexpr uint32_t kBucketDeleted = 1;
inline constexpr uint32_t kBucketOccupied = 0;
inline constexpr uint32_t kNoBucket = 0xFFFFFFFF;
// The largest bucket count: the key array stays below the series ceiling.
inline constexpr uint64_t kMaxBuckets = uint64_t{1} << 28;

// The record of a table; valid until the next safe point.
inline HashTable& table_record(NodeId table) {
  return *reinterpret_cast<HashTable*>(series_buffer(table)->head_address());
}
inline TableKind table_kind(const HashTable& record) { return static_cast<TableKind>(record.kind); }
// Kind 2 keeps tags beside its flags (hash! and map! slots hold the hash themselves).
constexpr bool kind_is_tagged(TableKind kind) { return kind == TableKind::words; }

// hash! and map! slot arrays filled with this byte are all empty.
inline constexpr uint8_t kSlotEmptyByte = 0xFF;

// A bucket of a hash! table in 128 bits: its key, a cell position (>= 0) or a chain of equal cells
// (~ its number, so at most -2), beside the full hash of the cells it stands for. An empty slot's
// key is all ones (the fill of a new slot array), a deleted one's kDeleted. A slot of one string!
// cell also holds the cell's node and index (`text`, `at`; `text` 0 for any other slot), so a
// probe reaches the text of such a key without reading the cell: the cell changes only through
// writes that index it again.
struct HashSlot {
  static constexpr int32_t kEmpty = -1;
  static constexpr int32_t kDeleted = INT32_MIN;
  int32_t key;
  uint32_t hash;
  NodeId text;
  uint32_t at;

  constexpr bool live() const { return key != kEmpty && key != kDeleted; }
};
static_assert(sizeof(HashSlot) == 16);
inline HashSlot* hash_slots(const HashTable& record) {
  return reinterpret_cast<HashSlot*>(series_buffer(record.keys)->head_address());
}

// A bucket of a map! table in 32 bits: the pair number of its key (the key cell's position
// over 2, key cells standing at even positions) under the top four bits of the key's hash, all
// ones when empty. Every pair of a map holds a bucket below the upper bound, so a pair number
// stays below 2^28 and never reaches the all-ones empty slot.
struct MapSlot {
  static constexpr uint32_t kPairBits = 28;
  static constexpr uint32_t kPairMask = (1u << kPairBits) - 1;
  uint32_t bits;

  static constexpr MapSlot of(uint32_t position, uint32_t hash) {
    return {(hash & ~kPairMask) | (position / 2)};
  }
  constexpr bool empty() const { return bits == 0xFFFFFFFF; }
  constexpr int32_t position() const { return static_cast<int32_t>((bits & kPairMask) * 2); }
  // Whether a key of this hash may be the slot's (the hash bits agree).
  constexpr bool may_hold(uint32_t hash) const { return ((bits ^ hash) & ~kPairMask) == 0; }
};
static_assert(sizeof(MapSlot) == 4 && uint64_t{MapSlot::kPairMask} + 1 >= kMaxBuckets);
inline MapSlot* map_slots(const HashTable& record) {
  return reinterpret_cast<MapSlot*>(series_buffer(record.keys)->head_address());
}

// The tag of a hash, and the bytes of the flag words of a bucket count (the tags follow them).
constexpr uint8_t bucket_tag(uint32_t hash) { return static_cast<uint8_t>(hash >> 24); }
constexpr int64_t flag_word_bytes(uint32_t buckets) { return (int64_t{buckets} + 15) / 16 * 4; }

// The arrays of a table, read once; valid until one of them grows or a safe point passes.
// `keys` is the 32-bit key array and `tags` the tag bytes of kind 2.
struct TableView {
  HashTable* record;
  uint32_t* flags;
  int32_t* keys;
  uint8_t* tags;

  uint32_t state(uint32_t bucket) const { return (flags[bucket >> 4] >> ((bucket & 15) * 2)) & 3; }
  void set_state(uint32_t bucket, uint32_t state) {
    uint32_t shift = (bucket & 15) * 2;
    flags[bucket >> 4] = (flags[bucket >> 4] & ~(3u << shift)) | (state << shift);
  }
};
inline TableView table_view(NodeId table) {
  HashTable& record = table_record(table);
  uint8_t* flags = series_buffer(record.flags)->head_address();
  return TableView{&record, reinterpret_cast<uint32_t*>(flags),
                   reinterpret_cast<int32_t*>(series_buffer(record.keys)->head_address()),
                   flags + flag_word_bytes(record.buckets)};
}

// Where a probe ended: the bucket whose key matched (found), else the bucket an insertion takes
// (the first deleted one met, else the empty one that ended the walk; kNoBucket after a full
// circle with neither).
struct Probe {
  uint32_t bucket;
  bool found;
};

// Walks the probe sequence from bucket i, which the step `step` of the walk examines (the step
// is also how far the walk then moves on), with `reusable` the first deleted bucket met before
// it, asking `matches(bucket)` of each live bucket.
template <class Matches>
[[gnu::always_inline]] inline Probe table_probe_from(const TableView& view, uint32_t i, uint32_t step,
                                                     uint32_t reusable, Matches&& matches) {
  const uint32_t buckets = view.record->buckets;
  const uint32_t mask = buckets - 1;
  for (; step <= buckets; ++step) {
    uint32_t state = view.state(i);
    if (state == kBucketEmpty) return {reusable != kNoBucket ? reusable : i, false};
    if (state == kBucketDeleted) {
      if (reusable == kNoBucket) reusable = i;
    } else if (matches(i)) {
      return {i, true};
    }
    i = (i + step) & mask;
  }
  return {reusable, false};
}

// Walks the probe sequence of `hash` over the live buckets, asking `matches(bucket)` of each.
template <class Matches>
[[gnu::always_inline]] inline Probe table_probe(const TableView& view, uint32_t hash, Matches&& matches) {
  return table_probe_from(view, hash & (view.record->buckets - 1), 1, kNoBucket, matches);
}

// The first steps of a walk stay within 16 buckets (offsets 0, 1, 3, 6, 10, 15 from the start),
// whose states lie in one pair of flag words: the window.
inline constexpr uint32_t kWindowSteps = 6;
constexpr uint32_t window_offset(uint32_t steps_before) { return steps_before * (steps_before + 1) / 2; }
inline constexpr uint32_t kWindowSpan = window_offset(kWindowSteps - 1) + 1;
// One bit a window bucket, at twice its offset (where its 2-bit state starts).
constexpr uint32_t window_bits() {
  uint32_t bits = 0;
  for (uint32_t step = 0; step < kWindowSteps; ++step) bits |= 1u << (2 * window_offset(step));
  return bits;
}
static_assert(kWindowSpan == 16);

// The states of buckets i to i + 15, bucket i's in the low two bits; i + 15 is a bucket.
inline uint32_t window_states(const TableView& view, uint32_t i) {
  const uint32_t word = i >> 4;
  const uint32_t last = (view.record->buckets - 1) >> 4;  // no word past the array is read
  const uint64_t pair = view.flags[word] | uint64_t{view.flags[word + 1 <= last ? word + 1 : last]} << 32;
  return static_cast<uint32_t>(pair >> ((i & 15) * 2));
}

// The window buckets from i that `matches`, each as its bit of window_bits (unrolled).
template <class Matches, uint32_t... Steps>
[[gnu::always_inline]] inline uint32_t window_hits(uint32_t i, Matches& matches,
                                                   std::integer_sequence<uint32_t, Steps...>) {
  return ((uint32_t{matches(i + window_offset(Steps))} << (2 * window_offset(Steps))) | ...);
}

// The answer of table_probe for a `matches` cheap and harmless to ask of any bucket whatever its
// state: when the window lies inside the array, its six buckets are asked at once and their
// states read from the flag words together, so a walk ending in the window (nearly every walk)
// takes no branch per step; a walk passing it goes on as table_probe's.
template <class Matches>
[[gnu::always_inline]] inline Probe window_probe(const TableView& view, uint32_t hash, Matches&& matches) {
  const uint32_t buckets = view.record->buckets;
  const uint32_t i = hash & (buckets - 1);
  if (i + kWindowSpan > buckets) return table_probe_from(view, i, 1, kNoBucket, matches);
  constexpr uint32_t kStateLows = 0x55555555;
  const uint32_t states = window_states(view, i);
  const uint32_t low = states & kStateLows, high = (states >> 1) & kStateLows;
  const uint32_t hits = window_hits(i, matches, std::make_integer_sequence<uint32_t, kWindowSteps>());
  const uint32_t empty = high & ~low & window_bits();
  const uint32_t deleted = low & ~high & window_bits();
  const uint32_t found = hits & ~(low | high);
  const uint32_t stop = empty | found;  // in walk order, the lowest bit comes first
  if (stop == 0) [[unlikely]] {
    const uint32_t reusable = deleted ? i + std::countr_zero(deleted) / 2 : kNoBucket;
    return table_probe_from(view, (i + window_offset(kWindowSteps)) & (buckets - 1), kWindowSteps + 1, reusable,
                            matches);
  }
  const uint32_t first = stop & (0u - stop);
  if (first & found) return {i + std::countr_zero(first) / 2, true};
  const uint32_t reusable = deleted & (first - 1);
  return {i + std::countr_zero(reusable ? reusable : first) / 2, false};
}

// Takes the bucket a probe answered for a new key: count + 1, and occupied + 1 unless the bucket
// was a deleted one. table_occupy also stores the key and the tag of its hash (kind 2).
inline void table_take_bucket(TableView& view, uint32_t bucket) {
  if (view.state(bucket) == kBucketEmpty) ++view.record->occupied;
  view.set_state(bucket, kBucketOccupied);
  ++view.record->count;
}
inline void table_occupy(TableView& view, uint32_t bucket, int32_t key, uint32_t hash) {
  table_take_bucket(view, bucket);
  view.keys[bucket] = key;
  view.tags[bucket] = bucket_tag(hash);
}

// A byte series whose tail is set `bytes` past its head, its content left to the caller; a flag
// array with every bucket empty, with room for the tags when `tagged` (kind 2).
NodeId filled_byte_series(int64_t bytes);
NodeId new_flag_array(uint32_t buckets, bool tagged);

// Gives a table new, empty arrays of a size (flags all empty, tagged for kind 2; the key array of
// its kind, hash! and map! slots empty), its counts 0: the start of every rebuild.
void table_start_over(NodeId table, uint32_t buckets, uint32_t bound);

// The bucket count and upper bound of a new table for n keys, and of a resize to a request.
uint32_t creation_buckets(int64_t expected);
uint32_t creation_bound(uint32_t buckets);
uint32_t resize_buckets(int64_t request);
uint32_t resize_bound(uint32_t buckets);

// The request with which a table at its upper bound grows: the same size when fewer than half
// the buckets are live (cleaning out the deleted ones), else twice the size. A kind-1 table
// always doubles; a kind-2 table asks 16 times the bucket count.
int64_t growth_request(const HashTable& record);

// --- Making and copying -------------------------------------------------------------------------

// hashtable-new: a table for `expected` keys. Kinds 0 to 2 index `block` (0: a new empty block);
// a kind-0 or kind-1 table over a given block is filled from it (map! taking every second cell
// as a key). Kinds 3 and 4 keep entries of width + 1 cells. A first request of 4,000 or more
// for a kind-2 table is doubled. Answers the table's node.
NodeId hashtable_new(int64_t expected, NodeId block, TableKind kind, uint32_t width);

// hashtable-copy: a copy of the record and its arrays (and chains). Kinds 0 to 2 index
// `block` (0: a copy of the table's own block); kinds 3 and 4 get a copy of their entries.
NodeId hashtable_copy(NodeId table, NodeId block);

// hashtable-copy-prototype: a new kind-2 table copied from a prototype, over a copy of its block.
NodeId hashtable_copy_prototype(NodeId prototype);

// hashtable-clear: every bucket empty, counts 0. The keys go with it: a map!'s pair block is
// emptied, a hash!'s positions and chains reset, kinds 3 and 4 lose their entries.
void hashtable_clear(NodeId table);

// hashtable-reset-flags: every bucket back to empty (the counts are the caller's).
void hashtable_reset_flags(NodeId table);

// --- Kinds 3 and 4: integer keys with entries -----------------------------------------------

// hashtable-put: the entry of the key, made when absent; answers its value cells with their
// headers reset to unset!. Valid until the next put or a safe point.
Cell* hashtable_put(NodeId table, uint32_t key);
// hashtable-get: the entry's value cells, or null.
Cell* hashtable_get(NodeId table, uint32_t key);
// hashtable-remove-key: marks the bucket deleted and the entry removed (count - 1); answers the
// removed value cells (valid until the next put), or null when the key is absent.
Cell* hashtable_remove_key(NodeId table, uint32_t key);

// hashtable-grow: rebuilds a kind-3 or kind-4 table for a request (the next power of two of
// it, at least 4 buckets) into new arrays and a compact entry series, collection held off.
void hashtable_grow(NodeId table, int64_t request);

// Calls fn(key, value cells) for every live entry of a kind-3 or kind-4 table, in entry order.
// fn may remove the entry it is given, nothing else.
template <class Fn>
void hashtable_for_each_entry(NodeId table, Fn&& fn) {
  const HashTable& record = table_record(table);
  const uint32_t cells = record.aux / sizeof(Cell);
  const NodeId entries = record.block;
  for (uint32_t offset = 0;; offset += cells) {
    SeriesBuffer* buffer = series_buffer(entries);
    if (offset >= (buffer->tail - buffer->head) / sizeof(Cell)) return;
    Cell* entry = buffer->head_cell() + offset;
    if (entry->header == kUnsetHeader) fn(entry->w1, entry + 1);
  }
}

// --- Kinds 1 and 2 ------------------------------------------------------------------------------

// hashtable-rehash: the resize of a kind-1 or kind-2 table to a request (the next power of two,
// at least 4 buckets): nothing happens when the count is not below the new upper bound. A kind-2
// table's keys move by displacement within the enlarged key array; a kind-1 table's slots are
// placed into a new slot array.
void hashtable_rehash(NodeId table, int64_t request);

// Grows a kind-1 or kind-2 table in place when it has reached its upper bound.
inline void hashtable_grow_if_full(NodeId table) {
  const HashTable& record = table_record(table);
  if (record.occupied >= record.bound) [[unlikely]] hashtable_rehash(table, growth_request(record));
}

// --- The collector ------------------------------------------------------------------------------

// Makes the collector mark every table through hashtable_mark, and the scratch set of the hash!
// syncs (start-up).
void hash_tables_init();

// hashtable-mark: the record and its arrays; kinds 0 to 2 their block; kind 3 the values of
// its live entries; kind 4 only its entry series (its entries are weak).
void hashtable_mark(NodeId table);

}  // namespace qel

// hash-index.h: the tables that index cells of a block: hash! (kind 0) and map! (kind 1).
//
// A hash! table indexes every cell of its block by position. Equal cells (same type, equal?)
// share one bucket: the second one turns the bucket into a chain (the bucket's key becomes
// -chain number), and the position array records, for each cell, the bucket (counted from 1)
// that indexes it, so a cell is taken out without a search. A map! block holds key, value pairs;
// its table indexes the key cells (keys compared with strict-equal?), a removed pair keeps its
// bucket and its value cell's header becomes 0.
//
// Keys hash without letter case, so lookups with and without case meet on one probe sequence;
// comparisons go through the values' compare action.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// What hashtable_put_cell did.
enum class PutStatus : uint8_t { indexed, present, rebuilt };

// hashtable-put-cell: indexes the block's cell at a position. A table at its upper bound grows
// first: a hash! table is rebuilt from its block instead (every cell indexed: `rebuilt`). A map!
// key already present is not indexed again (`present`).
PutStatus hashtable_put_cell(NodeId table, uint32_t position);
inline void hashtable_add_cell(NodeId table, uint32_t position) { (void)hashtable_put_cell(table, position); }

// hashtable-find-key: the position of the map! key cell equal to the key under the comparison
// code (a word key is looked up as a set-word!, on a copy), or -1. A removed pair is found too:
// its value cell's header is 0.
int64_t hashtable_find_key(NodeId table, const Cell& key, int32_t code);

// hashtable-find-cell: hash! search among the cells equal to the value (a word kind also among
// the other word kinds of its spelling, as a walk with the code would match them): those at a
// distance from `start` that is a multiple of `skip` qualify; the nearest at or after the start,
// the farthest with `last`, the nearest before it with `reverse`. A map! table looks up a key.
// -1 when none qualifies.
int64_t hashtable_find_cell(NodeId table, const Cell& value, uint32_t start, uint32_t skip, int32_t code, bool last,
                            bool reverse);

// hashtable-remove-cell: takes the cell at a position out of the index (hash!), or removes the
// pair whose key is there (map!: value header 0, the bucket stays).
void hashtable_remove_cell(NodeId table, uint32_t position);

// hashtable-refresh: removes the entries of `count` cells from the position on (clamped to the
// block's tail); covering the whole block resets the table.
void hashtable_refresh(NodeId table, uint32_t position, uint32_t count);

// hashtable-fill: indexes the block's cells from `start`, one key every `stride` cells. A map!
// key equal to an earlier one gives it its value and the pair leaves the block.
void hashtable_fill(NodeId table, uint32_t start, uint32_t stride);

// hashtable-resize: rebuilds a hash! table for an expected count (at least the block's length):
// next power of two of 1.5 times it, the block indexed again from its head.
void hashtable_resize(NodeId table, int64_t expected);

// The most cells a sync adjusts; beyond it the caller rebuilds with hashtable_resize.
inline constexpr uint32_t kSyncCellLimit = 30000;

// hash-index-sync: the `count` cells that stood at `position` now stand at position + shift
// (cells were inserted before them, or removed just before them: a negative shift first takes
// the removed cells [position + shift, position) out of the index). Answers 1, doing nothing,
// when count passes 30,000, else 0.
int hash_index_sync(NodeId table, int32_t shift, uint32_t position, uint32_t count);

// hash-index-sync-move: `count` cells moved within the block from `source` to `target` (their
// first position after the move); the cells between slid the other way. Answers 1, doing
// nothing, when more than 30,000 cells are concerned, else 0.
int hash_index_sync_move(NodeId table, uint32_t source, uint32_t target, uint32_t count);

// A new map! key is normalised before it is indexed (string keys copied, words stored as
// set-words); the map! datatype installs its normaliser. Until then keys stay as they are.
using MapKeyNormaliser = void (*)(Cell& key);
void set_map_key_normaliser(MapKeyNormaliser normaliser);

// --- For the table core ---------------------------------------------------------------------------

// The scratch set of the syncs (start-up, with the table marker).
void hash_index_init();
// A copy of a chain list with copies of its chains; 0 for none.
NodeId hash_chains_copy(NodeId chains);
// Marks a chain list and its chains.
void hash_chains_mark(NodeId chains);
// Every position -1 and the chains dropped (a cleared hash! table).
void hash_positions_reset(NodeId table);

}  // namespace qel

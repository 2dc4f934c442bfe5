// map.h: map! (type 40, no parent): a dictionary held as a block of key, value cells in
// insertion order with a kind-1 table over its keys, and the services other subsystems use.
//
// A map! cell: index 0 (foreach's cursor, in cells), the pair block's node, and the table's node
// in the fourth word. A removed pair keeps its key cell and its bucket; its value cell's header
// is 0 (an unset! value is live). The table's count is the number of live pairs. Keys are
// normalised as they go in: string-like and binary! keys are copied, word kinds stored as
// set-word!, the other allowed types as they are.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// map-key-type-ok: whether values of the type may be map keys.
bool map_key_type_ok(Type type);

// map-make-at: writes into the cell a new map! over a copy of the pairs of `pairs` (a block-like
// value from its index, an even count of cells whose keys are all allowed: the caller checks),
// new-line markers cleared, the last value of a repeated key winning; with no pairs, an empty
// map with room for `capacity` pairs.
void map_make_at(Cell& cell, const Cell* pairs, int64_t capacity);

// map-count: the live pairs.
int64_t map_count(const Cell& map);

// map-eval-path (get): the value of the key, none when absent or removed (/case: letter case
// counts).
Cell map_get(const Cell& map, const Cell& key, bool case_sensitive);

// map-put: sets the key's value: a new key is normalised and appended with it, a removed pair
// revived. A key of a type maps refuse raises script invalid-path (datatype, key).
void map_put(const Cell& map, const Cell& key, const Cell& value, bool case_sensitive);

// map-extend: puts every key, value pair of a block, hash! or map! (live pairs); an odd count of
// cells raises script invalid-arg with the spec, a refused key invalid-path, each before any
// change.
void map_extend(const Cell& map, const Cell& spec, bool case_sensitive);

// The step of foreach over a map: from the cursor (a map! whose index counts cells), the key (a
// set-word! as word!) and the value of the next live pair, the cursor moved past it; false, at
// the tail, when no live pair is left.
bool map_next_live_pair(Cell& cursor, Cell& key, Cell& value);

// The map's pairs as a new block! (key, value; key cells with the new-line marker) pushed on the
// value stack: block! make and to of a map.
Cell* map_body_push(const Cell& map);

// map-init: registers map! with its action row, its key normaliser and its literal's builder.
void map_init();

}  // namespace qel

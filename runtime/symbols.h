// symbols.h: the symbol table: every spelling interned once under a 1-based id.
//
// The symbol block holds one symbol! cell per id (id = position + 1): header bits 8-23 the
// high half of the name's folded hash (a probe passes over other names by it), w1 the alias (the
// canonical id of the first spelling equal up to ASCII letter case, or 0xFFFFFFFF when this
// spelling is itself canonical), w2 the node of the decoded name (0 until first needed), w3 the
// node of the UTF-8 name bytes (a zero byte stored just past the tail). A kind-2 hash table
// indexes it; a name hashes with its ASCII letters lowered, so every case variant of a spelling
// lies on one probe sequence, the oldest first. Ids never change and the block only grows.
//
// Invariant: an alias is always canonical: one step from any spelling reaches the canonical one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "datatypes/series/string-unit.h"
#include "runtime/cell.h"

namespace qel {

inline constexpr int64_t kSymbolBlockCells = 4000;
inline constexpr uint32_t kNoAlias = 0xFFFFFFFF;

// stack-blocks: the symbol block, appended to the root block.
void symbol_block_init();
// symbol-hash-table: the interning table over it (4,000 expected), a collector root.
void symbol_table_init();

NodeId symbol_block();
NodeId symbol_table();
// Symbols interned so far.
uint32_t symbol_count();

// The id of exactly this spelling; a new spelling's alias is the canonical id of a spelling
// equal up to case, when there is one. Bytes that are not UTF-8 intern byte for byte.
uint32_t symbol_intern_bytes(std::string_view name);
inline uint32_t symbol_intern_cstring(const char* name) { return symbol_intern_bytes(name); }
// The id of the oldest spelling equal up to case; a new canonical symbol when there is none.
uint32_t symbol_intern_cstring_nocase(const char* name);
// A string value's text from its index, as UTF-8.
uint32_t symbol_intern(const Cell& string);

// The interning core over a kind-2 table of symbol positions.
uint32_t symbol_table_put(NodeId table, std::string_view name, bool up_to_case);

// The canonical id; the raw alias field.
uint32_t symbol_canonical(uint32_t id);
uint32_t symbol_alias(uint32_t id);

// The symbol's cell with its decoded name built; valid until the next safe point.
Cell* symbol_cell(uint32_t id);
// The UTF-8 name; valid until the next safe point.
std::string_view symbol_name(uint32_t id);
// The decoded name's text; valid until the next safe point.
UnitText symbol_text(uint32_t id);
// symbol-cstring: the decoded name with one zero unit written just past its tail (room is made
// when the buffer is full; the tail stays); answers its head.
const uint8_t* symbol_cstring(uint32_t id);

// hash-symbol-name: hash-bytes of the name with A-Z lowered.
uint32_t hash_symbol_name(const Cell& symbol);
// The same over name bytes, without a copy.
uint32_t hash_name_folded(std::string_view name);
// Two names equal byte for byte, or up to ASCII letter case.
bool symbol_name_equal(std::string_view a, std::string_view b, bool up_to_case);

// symbol-compare: two symbols compared as text (-1, 0 or 1) under a comparison code.
int32_t symbol_compare(const Cell& a, const Cell& b, int32_t code);

// register-symbol-datatype: symbol! (no parent) with only its compare.
void register_symbol_datatype();

}  // namespace qel

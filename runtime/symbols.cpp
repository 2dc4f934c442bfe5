// symbols.cpp: interning, aliases, decoded names and the symbol comparison.
#include "runtime/symbols.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "datatypes/series/string-compare.h"
#include "datatypes/series/utf8-decode.h"
#include "datatypes/series/utf8-encode.h"
#include "runtime/ascii-bytes.h"
#include "runtime/collector.h"
#include "runtime/datatype-registry.h"
#include "runtime/hash-table.h"
#include "runtime/murmur-hash.h"
#include "runtime/quit.h"
#include "runtime/root-block.h"
#include "runtime/series.h"

namespace qel {

namespace {

NodeId block_node = 0;
NodeId table_node = 0;

void mark_symbol_table() { collector_mark_table(table_node); }

// The name bytes of a symbol cell, and of the symbol cell at a position of the block.
inline std::string_view name_of(const Cell& symbol) {
  SeriesBuffer* bytes = series_buffer(symbol.w3);
  return {reinterpret_cast<const char*>(bytes->head_address()), bytes->tail - bytes->head};
}
inline std::string_view name_at(int32_t position) { return name_of(series_buffer(block_node)->head_cell()[position]); }

// The high half of a name's folded hash, kept in its symbol's header: a probe passes over a
// spelling with another tag without reading its name.
constexpr uint32_t kSymbolTagShift = 8;
constexpr uint32_t hash_tag(uint32_t hash) { return hash >> 16; }
constexpr uint32_t symbol_tag(const Cell& symbol) { return (symbol.header >> kSymbolTagShift) & 0xFFFF; }

const Cell& cell_of(uint32_t id) {
  if (id == 0 || id > symbol_count()) fatal_assertion();
  return series_buffer(block_node)->head_cell()[id - 1];
}

// Appends the symbol! cell of a new spelling and answers its id. The cell is unset! until its
// name series exists, so it is a valid cell at every moment.
uint32_t append_symbol(std::string_view name, uint32_t alias, uint32_t hash) {
  series_append_fresh_slot(block_node);
  uint32_t position = series_buffer_length(block_node) - 1;
  NodeId bytes = new_byte_series(static_cast<int64_t>(name.size()) + 1);
  series_buffer_append_bytes(bytes, name.data(), static_cast<int64_t>(name.size()));
  series_buffer(bytes)->tail_address()[0] = 0;
  Cell symbol = make_cell(Type::symbol, alias, 0, bytes);
  symbol.header |= hash_tag(hash) << kSymbolTagShift;
  series_buffer(block_node)->head_cell()[position] = symbol;
  return position + 1;
}

// Calls emit(code point) for each code point of UTF-8 name bytes; a byte that starts no
// well-formed sequence stands for itself (U+0080-U+00FF), so every name decodes.
template <class Emit>
void each_code_point(std::string_view name, Emit&& emit) {
  const auto* p = reinterpret_cast<const uint8_t*>(name.data());
  const uint8_t* end = p + name.size();
  while (p < end) {
    Utf8Step step = utf8_decode_step(p, end);
    bool ok = step.status == Utf8Status::ok;
    emit(ok ? step.code_point : uint32_t{*p});
    p += ok ? step.size : 1;
  }
}

// Decodes name bytes into a new string buffer in the narrowest unit.
NodeId decode_name(std::string_view name) {
  size_t count = 0;
  uint32_t widest = 0;
  each_code_point(name, [&](uint32_t c) { ++count, widest = std::max(widest, c); });
  unsigned unit = unit_for_code_point(widest);
  NodeId node = new_string_series(static_cast<int64_t>(count), unit);
  uint8_t* out = series_reserve_tail_bytes(node, static_cast<int64_t>(count * unit));
  each_code_point(name, [&](uint32_t c) { code_point_write(out, unit, c), out += unit; });
  return node;
}

// The code points of a symbol cell's name.
std::u32string name_code_points(const Cell& symbol) {
  std::u32string text;
  each_code_point(name_of(symbol), [&](uint32_t c) { text.push_back(c); });
  return text;
}

// hash-bytes of name bytes with A-Z lowered, four at a time; inlined into the interning probe.
[[gnu::always_inline]] inline uint32_t folded_hash(std::string_view name) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(name.data());
  const size_t length = name.size();
  uint32_t h = kHashSeed;
  size_t i = 0;
  for (; i + 4 <= length; i += 4) {
    uint32_t k;
    std::memcpy(&k, bytes + i, 4);
    h = murmur_mix_block(h, fold_ascii_block<uint32_t>(k));
  }
  const size_t rest = length & 3;
  uint32_t k = 0;
  if (length >= 4) {
    // The tail bytes are the top ones of the name's last four: one load and a shift, with no
    // loop whose trip count changes from name to name.
    uint32_t last;
    std::memcpy(&last, bytes + length - 4, 4);
    k = static_cast<uint32_t>(uint64_t{fold_ascii_block<uint32_t>(last)} >> (32 - 8 * rest));
  } else {
    for (size_t shift = 0; i < length; ++i, shift += 8) k |= uint32_t{fold_ascii(bytes[i])} << shift;
  }
  const uint32_t tailed = murmur_mix_tail(h, k);
  h = rest ? tailed : h;
  return murmur_fmix32(h ^ static_cast<uint32_t>(length));
}

}  // namespace

void symbol_block_init() {
  block_node = new_cell_series(kSymbolBlockCells);
  root_slot_append(make_cell(Type::block, 0, block_node));
}

void symbol_table_init() {
  table_node = hashtable_new(kSymbolBlockCells, block_node, TableKind::words, 0);
  collector_remove_root(mark_symbol_table);
  collector_add_root(mark_symbol_table);
}

NodeId symbol_block() { return block_node; }
NodeId symbol_table() { return table_node; }
uint32_t symbol_count() { return series_buffer_length(block_node); }

uint32_t hash_name_folded(std::string_view name) { return folded_hash(name); }

uint32_t hash_symbol_name(const Cell& symbol) { return folded_hash(name_of(symbol)); }

bool symbol_name_equal(std::string_view a, std::string_view b, bool up_to_case) {
  return a.size() == b.size() && (up_to_case ? same_bytes<true>(a, b) : same_bytes<false>(a, b));
}

namespace {

// symbol-table-put for one case option: the probe's comparisons are compiled for it.
template <bool up_to_case>
uint32_t put_name(NodeId table, std::string_view name) {
  const uint32_t hash = folded_hash(name);
  hashtable_grow_if_full(table);
  TableView view = table_view(table);
  // Exact interning stops at the exact spelling and remembers the first spelling equal up to
  // case met on the way; interning up to case stops at that first one.
  int32_t first_up_to_case = -1;
  const Cell* symbols = series_buffer(block_node)->head_cell();
  const uint8_t tag = bucket_tag(hash);
  Probe probe = table_probe(view, hash, [&](uint32_t bucket) {
    if (view.tags[bucket] != tag) return false;
    const int32_t position = view.keys[bucket];
    if (symbol_tag(symbols[position]) != hash_tag(hash)) return false;
    std::string_view other = name_of(symbols[position]);
    if (other.size() != name.size()) return false;
    if constexpr (!up_to_case) {
      if (same_bytes<false>(other, name)) return true;
    }
    if (!same_bytes<true>(other, name)) return false;
    if constexpr (up_to_case) return true;
    if (first_up_to_case < 0) first_up_to_case = position;
    return false;
  });
  if (probe.found) {
    // A resize re-places spellings in its own order, so the first met up to case may be a
    // younger one: its alias leads to the oldest.
    uint32_t id = static_cast<uint32_t>(view.keys[probe.bucket]) + 1;
    return up_to_case ? symbol_canonical(id) : id;
  }
  uint32_t alias = first_up_to_case < 0 ? kNoAlias : symbol_canonical(static_cast<uint32_t>(first_up_to_case) + 1);
  uint32_t id = append_symbol(name, alias, hash);
  view = table_view(table);
  table_occupy(view, probe.bucket, static_cast<int32_t>(id - 1), hash);
  return id;
}

}  // namespace

uint32_t symbol_table_put(NodeId table, std::string_view name, bool up_to_case) {
  return up_to_case ? put_name<true>(table, name) : put_name<false>(table, name);
}

uint32_t symbol_intern_bytes(std::string_view name) { return put_name<false>(table_node, name); }
uint32_t symbol_intern_cstring_nocase(const char* name) { return put_name<true>(table_node, name); }

uint32_t symbol_intern(const Cell& string) {
  SeriesBuffer* buffer = series_buffer(string.w2);
  unsigned unit = buffer->unit();
  uint32_t length = (buffer->tail - buffer->head) / unit;
  uint32_t index = std::min(string.w1, length);
  std::string name = utf8_from_units({buffer->head_address() + size_t{index} * unit, length - index, unit}, false);
  return symbol_intern_bytes(name);
}

uint32_t symbol_alias(uint32_t id) { return cell_of(id).w1; }

uint32_t symbol_canonical(uint32_t id) {
  uint32_t alias = symbol_alias(id);
  return alias == kNoAlias || alias == 0 ? id : alias;
}

std::string_view symbol_name(uint32_t id) {
  cell_of(id);
  return name_at(static_cast<int32_t>(id - 1));
}

Cell* symbol_cell(uint32_t id) {
  if (cell_of(id).w2 == 0) {
    NodeId decoded = decode_name(symbol_name(id));
    series_buffer(block_node)->head_cell()[id - 1].w2 = decoded;
  }
  return series_buffer(block_node)->head_cell() + (id - 1);
}

UnitText symbol_text(uint32_t id) {
  SeriesBuffer* buffer = series_buffer(symbol_cell(id)->w2);
  return {buffer->head_address(), (buffer->tail - buffer->head) / buffer->unit(), buffer->unit()};
}

const uint8_t* symbol_cstring(uint32_t id) {
  NodeId decoded = symbol_cell(id)->w2;
  SeriesBuffer* buffer = series_buffer(decoded);
  const unsigned unit = buffer->unit();
  if (buffer->capacity - buffer->tail < unit) buffer = grow_series_copy(decoded, int64_t{buffer->capacity} + unit);
  std::memset(buffer->tail_address(), 0, unit);
  return buffer->head_address();
}

int32_t symbol_compare(const Cell& a, const Cell& b, int32_t code) {
  const std::u32string x = name_code_points(a), y = name_code_points(b);
  auto text = [](const std::u32string& s) { return UnitText{reinterpret_cast<const uint8_t*>(s.data()), s.size(), 4}; };
  return compare_text(text(x), text(y), code, false);
}

void register_symbol_datatype() {
  register_datatype(Type::symbol, Type::none_id, "symbol!", ActionRow().set<Act::Compare>(symbol_compare));
}

}  // namespace qel

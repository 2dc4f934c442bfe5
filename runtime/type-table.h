// type-table.h: tables indexed by type id, built at compile time from rows of (type, entry).
#pragma once

#include <array>
#include <cstddef>
#include <type_traits>

#include "runtime/type-ids.h"

namespace qel {

// One row of a type table: the entry of one type.
template <class Entry>
struct TypeRow {
  Type type;
  Entry entry;
};

// A table of `Size` entries (one per type id): `fill` for every type without a row, each row's
// entry at its type's id.
template <size_t Size = kTypeTableRows, class Entry, size_t N>
constexpr std::array<Entry, Size> type_table(std::type_identity_t<Entry> fill, const TypeRow<Entry> (&rows)[N]) {
  std::array<Entry, Size> table{};
  table.fill(fill);
  for (const TypeRow<Entry>& row : rows) table[type_index(row.type)] = row.entry;
  return table;
}

}  // namespace qel

// qelbin-references.cpp: the encoders' symbol list.
#include "loader/qelbin/qelbin-references.h"

#include "runtime/symbols.h"

namespace qel {

uint32_t QelbinSymbolList::index(uint32_t symbol) {
  const QelbinIdMap::Entry entry = indexes_.try_emplace(symbol, static_cast<uint32_t>(offsets_.size()));
  if (!entry.added) return entry.number;
  offsets_.push_back(static_cast<uint32_t>(names_.size()));
  const std::string_view name = symbol_name(symbol);
  names_.insert(names_.end(), name.begin(), name.end());
  names_.push_back(0);
  while (names_.size() % name_alignment) names_.push_back(0);
  return entry.number;
}

}  // namespace qel

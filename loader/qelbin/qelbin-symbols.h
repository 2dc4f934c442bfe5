// qelbin-symbols.h: an image's symbol table as the decoders of both variants read it: count
// little-endian offsets into a name area of NUL-terminated UTF-8 names. A name is checked and
// interned the first time a record names it.
#pragma once

#include <cstdint>
#include <vector>

#include "loader/qelbin/qelbin-input.h"

namespace qel {

class QelbinSymbols {
 public:
  QelbinSymbols() = default;  // an image without a table: every symbol index is refused
  QelbinSymbols(const uint8_t* offsets, uint32_t count, const uint8_t* names, uint32_t names_size)
      : offsets_(offsets), names_(names), names_size_(names_size), ids_(count, 0) {}

  // The symbol id of entry `index`. A refused index, offset or name (empty, not strict UTF-8,
  // without its NUL inside the area) fails the input at `at`.
  uint32_t symbol(int64_t index, const QelbinInput& input, const uint8_t* at);
  // Reads the table's header fields and areas at the input (the compact variant's varints, or
  // the record variant's 32-bit words) and steps past them.
  static QelbinSymbols read_compact(QelbinInput& input);
  static QelbinSymbols read_words(QelbinInput& input);

 private:
  static QelbinSymbols read_areas(QelbinInput& input, int64_t count, int64_t names_size);

  const uint8_t* offsets_ = nullptr;
  const uint8_t* names_ = nullptr;
  uint32_t names_size_ = 0;
  std::vector<uint32_t> ids_;  // 0 until interned
};

}  // namespace qel

// qelbin-symbols.cpp: reading an image's symbol table and interning its names.
#include "loader/qelbin/qelbin-symbols.h"

#include <cstring>
#include <string_view>

#include "datatypes/series/utf8-decode.h"
#include "runtime/symbols.h"

namespace qel {

uint32_t QelbinSymbols::symbol(int64_t index, const QelbinInput& input, const uint8_t* at) {
  if (index < 0 || static_cast<uint64_t>(index) >= ids_.size()) input.fail_at(at);
  uint32_t& id = ids_[static_cast<size_t>(index)];
  if (id != 0) return id;
  int32_t offset;
  std::memcpy(&offset, offsets_ + 4 * index, 4);
  if (offset < 0 || static_cast<uint32_t>(offset) >= names_size_) input.fail_at(at);
  const uint8_t* name = names_ + offset;
  const uint8_t* nul = static_cast<const uint8_t*>(std::memchr(name, 0, names_size_ - static_cast<uint32_t>(offset)));
  if (!nul || nul == name || utf8_first_ill_formed(name, nul) != nul) input.fail_at(at);
  id = symbol_intern_bytes(std::string_view(reinterpret_cast<const char*>(name), static_cast<size_t>(nul - name)));
  return id;
}

QelbinSymbols QelbinSymbols::read_areas(QelbinInput& input, int64_t count, int64_t names_size) {
  input.require(count >= 0 && names_size >= 0 && static_cast<uint64_t>(count) * 4 <= input.left());
  const uint8_t* offsets = input.take(static_cast<uint64_t>(count) * 4);
  input.require(static_cast<uint64_t>(names_size) <= input.left());
  const uint8_t* names = input.take(static_cast<uint64_t>(names_size));
  if (names_size > 0 && names[names_size - 1] != 0) input.fail_at(names + names_size - 1);
  return {offsets, static_cast<uint32_t>(count), names, static_cast<uint32_t>(names_size)};
}

QelbinSymbols QelbinSymbols::read_compact(QelbinInput& input) {
  const int32_t count = input.varint();
  const int32_t names_size = input.varint();
  return read_areas(input, count, names_size);
}

QelbinSymbols QelbinSymbols::read_words(QelbinInput& input) {
  const int32_t count = static_cast<int32_t>(input.raw32());
  const int32_t names_size = static_cast<int32_t>(input.raw32());
  return read_areas(input, count, names_size);
}

}  // namespace qel

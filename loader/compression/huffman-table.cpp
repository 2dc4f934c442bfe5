// huffman-table.cpp: canonical code assignment and the two-level lookup tables.
#include "loader/compression/huffman-table.h"

#include <array>

namespace qel {
namespace {

constexpr unsigned kMaxCodeLength = 15;

}  // namespace

bool HuffmanTable::build(std::span<const uint8_t> lengths, Kind kind, unsigned root_bits) {
  std::array<uint32_t, kMaxCodeLength + 1> count{};
  for (uint8_t length : lengths) ++count[length];
  count[0] = 0;
  unsigned longest = 0;
  for (unsigned length = 1; length <= kMaxCodeLength; ++length)
    if (count[length]) longest = length;

  // Code space left after each length: negative is over-subscribed, positive at the end is an
  // incomplete set.
  int32_t left = 1;
  for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
    left = left * 2 - static_cast<int32_t>(count[length]);
    if (left < 0) return false;
  }
  bool single_short_code = longest == 1 && count[1] == 1;
  bool empty = longest == 0;
  if (left > 0 && !(kind != Kind::code_lengths && single_short_code) && !(kind == Kind::distances && empty))
    return false;

  root_bits_ = root_bits;
  entries_.assign(size_t{1} << root_bits, Entry{0, 0, EntryKind::invalid});
  unsigned sub_bits = longest > root_bits ? longest - root_bits : 0;

  // First codes of each length, in canonical order.
  std::array<uint32_t, kMaxCodeLength + 1> next_code{};
  uint32_t code = 0;
  for (unsigned length = 1; length <= kMaxCodeLength; ++length) {
    code = (code + count[length - 1]) << 1;
    next_code[length] = code;
  }

  for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
    unsigned length = lengths[symbol];
    if (length == 0) continue;
    uint32_t reversed = reverse_bits(next_code[length]++, length);
    Entry entry{static_cast<uint16_t>(symbol), static_cast<uint8_t>(length), EntryKind::symbol};
    if (length <= root_bits) {
      for (uint32_t i = reversed; i < (uint32_t{1} << root_bits); i += uint32_t{1} << length) entries_[i] = entry;
      continue;
    }
    // Long code: the low root bits choose the subtable, made on first use.
    uint32_t root = reversed & ((uint32_t{1} << root_bits) - 1);
    if (entries_[root].kind != EntryKind::subtable) {
      entries_[root] = Entry{static_cast<uint16_t>(entries_.size()), static_cast<uint8_t>(longest), EntryKind::subtable};
      entries_.resize(entries_.size() + (size_t{1} << sub_bits), Entry{0, 0, EntryKind::invalid});
    }
    uint32_t first = entries_[root].value;
    for (uint32_t i = reversed >> root_bits; i < (uint32_t{1} << sub_bits); i += uint32_t{1} << (length - root_bits))
      entries_[first + i] = entry;
  }
  return true;
}

}  // namespace qel

// huffman-table.h: canonical prefix codes from code lengths, and symbol lookup for inflate.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "loader/compression/bit-reader.h"

namespace qel {

// A code's low `length` bits in reverse order: deflate sends codes from their last bit first.
constexpr uint32_t reverse_bits(uint32_t code, unsigned length) {
  uint32_t reversed = 0;
  for (unsigned i = 0; i < length; ++i, code >>= 1) reversed = (reversed << 1) | (code & 1);
  return reversed;
}

// A two-level lookup: the next `root_bits` bits index the first level; a code longer than that
// leads to a second-level table indexed by the bits after them. Codes are canonical (by length,
// then symbol), stored bit-reversed since the stream holds them most significant bit first.
class HuffmanTable {
 public:
  // Which sets of lengths are accepted, as the reference decoder accepts them: an over-
  // subscribed set never; an incomplete one only for literal/length and distance codes, and
  // only when it is a single code of length 1 (or, for distances, no code at all).
  enum class Kind : uint8_t { code_lengths, literal_lengths, distances };

  // Builds from one length (0-15, 0 for an unused symbol) per symbol; false when the set is
  // not acceptable.
  bool build(std::span<const uint8_t> lengths, Kind kind, unsigned root_bits);

  // The next symbol, its code consumed; -1 for a bit pattern no code has.
  int decode(BitReader& reader) const {
    Entry entry = entries_[reader.peek(root_bits_)];
    if (entry.kind == EntryKind::subtable) {
      uint32_t index = reader.peek(entry.length) >> root_bits_;
      entry = entries_[entry.value + index];
    }
    if (entry.kind == EntryKind::invalid) return -1;
    reader.drop(entry.length);
    return entry.value;
  }

 private:
  enum class EntryKind : uint8_t { symbol, subtable, invalid };
  // symbol: the symbol and its code length; subtable: its first entry and the longest code
  // length under it.
  struct Entry {
    uint16_t value;
    uint8_t length;
    EntryKind kind;
  };

  std::vector<Entry> entries_;
  unsigned root_bits_ = 0;
};

}  // namespace qel

// ascii-bytes.h: runs of bytes of equal length compared a word at a time, exactly or with the
// ASCII letters A-Z folded (symbol names, 1-byte text).
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace qel {

// An ASCII letter A-Z lowered; every other byte as it is.
constexpr uint8_t fold_ascii(uint8_t byte) { return byte >= 'A' && byte <= 'Z' ? byte | 0x20 : byte; }
template <bool up_to_case>
constexpr uint8_t fold_ascii_if(uint8_t byte) { return up_to_case ? fold_ascii(byte) : byte; }

// The bytes of a block (4 or 8) with A-Z lowered, all at once: a byte gets 0x20 when it lies
// in 0x41-0x5A (its low seven bits pass 0x40 and stay below 0x5B, and its top bit is clear).
template <class Word>
constexpr Word fold_ascii_block(Word word) {
  constexpr Word ones = static_cast<Word>(~Word{0}) / 0xFF;  // 0x0101...
  Word low7 = word & (ones * 0x7F);
  Word at_least_a = low7 + ones * 0x3F;
  Word beyond_z = low7 + ones * 0x25;
  Word upper = at_least_a & ~beyond_z & ~word & (ones * 0x80);
  return word | (upper >> 2);
}

// The block of type Word at a byte offset of a name, with A-Z lowered when up_to_case.
template <bool up_to_case, class Word>
inline Word name_block(std::string_view name, size_t at) {
  Word word;
  std::memcpy(&word, name.data() + at, sizeof word);
  return up_to_case ? fold_ascii_block(word) : word;
}

// Whether the blocks of two names at an offset agree (exactly or up to ASCII case).
template <bool up_to_case, class Word>
inline bool same_block(std::string_view a, std::string_view b, size_t at) {
  return name_block<up_to_case, Word>(a, at) == name_block<up_to_case, Word>(b, at);
}

// Two names of equal length compared eight bytes at a time, exactly or up to ASCII case. The
// last block overlaps the one before it, so a name of four bytes or more takes no byte loop.
template <bool up_to_case>
inline bool same_bytes(std::string_view a, std::string_view b) {
  const size_t n = a.size();
  if (n >= 8) {
    for (size_t i = 0; i + 8 < n; i += 8)
      if (!same_block<up_to_case, uint64_t>(a, b, i)) return false;
    return same_block<up_to_case, uint64_t>(a, b, n - 8);
  }
  if (n >= 4) return same_block<up_to_case, uint32_t>(a, b, 0) && same_block<up_to_case, uint32_t>(a, b, n - 4);
  for (size_t i = 0; i < n; ++i)
    if (fold_ascii_if<up_to_case>(static_cast<uint8_t>(a[i])) != fold_ascii_if<up_to_case>(static_cast<uint8_t>(b[i])))
      return false;
  return true;
}

}  // namespace qel

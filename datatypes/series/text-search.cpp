// text-search.cpp: substring search over text units.
#include "datatypes/series/text-search.h"

#include <string.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "datatypes/series/case-map.h"
#include "datatypes/series/string-compare.h"
#include "runtime/action-lookup.h"

namespace qel {

namespace {

// Folded bytes are searched in chunks: the first small, so that a match near the start (each
// step of a replace over a long text) costs little more than the bytes up to it, then each twice
// the last, up to this many bytes (more for long needles).
constexpr size_t kFirstChunkBytes = 256;
constexpr size_t kChunkBytes = 64 * 1024;

// The byte a code point matches in a 1-byte text: itself when case matters, else the folded
// byte of its case class; none when no byte is in its class.
std::optional<uint8_t> byte_of(uint32_t c, bool fold) {
  if (!fold) return c <= 0xFF ? std::optional<uint8_t>(static_cast<uint8_t>(c)) : std::nullopt;
  uint32_t upper = unicode_case_map(c, Case::upper);
  if (upper <= 0xFF) return fold_latin1(static_cast<uint8_t>(upper));
  for (uint32_t b : {0xB5u, 0xFFu})  // the bytes whose upper case lies beyond Latin-1
    if (unicode_case_map(b, Case::upper) == upper) return static_cast<uint8_t>(b);
  return std::nullopt;
}

// The needle as the bytes it matches in a 1-byte text, or none when no byte text holds it.
std::optional<std::vector<uint8_t>> needle_bytes(UnitText needle, bool fold) {
  std::vector<uint8_t> bytes(needle.length);
  bool found_all = visit_units(needle, [&](auto units) {
    for (size_t i = 0; i < units.size(); ++i) {
      std::optional<uint8_t> b = byte_of(units[i], fold);
      if (!b) return false;
      bytes[i] = *b;
    }
    return true;
  });
  if (!found_all) return std::nullopt;
  return bytes;
}

int64_t offset_in(const void* found, const uint8_t* base) {
  return found ? static_cast<const uint8_t*>(found) - base : -1;
}

// Folds n bytes into `out`, sixteen at a time where it can (the same rule as fold_latin1).
void fold_bytes(const uint8_t* in, size_t n, uint8_t* out) {
  using Bytes16 = uint8_t __attribute__((vector_size(16)));
  size_t i = 0;
  for (; i + 16 <= n; i += 16) {
    Bytes16 b;
    std::memcpy(&b, in + i, 16);
    auto lower_ascii = static_cast<Bytes16>(b - 'a') < 26;
    auto lower_latin1 = (static_cast<Bytes16>(b - 0xE0) < 31) & (b != 0xF7);
    Bytes16 folded = b - (reinterpret_cast<Bytes16>(lower_ascii | lower_latin1) & 0x20);
    std::memcpy(out + i, &folded, 16);
  }
  for (; i < n; ++i) out[i] = fold_latin1(in[i]);
}

// A folded search of a 1-byte text: each chunk (overlapping the last by the needle's length
// less one) folded into scratch, then searched. Scratch grows with the chunks and is never
// larger than the text, so a search costs in proportion to the bytes it looks at.
int64_t find_folded_bytes(const uint8_t* text, size_t length, const std::vector<uint8_t>& needle) {
  const size_t most = std::max(kChunkBytes, 4 * needle.size());
  size_t chunk = std::max(kFirstChunkBytes, 4 * needle.size());
  std::vector<uint8_t> folded;
  for (size_t start = 0; start + needle.size() <= length; chunk = std::min(2 * chunk, most)) {
    const size_t n = std::min(chunk, length - start);
    if (folded.size() < n) folded.resize(n);
    fold_bytes(text + start, n, folded.data());
    int64_t at = offset_in(memmem(folded.data(), n, needle.data(), needle.size()), folded.data());
    if (at >= 0) return static_cast<int64_t>(start) + at;
    if (start + n == length) break;
    start += n - needle.size() + 1;
  }
  return -1;
}

// The key a code point is compared by.
inline uint32_t key_of(uint32_t c, bool fold) { return fold ? unicode_case_map(c, Case::upper) : c; }

// Knuth-Morris-Pratt over the keys of the code points.
template <class T, class N>
int64_t find_keys(std::span<const T> text, std::span<const N> needle_units, bool fold) {
  size_t m = needle_units.size();
  std::vector<uint32_t> needle(m);
  for (size_t i = 0; i < m; ++i) needle[i] = key_of(needle_units[i], fold);
  std::vector<size_t> border(m + 1, 0);  // border[i]: the longest proper border of needle[0, i)
  for (size_t i = 1, k = 0; i < m; ++i) {
    while (k > 0 && needle[i] != needle[k]) k = border[k];
    if (needle[i] == needle[k]) ++k;
    border[i + 1] = k;
  }
  for (size_t i = 0, k = 0; i < text.size(); ++i) {
    uint32_t key = key_of(text[i], fold);
    while (k > 0 && key != needle[k]) k = border[k];
    if (key == needle[k] && ++k == m) return static_cast<int64_t>(i + 1 - m);
  }
  return -1;
}

}  // namespace

int64_t text_find_forward(UnitText text, UnitText needle, bool fold) {
  if (needle.length == 0 || needle.length > text.length) return -1;
  if (text.unit == 1) {
    std::optional<std::vector<uint8_t>> bytes = needle_bytes(needle, fold);
    if (!bytes) return -1;
    if (!fold) return offset_in(memmem(text.data, text.length, bytes->data(), bytes->size()), text.data);
    return find_folded_bytes(text.data, text.length, *bytes);
  }
  return visit_units(text, [&](auto units) {
    return visit_units(needle, [&](auto needle_units) { return find_keys(units, needle_units, fold); });
  });
}

bool text_matches_at(UnitText text, size_t offset, UnitText needle, bool fold) {
  UnitText here{text.data + (offset << unit_shift(text.unit)), needle.length, text.unit};
  return compare_text(here, needle, fold ? kCompareFind : kCompareStrictEqual, true) == 0;
}

}  // namespace qel

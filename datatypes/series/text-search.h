// text-search.h: finding one text in another, with or without case folding, in linear time.
//
// Folding is the upper-case map of every case-insensitive operation. In a 1-byte text a folded
// search folds the text in chunks to one byte per case class and hands each chunk to the C
// library's linear substring search; other units go through a Knuth-Morris-Pratt scan of the
// folded code points.
#pragma once

#include <cstdint>

#include "datatypes/series/string-unit.h"

namespace qel {

// The offset of the first occurrence of a non-empty needle in the text, or -1.
int64_t text_find_forward(UnitText text, UnitText needle, bool fold);

// Whether the needle stands at an offset of the text (which must hold it).
bool text_matches_at(UnitText text, size_t offset, UnitText needle, bool fold);

// The byte every byte of its case class folds to: the upper-case form when that is a byte, else
// the byte itself (U+00FF and U+00B5 upper-case beyond Latin-1, each alone in its class).
constexpr uint8_t fold_latin1(uint8_t b) {
  bool lower_ascii = static_cast<uint8_t>(b - 'a') < 26;
  bool lower_latin1 = static_cast<uint8_t>(b - 0xE0) < 31 && b != 0xF7;
  return static_cast<uint8_t>(b - ((lower_ascii | lower_latin1) << 5));
}

}  // namespace qel

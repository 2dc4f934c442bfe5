// text-hash.h: the hash of text. Internal to the tables: nothing stored, sent or shown depends
// on its values, so it may change between builds.
#pragma once

#include <cstdint>

#include "datatypes/series/string-unit.h"

namespace qel {

// The string hash: XXH3 over the text's code points (folded by the upper-case map unless
// case_sensitive) in one canonical form: one byte each when every one of them is below 256,
// else four bytes each, little-endian. A text hashes alike whatever its unit width, and texts
// equal up to case hash alike when folded.
uint32_t hash_text(const UnitText& text, bool case_sensitive);

}  // namespace qel

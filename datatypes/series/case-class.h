// case-class.h: the code points that one code point matches when case is folded, for scans that
// test units against a class instead of mapping every unit.
//
// Folding is the upper-case map of every case-insensitive operation: x matches c when
// upper(x) == upper(c). For almost every code point that class is the upper-case form and its
// lower-case form; a few classes hold more (ǅ with Ǆ and ǆ, ς with σ and Σ, the Kelvin sign with
// itself only ...), and for those a scan maps the units it tests.
#pragma once

#include <cstdint>

#include "datatypes/series/case-map.h"

namespace qel {

struct CaseClass {
  uint32_t first;   // two members (equal when the class has one), tested as they are
  uint32_t second;
  uint32_t key;     // the upper-case form every member maps to
  bool mapped;      // the class has members beyond the two: test upper(x) == key as well

  bool holds(uint32_t x) const {
    return x == first || x == second || (mapped && unicode_case_map(x, Case::upper) == key);
  }
};

// The class of a code point: itself alone when case is kept, else all that fold to it.
CaseClass case_class_of(uint32_t code_point, bool fold);

}  // namespace qel

// case-class.cpp: the classes of code points under case folding.
#include "datatypes/series/case-class.h"

#include <algorithm>
#include <vector>

namespace qel {

namespace {

// The upper-case forms whose class is not {form, lower(form)}: a pair that maps a code point other
// than the form's lower case to the form, or a form that does not map to itself. Sorted.
const std::vector<uint32_t>& wider_classes() {
  static const std::vector<uint32_t> keys = [] {
    std::vector<uint32_t> found;
    for (auto pairs : {case_pairs_bmp(Case::upper), case_pairs_above_bmp(Case::upper)}) {
      for (const CasePair& pair : pairs) {
        if (pair.from != unicode_case_map(pair.to, Case::lower) || unicode_case_map(pair.to, Case::upper) != pair.to)
          found.push_back(pair.to);
      }
    }
    std::sort(found.begin(), found.end());
    return found;
  }();
  return keys;
}

}  // namespace

CaseClass case_class_of(uint32_t code_point, bool fold) {
  if (!fold) return {code_point, code_point, code_point, false};
  // scans ask for the same class again and again (a search in a loop): the last one is kept
  // (only the language thread runs text code)
  static uint32_t last_code_point = 0xFFFFFFFF;
  static CaseClass last{};
  if (code_point == last_code_point) return last;
  const uint32_t key = unicode_case_map(code_point, Case::upper);
  const uint32_t lower = unicode_case_map(key, Case::lower);
  const uint32_t first = unicode_case_map(key, Case::upper) == key ? key : code_point;
  const uint32_t second = unicode_case_map(lower, Case::upper) == key ? lower : first;
  const bool listed = code_point == first || code_point == second;
  const bool wider = std::binary_search(wider_classes().begin(), wider_classes().end(), key);
  last = {first, second, key, wider || !listed};
  last_code_point = code_point;
  return last;
}

}  // namespace qel

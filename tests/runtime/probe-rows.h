// probe-rows.h: stand-in compare rows of string! and the word types, for tests of the runtime
// core that compare values before those datatypes register their own (integer! registers its
// real row). Their datatypes' tests run the same cases with the real rows.
#pragma once

#include <string>

#include "value-fixtures.h"
#include "datatypes/scalars/integer.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/murmur-hash.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel::probe {

inline int32_t order(int64_t a, int64_t b) { return a < b ? -1 : a > b ? 1 : 0; }

// string! (1-byte text): code points, folded unless strict.
inline int32_t string_compare(const Cell& a, const Cell& b, int32_t code) {
  if (cell_type(b) != Type::string) return kNotComparable;
  std::string x = text_of(a.w2).substr(a.w1), y = text_of(b.w2).substr(b.w1);
  if (code != kCompareStrictEqual)
    for (std::string* text : {&x, &y})
      for (char& c : *text) c = static_cast<char>(case_fold(static_cast<uint8_t>(c)));
  return x.compare(y) < 0 ? -1 : x == y ? 0 : 1;
}

// The word types: the canonical symbol; when strict, the exact symbol and the type.
inline int32_t word_compare(const Cell& a, const Cell& b, int32_t code) {
  if (code == kCompareStrictEqual) return cell_type(a) == cell_type(b) && a.w2 == b.w2 ? 0 : 1;
  return order(symbol_canonical(a.w2), symbol_canonical(b.w2));
}

// Registers integer!'s own row and the probe rows over empty tables.
inline void register_rows() {
  datatype_tables_init();
  register_integer_datatype();
  register_datatype(Type::string, Type::none_id, "string!", ActionRow().set<Act::Compare>(string_compare));
  for (Type type : {Type::word, Type::set_word})
    register_datatype(type, Type::none_id, type == Type::word ? "word!" : "set-word!",
                      ActionRow().set<Act::Compare>(word_compare));
}

}  // namespace qel::probe

// construction.cpp: construction syntax #( ... ): the logic words, none, unset and datatype
// names made into their values.
#include <string_view>

#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/unset.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

constexpr char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// True when the text equals the name, letter case aside.
bool same_name(std::string_view text, std::string_view name) {
  if (text.size() != name.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (fold(text[i]) != fold(name[i])) return false;
  return true;
}

// A constructed value: what to make and the type it has.
struct Constructed {
  Type type;  // none_id: no match
  Type named;  // for a datatype!: the type it names; for a logic!: true as Type::logic
};

// The value the text between the parentheses names: true, false, none or unset, or a
// registered datatype's whole name with or without its "!".
Constructed construct(std::string_view text) {
  if (same_name(text, "true")) return {Type::logic, Type::logic};
  if (same_name(text, "false")) return {Type::logic, Type::none_id};
  if (same_name(text, "none")) return {Type::none, Type::none_id};
  if (same_name(text, "unset")) return {Type::unset, Type::none_id};
  for (size_t id = 1; id <= type_index(highest_type_id()); ++id) {
    const DatatypeRow& row = datatype_table[id];
    if (!row.name) continue;
    std::string_view name(row.name, static_cast<size_t>(row.name_length));
    if (same_name(text, name) || same_name(text, std::string_view(row.name, name.size() + 1)))
      return {Type::datatype, static_cast<Type>(id)};
  }
  return {Type::none_id, Type::none_id};
}

}  // namespace

LexStatus scan_construction(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  std::string_view text(reinterpret_cast<const char*>(start) + 2, static_cast<size_t>(end - start - 2));
  Constructed made = construct(text);
  if (made.type == Type::none_id) return lexer_syntax_error(state, start, end, kErrorMalconstruct);
  state.token_type = static_cast<int32_t>(made.type);
  if (!load) return LexStatus::ok;
  lexer_append_value(state, [&](Cell& cell) {
    switch (made.type) {
      case Type::logic: logic_make_at(cell, made.named == Type::logic); break;
      case Type::none: none_make_at(cell); break;
      case Type::unset: unset_make_at(cell); break;
      default: datatype_make_at(cell, made.named); break;
    }
  });
  return LexStatus::ok;
}

}  // namespace qel

// single-value-scan.cpp: the lexer's one-value scan serving make and to of words and percent!.
#include "loader/lexer/single-value-scan.h"

#include "datatypes/scalars/char.h"
#include "datatypes/series/string-core.h"
#include "loader/lexer/lexer.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

bool is_blank(uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// scan_single_value for any test of the scanned type.
template <class Wanted>
Cell scan_wanted(const Cell& text, Wanted wanted) {
  Cell source = text;
  if (cell_type(text) == Type::char_) {
    string_make_at(source, 1);
    string_append_char(source.w2, char_value(text));
  }
  stack_push_value(source);  // rooted for the scan
  Cell* out = stack_push_value(make_cell(Type::none));
  LexerRequest request;
  request.one = true;
  request.scan = true;
  const LexerAnswer scanned = lexer_load_string(*out, source, -1, request);
  if (scanned.type <= 0 || !wanted(static_cast<Type>(scanned.type))) return make_cell(Type::none);
  const uint32_t length = string_length(source);
  for (int64_t i = scanned.consumed; i < length; ++i)
    if (!is_blank(string_char_at(source, i))) return make_cell(Type::none);
  request.scan = false;
  (void)lexer_load_string(*out, source, -1, request);
  return *out;
}

}  // namespace

Cell scan_single_value(const Cell& text, WantedType wanted) { return scan_wanted(text, wanted); }

Cell scan_single_value_as(const Cell& text, Type target) {
  return scan_wanted(text, [target](Type type) { return type == target; });
}

Cell scan_word_text(const Cell& text, Type) {
  return scan_single_value(text, [](Type type) { return type >= Type::word && type <= Type::get_word; });
}

}  // namespace qel

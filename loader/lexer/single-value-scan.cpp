// single-value-scan.cpp: the lexer's one-value scan serving make and to of words and percent!.
#include "loader/lexer/single-value-scan.h"

#include "datatypes/scalars/char.h"
#include "datatypes/series/string-core.h"
#include "loader/lexer/lexer.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

bool is_blank(uint32_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

Cell scan_single_value(const Cell& text) {
  Cell source = text;
  if (cell_type(text) == Type::char_) {
    string_make_at(source, 1);
    string_append_char(source.w2, char_value(text));
  }
  stack_push_value(source);  // rooted for the scan
  Cell* out = stack_push_value(make_cell(Type::none));
  LexerRequest request;
  request.one = true;
  const LexerAnswer answer = lexer_load_string(*out, source, -1, request);
  const uint32_t length = string_length(source);
  for (int64_t i = answer.consumed; i < length; ++i)
    if (!is_blank(string_char_at(source, i))) return make_cell(Type::none);
  return *out;
}

Cell scan_single_value_as(const Cell& text, Type target) {
  stack_push_value(text);  // rooted for the scan
  Cell* out = stack_push_value(make_cell(Type::none));
  LexerRequest request;
  request.one = true;
  request.scan = true;
  if (lexer_load_string(*out, text, -1, request).type != static_cast<int32_t>(target)) return make_cell(Type::none);
  return scan_single_value(text);
}

Cell scan_word_text(const Cell& text, Type) { return scan_single_value(text); }

}  // namespace qel

// url-parser-service.cpp: the parse_url service answered by the library's URL parser.
#include "evaluator/url-parser-service.h"

#include "evaluator/interpreter.h"
#include "evaluator/library-values.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/services.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The url's parts object. A url the grammar refuses, or a parser a script has taken away,
// raises script invalid-arg naming the url.
Cell parse_url_by_library(const Cell& url) {
  GcRoot<Cell> given(url);
  const Cell parser = library_value(LibraryValue::url_parser);
  const Cell* function = context_word_value_cell(symbol_intern_cstring("parse-url"), parser.w1);
  GcRoot<Cell> parts(make_cell(Type::none));
  if (function && cell_type(*function) == Type::function)
    *parts = call_function_with(*function, std::span<const Cell>(&*given, 1));
  if (cell_type(*parts) != Type::object) raise_error(error_id("script", "invalid-arg"), *given);
  return *parts;
}

}  // namespace

void url_parser_take_over() {
  if (cell_type(library_value(LibraryValue::url_parser)) == Type::object) services().parse_url = parse_url_by_library;
}

}  // namespace qel

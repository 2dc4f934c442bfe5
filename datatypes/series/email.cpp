// email.cpp: email!'s registration, mold and path step.
#include "datatypes/series/email.h"

#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

int32_t email_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t limit, int32_t) {
  return string_form(value, output, part, limit);
}

bool names(const Cell& word, uint32_t symbol) { return symbol_canonical(word.w2) == symbol_canonical(symbol); }

}  // namespace

void email_init() {
  ActionRow row = lesser_text_type_row();
  row.set<Act::Mold>(email_mold).set<Act::PathStep>(email_path_step);
  register_datatype(Type::email, Type::string, "email!", row);
}

Cell* email_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  if (cell_type(element) == Type::integer) return string_path_step(value, element, new_value, step);
  bool user = cell_type(element) == Type::word && names(element, sym_user);
  bool host = cell_type(element) == Type::word && names(element, sym_host);
  if (!user && !host) raise_error(error_id("script", "invalid-path"), step.path ? *step.path : value, element);
  int64_t at = string_find_char(value, '@');
  int64_t length = string_length(value);
  if (at < 0) at = length;
  int64_t from = user ? 0 : std::min(at + 1, length);
  int64_t count = user ? at : length - from;
  Cell part = make_cell(Type::string, string_index(value) + static_cast<uint32_t>(from), value.w2);
  if (!new_value) {
    Cell copy_count = make_cell(Type::integer, 0, static_cast<uint32_t>(count));
    series_copy_into(part, &copy_count, element);
    set_value_type_byte(element, Type::string);
    return &element;
  }
  set_value_type_byte(part, Type::email);
  string_change(part, *new_value, static_cast<int32_t>(count), false, 1);
  element = *new_value;
  return &element;
}

Cell* email_push(const Cell& email) { return stack_push_value(email); }

}  // namespace qel

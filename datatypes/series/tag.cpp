// tag.cpp: tag!'s registration, form and mold.
#include "datatypes/series/tag.h"

#include "datatypes/scalars/output-text.h"
#include "datatypes/series/string.h"
#include "runtime/datatype-registry.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

int32_t tag_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t limit, int32_t) {
  return tag_form(value, output, part, limit);
}

}  // namespace

void tag_init() {
  ActionRow row = lesser_text_type_row();
  row.set<Act::Form>(tag_form).set<Act::Mold>(tag_mold);
  register_datatype(Type::tag, Type::string, "tag!", row);
}

int32_t tag_form(const Cell& value, Cell& output, bool part, int32_t limit) {
  series_append_ascii(output.w2, "<");
  int32_t left = string_form(value, output, part, budget_less(limit, 1));
  series_append_ascii(output.w2, ">");
  return budget_less(left, 1);
}

Cell* tag_push(const Cell& tag) { return stack_push_value(tag); }

}  // namespace qel

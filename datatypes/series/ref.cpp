// ref.cpp: ref!'s registration and mold.
#include "datatypes/series/ref.h"

#include "datatypes/scalars/output-text.h"
#include "datatypes/series/string.h"
#include "runtime/datatype-registry.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

int32_t ref_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t limit, int32_t) {
  series_append_ascii(output.w2, "@");
  return string_form(value, output, part, budget_less(limit, 1));
}

}  // namespace

void ref_init() {
  ActionRow row = lesser_text_type_row();
  row.set<Act::Mold>(ref_mold).unsupported<Act::PathStep>().unsupported<Act::Append>();
  register_datatype(Type::ref, Type::string, "ref!", row);
}

Cell* ref_push(const Cell& ref) { return stack_push_value(ref); }

}  // namespace qel

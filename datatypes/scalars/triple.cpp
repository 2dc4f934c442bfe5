// triple.cpp: triple!, three signed 32-bit integers in payload words 1-3, which the runtime can
// only form and mold.
#include "datatypes/scalars/triple.h"

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/output-text.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

// triple!: "make triple! [a b c]" of its three signed 32-bit words.
int32_t triple_form(const Cell& value, Cell& output, bool, int32_t budget) {
  budget = output_text(output, "make triple! [", budget);
  for (int word = 1; word <= 3; ++word) {
    if (word > 1) budget = output_text(output, " ", budget);
    budget = output_text(output, integer_form_decimal(payload_i32(value, word)).view(), budget);
  }
  return output_text(output, "]", budget);
}

int32_t triple_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t budget, int32_t) {
  return triple_form(value, output, part, budget);
}

}  // namespace

void register_triple_datatype() {
  register_datatype(Type::triple, Type::none_id, "triple!",
                    ActionRow().set<Act::Form>(triple_form).set<Act::Mold>(triple_mold));
}

}  // namespace qel

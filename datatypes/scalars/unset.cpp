// unset.cpp: unset! actions: make and to answer unset, form writes nothing, mold "unset".
#include "datatypes/scalars/unset.h"

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/output-text.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

Cell* unset_make(Cell& type, Cell&, Type) { return unset_make_at(type); }

int32_t unset_form(const Cell&, Cell&, bool, int32_t budget) { return budget; }

int32_t unset_mold(const Cell&, Cell& output, bool, bool all, bool, bool, int32_t budget, int32_t) {
  return output_construct_text(output, "unset", all, budget);
}

}  // namespace

void register_unset_datatype() {
  register_datatype(Type::unset, Type::none_id, "unset!",
                    ActionRow()
                        .set<Act::Make>(unset_make)
                        .set<Act::To>(unset_make)
                        .set<Act::Form>(unset_form)
                        .set<Act::Mold>(unset_mold)
                        .set<Act::Compare>(unit_value_compare));
}

}  // namespace qel

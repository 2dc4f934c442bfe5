// none.cpp: none! actions: make and to answer none, form and mold "none", and the series
// actions that answer none for none.
#include "datatypes/scalars/none.h"

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/output-text.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

Cell* none_make(Cell& type, Cell&, Type) { return none_make_at(type); }

int32_t none_form(const Cell&, Cell& output, bool, int32_t budget) { return output_text(output, "none", budget); }

int32_t none_mold(const Cell&, Cell& output, bool, bool all, bool, bool, int32_t budget, int32_t) {
  return output_construct_text(output, "none", all, budget);
}

// clear, remove: none stays where it is, the result.
void none_in_place(Cell&) {}
void none_remove(Cell&, Cell*, Cell*) {}

// find, select, take: answer the none itself.
Cell* none_find(Cell& none, Cell&, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool, bool, bool) { return &none; }
Cell* none_select(Cell& none, Cell&, Cell*, bool, bool, bool, bool, Cell*, Cell*, bool, bool) { return &none; }
Cell* none_take(Cell& none, Cell*, bool, bool) { return &none; }

// length? has no length to give: the entry answers none.
int32_t none_length(Cell&) { return -1; }

}  // namespace

void register_none_datatype() {
  register_datatype(Type::none, Type::none_id, "none!",
                    ActionRow()
                        .set<Act::Make>(none_make)
                        .set<Act::To>(none_make)
                        .set<Act::Form>(none_form)
                        .set<Act::Mold>(none_mold)
                        .set<Act::Compare>(unit_value_compare)
                        .set<Act::Clear>(none_in_place)
                        .set<Act::Find>(none_find)
                        .set<Act::LengthQ>(none_length)
                        .set<Act::Remove>(none_remove)
                        .set<Act::Select>(none_select)
                        .set<Act::Take>(none_take));
}

}  // namespace qel

// datatype.cpp: datatype! actions: form and mold of a type's name, compare by type id.
#include "datatypes/scalars/datatype.h"

#include <string_view>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/output-text.h"

namespace qel {

namespace {

// The full name of the type the value names ("integer!"); empty for an unregistered id.
std::string_view full_name(const Cell& value) {
  size_t id = type_index(datatype_value(value));
  if (id >= kTypeTableRows || !datatype_table[id].name) return {};
  return {datatype_table[id].name, static_cast<size_t>(datatype_table[id].name_length) + 1};
}

// The name without its "!".
int32_t datatype_form(const Cell& value, Cell& output, bool, int32_t budget) {
  std::string_view name = full_name(value);
  return output_text(output, name.substr(0, name.empty() ? 0 : name.size() - 1), budget);
}

// The full name; "#(" name ")" with /all.
int32_t datatype_mold(const Cell& value, Cell& output, bool, bool all, bool, bool, int32_t budget, int32_t) {
  return output_construct_text(output, full_name(value), all, budget);
}

// Equal (0) only to a datatype! naming the same type; the ordering codes cannot compare.
int32_t datatype_compare(const Cell& value, const Cell& other, int32_t code) {
  if (!is_equality_code(code)) return kNotComparable;
  return cell_type(other) == Type::datatype && datatype_value(other) == datatype_value(value) ? 0 : 1;
}

}  // namespace

void register_datatype_datatype() {
  register_datatype(Type::datatype, Type::none_id, "datatype!",
                    ActionRow().set<Act::Form>(datatype_form).set<Act::Mold>(datatype_mold).set<Act::Compare>(
                        datatype_compare));
}

}  // namespace qel

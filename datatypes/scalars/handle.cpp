// handle.cpp: handle! actions: form as hexadecimal, mold with its class, compare by id.
#include "datatypes/scalars/handle.h"

#include <array>
#include <string_view>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/hex-text.h"
#include "datatypes/scalars/output-text.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

// The names of the handle classes from 1 on; class 0 has none.
constexpr std::array<std::string_view, 5> kClassNames = {"fd", "monitor", "window", "font", "rich-text"};

// The id as eight hexadecimal digits and "h".
int32_t handle_form(const Cell& value, Cell& output, bool, int32_t budget) {
  budget = output_text(output, integer_to_hex_text(static_cast<int32_t>(handle_value(value)), false).view(), budget);
  return output_text(output, "h", budget);
}

// "handle!"; with /all "#[handle! " the form text, the class name when there is one, "]".
int32_t handle_mold(const Cell& value, Cell& output, bool, bool all, bool, bool, int32_t budget, int32_t) {
  if (!all) return output_text(output, "handle!", budget);
  budget = output_text(output, "#[handle! ", budget);
  budget = handle_form(value, output, false, budget);
  uint32_t kind = static_cast<uint32_t>(handle_class(value));
  if (kind >= 1 && kind <= kClassNames.size()) {
    budget = output_text(output, " ", budget);
    budget = output_text(output, kClassNames[kind - 1], budget);
  }
  return output_text(output, "]", budget);
}

// By the signed ids, whatever the code; any other type differs.
int32_t handle_compare(const Cell& value, const Cell& other, int32_t) {
  if (cell_type(other) != Type::handle) return 1;
  return three_way(static_cast<int32_t>(value.w2), static_cast<int32_t>(other.w2));
}

}  // namespace

void register_handle_datatype() {
  register_datatype(Type::handle, Type::integer, "handle!",
                    ActionRow().set<Act::Form>(handle_form).set<Act::Mold>(handle_mold).set<Act::Compare>(
                        handle_compare));
}

}  // namespace qel

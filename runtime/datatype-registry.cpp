// datatype-registry.cpp: registering datatypes and their action rows.
#include "runtime/datatype-registry.h"

#include <cstring>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/char.h"
#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/float.h"
#include "datatypes/scalars/handle.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/pair.h"
#include "datatypes/scalars/percent.h"
#include "datatypes/scalars/point2d.h"
#include "datatypes/scalars/point3d.h"
#include "datatypes/scalars/time.h"
#include "datatypes/scalars/triple.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/scalars/unset.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/block.h"
#include "datatypes/series/email.h"
#include "datatypes/series/hash.h"
#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "datatypes/series/map.h"
#include "datatypes/series/vector.h"
#include "datatypes/series/paren.h"
#include "datatypes/series/path.h"
#include "datatypes/series/ref.h"
#include "datatypes/series/string.h"
#include "datatypes/series/tag.h"
#include "datatypes/series/url.h"
#include "datatypes/series/series.h"
#include "evaluator/error.h"
#include "evaluator/function.h"
#include "evaluator/native.h"
#include "evaluator/object.h"
#include "evaluator/port.h"
#include "evaluator/routine.h"
#include "evaluator/words.h"
#include "runtime/console-output.h"
#include "runtime/contexts.h"
#include "runtime/quit.h"
#include "runtime/services.h"
#include "runtime/symbols.h"

namespace qel {

DatatypeRow datatype_table[kTypeTableRows];
ActionFn action_table[kTypeTableRows][kActionSlots];

namespace {

Type highest_registered = Type::none_id;
bool words_made = false;

// The start-up's registrations in their fixed order; each type's subsystem puts its init here.
constexpr DatatypeInit kDatatypeInits[] = {
    {"datatype!", register_datatype_datatype},
    {"unset!", register_unset_datatype},
    {"none!", register_none_datatype},
    {"logic!", register_logic_datatype},
    {"series!", series_init},
    {"block!", block_init},
    {"string!", string_init},
    {"binary!", binary_init},
    {"integer!", register_integer_datatype},
    {"symbol!", register_symbol_datatype},
    {"context!", register_context_datatype},
    {"word!", register_word_datatype},
    {"lit-word!", register_lit_word_datatype},
    {"set-word!", register_set_word_datatype},
    {"get-word!", register_get_word_datatype},
    {"refinement!", register_refinement_datatype},
    {"char!", register_char_datatype},
    {"native!", register_native_datatype},
    {"action!", register_action_datatype},
    {"op!", register_op_datatype},
    {"path!", path_init},
    {"lit-path!", lit_path_init},
    {"set-path!", set_path_init},
    {"get-path!", get_path_init},
    {"function!", register_function_datatype},
    {"routine!", register_routine_datatype},
    {"paren!", paren_init},
    {"issue!", register_issue_datatype},
    {"url!", url_init},
    {"file!", file_init},
    {"object!", register_object_datatype},
    {"bitset!", register_bitset_datatype},
    {"triple!", register_triple_datatype},
    {"float!", register_float_datatype},
    {"typeset!", register_typeset_datatype},
    {"error!", register_error_datatype},
    {"vector!", vector_init},
    {"map!", map_init},
    {"hash!", hash_init},
    {"pair!", register_pair_datatype},
    {"percent!", register_percent_datatype},
    {"tuple!", register_tuple_datatype},
    {"time!", register_time_datatype},
    {"tag!", tag_init},
    {"email!", email_init},
    {"handle!", register_handle_datatype},
    {"date!", register_date_datatype},
    {"port!", register_port_datatype},
    {"money!", register_money_datatype},
    {"ref!", ref_init},
    {"point2D!", register_point2D_datatype},
    {"point3D!", register_point3D_datatype},
    {"image store", image_store_init},
    {"image!", image_init},
};

[[noreturn]] void invalid_actions_count(Type type, size_t found) {
  print_values_line({{item_text("*** Datatype Error: invalid actions count for type: "), item_integer(type_index(type))}});
  print_values_line({{item_text("*** Found: "), item_integer(static_cast<int64_t>(found))}});
  print_values_line({{item_text("*** Expected: "), item_integer(kActionSlots)}});
  console_flush();
  fatal_assertion();
}

void make_name_word(DatatypeRow& row) { row.name_word = services().word_from_c_string(row.name); }

}  // namespace

ActionRow& ActionRow::inherit_all() {
  slots_.fill(kInheritSlot);
  return *this;
}

Type highest_type_id() { return highest_registered; }

bool datatype_registered(Type type) { return datatype_table[type_index(type)].name != nullptr; }

void register_datatype(Type type, Type parent, const char* name, const ActionRow& row) {
  register_datatype(type, parent, name, row.slots());
}

void register_datatype(Type type, Type parent, const char* name, std::span<const RawSlot> slots) {
  size_t id = type_index(type);
  if (id == 0 || id >= kTypeTableRows || type_index(parent) >= kTypeTableRows) fatal_assertion();
  if (parent != Type::none_id && !datatype_registered(parent)) fatal_assertion();
  if (slots.size() != kActionSlots) invalid_actions_count(type, slots.size());
  if (type > highest_registered) highest_registered = type;
  DatatypeRow& row = datatype_table[id];
  row.name = name;
  row.name_length = static_cast<int32_t>(std::strlen(name)) - 1;
  if (words_made) make_name_word(row);
  const ActionFn* parent_row = action_table[type_index(parent)];
  for (size_t k = 0; k < kActionSlots; ++k) {
    RawSlot value = slots[k];
    if (value == kInheritSlot) {
      action_table[id][k] = parent != Type::none_id ? parent_row[k] : nullptr;  // no parent: unsupported
    } else {
      action_table[id][k] = reinterpret_cast<ActionFn>(value);
    }
  }
  action_table[id][slot_index(Act::Reserved)] = nullptr;
}

void datatype_tables_init() {
  for (auto& row : datatype_table) row = DatatypeRow{};
  for (auto& row : action_table)
    for (auto& slot : row) slot = nullptr;
  highest_registered = Type::none_id;
  words_made = false;
}

std::span<const DatatypeInit> datatype_inits() { return kDatatypeInits; }

void register_datatypes() {
  for (const auto& entry : kDatatypeInits) entry.init();
}

void datatype_table_make_words() {
  for (size_t id = 1; id <= type_index(highest_registered); ++id)
    if (datatype_table[id].name) make_name_word(datatype_table[id]);
  words_made = true;
}

}  // namespace qel

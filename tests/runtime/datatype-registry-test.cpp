// The datatype registry: names, inheritance at registration, the reserved slot, slot counts.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "runtime/action-entries.h"
#include "runtime/console-output.h"
#include "runtime/datatype-registry.h"
#include "runtime/exits.h"
#include "runtime/memory.h"
#include "runtime/services.h"
#include "runtime/startup.h"

namespace qel {
namespace {

// Probe functions told apart by their address.
template <int N>
Cell* probe_make(Cell&, Cell&, Type) { static Cell answer = make_cell(Type::integer, 0, N); return &answer; }
template <int N>
void probe_negate(Cell&) {}

ActionFn fn_of(Type type, Act act) { return action_table[type_index(type)][slot_index(act)]; }
ActionFn as_fn(auto function) { return reinterpret_cast<ActionFn>(function); }

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_services();
    datatype_tables_init();
  }
  void TearDown() override {
    datatype_tables_init();
    reset_services();
  }
};

TEST_F(RegistryTest, InheritCopiesTheParentsEntryAtRegistration) {
  register_datatype(Type::series, Type::none_id, "series!",
                    ActionRow().set<Act::Make>(probe_make<1>).set<Act::Negate>(probe_negate<1>));
  register_datatype(Type::block, Type::series, "block!",
                    ActionRow().inherit_all().set<Act::Negate>(probe_negate<2>));
  register_datatype(Type::paren, Type::block, "paren!", ActionRow().inherit<Act::Make>());
  EXPECT_EQ(fn_of(Type::block, Act::Make), as_fn(probe_make<1>));
  EXPECT_EQ(fn_of(Type::block, Act::Negate), as_fn(probe_negate<2>));
  EXPECT_EQ(fn_of(Type::paren, Act::Make), as_fn(probe_make<1>));  // through block!'s copy
  EXPECT_EQ(fn_of(Type::paren, Act::Negate), nullptr);              // 0 overrides the parent
  EXPECT_EQ(fn_of(Type::block, Act::Find), nullptr);                // inherited emptiness

  register_datatype(Type::series, Type::none_id, "series!", ActionRow().set<Act::Make>(probe_make<3>));
  EXPECT_EQ(fn_of(Type::block, Act::Make), as_fn(probe_make<1>));  // the child kept its copy
  EXPECT_EQ(highest_type_id(), Type::series);  // the largest id so far, not the last one
}

TEST_F(RegistryTest, InheritWithoutParentStaysUnsupported) {
  register_datatype(Type::integer, Type::none_id, "integer!", ActionRow().inherit_all().set<Act::Make>(probe_make<1>));
  EXPECT_EQ(fn_of(Type::integer, Act::Negate), nullptr);
  EXPECT_EQ(fn_of(Type::integer, Act::Make), as_fn(probe_make<1>));
  init_stacks();
  init_action_entries();
  EXPECT_EQ(trap_errors([] { call_action(Act::Negate, std::array{make_cell(Type::integer, 0, 3)}); }).taken,
            kThrowError);
  EXPECT_EQ(stand_in_last_error().id, error_id("script", "expect-arg"));
  init_stacks();
}

TEST_F(RegistryTest, TheReservedSlotIsEmptyInEveryRow) {
  register_datatypes();  // the start-up's table adds rows of its own as datatypes land
  std::vector<RawSlot> slots(kActionSlots, reinterpret_cast<RawSlot>(probe_negate<1>));
  register_datatype(Type::integer, Type::none_id, "integer!", slots);
  register_datatype(Type::char_, Type::integer, "char!", ActionRow().inherit_all());
  for (size_t type = 0; type < kTypeTableRows; ++type) EXPECT_EQ(action_table[type][slot_index(Act::Reserved)], nullptr);
  EXPECT_EQ(fn_of(Type::char_, Act::Negate), as_fn(probe_negate<1>));
}

TEST_F(RegistryTest, NamesAndTheirLengthsWithoutTheBang) {
  register_datatype(Type::string, Type::none_id, "string!", ActionRow());
  register_datatype(Type::block, Type::none_id, "block!", ActionRow());
  EXPECT_STREQ(datatype_table[type_index(Type::string)].name, "string!");
  EXPECT_EQ(datatype_table[type_index(Type::string)].name_length, 6);
  EXPECT_EQ(datatype_table[type_index(Type::block)].name_length, 5);
  EXPECT_EQ(datatype_table[type_index(Type::string)].name_word.header, 0u);  // no symbols yet
  EXPECT_TRUE(datatype_registered(Type::block));
  EXPECT_FALSE(datatype_registered(Type::paren));
}

std::vector<std::string> words_made;
Cell record_word(const char* name) {
  words_made.emplace_back(name);
  return make_cell(Type::word, 0, static_cast<uint32_t>(words_made.size()));
}

TEST_F(RegistryTest, NameWordsAreMadeOnceSymbolsExist) {
  words_made.clear();
  services().word_from_c_string = record_word;
  register_datatype(Type::none, Type::none_id, "none!", ActionRow());
  register_datatype(Type::logic, Type::none_id, "logic!", ActionRow());
  EXPECT_TRUE(words_made.empty());
  datatype_table_make_words();
  EXPECT_EQ(words_made, (std::vector<std::string>{"none!", "logic!"}));
  register_datatype(Type::event, Type::none_id, "event!", ActionRow());  // made at once now
  EXPECT_EQ(words_made.back(), "event!");
  EXPECT_EQ(datatype_table[type_index(Type::event)].name_word.w2, 3u);
  EXPECT_EQ(datatype_table[type_index(Type::logic)].name_word.w2, 2u);
}

// The tools that restart the whole runtime (benchmarks) read types by name (type?/word) as a
// started runtime does.
TEST_F(RegistryTest, ARestartNamesEveryDatatype) {
  words_made.clear();
  services().word_from_c_string = record_word;
  restart_with_datatypes();
  for (size_t id = 1; id <= type_index(highest_type_id()); ++id) {
    if (!datatype_registered(static_cast<Type>(id))) continue;
    EXPECT_EQ(cell_type(datatype_table[id].name_word), Type::word) << datatype_table[id].name;
  }
  memory_release_all();
}

TEST_F(RegistryTest, TheStartUpTableRegistersInTheFixedOrder) {
  std::vector<std::string> order;
  for (const auto& entry : datatype_inits()) order.emplace_back(entry.what);
  ASSERT_EQ(order.size(), 54u);
  EXPECT_EQ(order.front(), "datatype!");
  EXPECT_EQ(order[7], "binary!");    // right after string!
  EXPECT_EQ(order[28], "url!");      // before file!
  EXPECT_EQ(order[29], "file!");
  EXPECT_EQ(order[52], "image store");
  EXPECT_EQ(order.back(), "image!");
}

// Registers with a wrong slot count, its output going to stderr where the death test reads it.
void register_with_slots(size_t count) {
  console_output_set_target({STDERR_FILENO, false});
  std::vector<RawSlot> slots(count, kUnsupportedSlot);
  register_datatype(Type::integer, Type::none_id, "integer!", slots);
}

TEST_F(RegistryTest, AWrongSlotCountPrintsThreeLinesAndEndsWithAssertion) {
  EXPECT_EXIT(register_with_slots(63), ::testing::ExitedWithCode(98),
              "^\\*\\*\\* Datatype Error: invalid actions count for type: 11\n\\*\\*\\* Found: 63\n"
              "\\*\\*\\* Expected: 62\n\\*\\*\\* Runtime Error 98: assertion failed");
  EXPECT_EXIT(register_with_slots(61), ::testing::ExitedWithCode(98), "Found: 61\n\\*\\*\\* Expected: 62\n");
}

TEST_F(RegistryTest, AParentNotYetRegisteredIsABuildDefect) {
  EXPECT_EXIT(register_datatype(Type::file, Type::url, "file!", ActionRow()), ::testing::ExitedWithCode(98),
              "assertion failed");
}

}  // namespace
}  // namespace qel

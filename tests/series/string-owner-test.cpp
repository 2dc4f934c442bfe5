// The owner of a text hears of every change, before and after, with the action's words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "datatypes/series/change-case.h"
#include "runtime/gc-root.h"
#include "runtime/ownership.h"
#include "tests/series/string-fixture.h"

namespace qel {
namespace {

// What the owner heard: each word with its position and count.
struct Heard {
  std::string word;
  int32_t index;
  int32_t part;
  bool operator==(const Heard&) const = default;
};
void PrintTo(const Heard& heard, std::ostream* out) { *out << heard.word << " " << heard.index << " " << heard.part; }
std::vector<Heard> heard;
void record(const OwnerChange& change) { heard.push_back({std::string(symbol_name(change.action.w2)), change.index, change.part}); }

class StringOwner : public StringActions {
 protected:
  void SetUp() override {
    StringActions::SetUp();
    heard.clear();
    services().object_fire_on_change = record;
  }
  // A text owned by an object with a change record.
  static Cell owned_text(const char* text, GcRoot<Cell>& owner) {
    NodeId context = context_make(2, false, false, 0, kObjectContext);
    *owner = make_cell(Type::object, context, 0, new_cell_series(1));
    context_owner(context) = *owner;
    Cell field = context_add_word(symbol_intern_cstring("text"), context);
    Cell value = text_value(text);
    series_set_owned(value, *owner, field);
    return value;
  }
};

TEST_F(StringOwner, EachChangeIsAnnouncedBeforeAndAfter) {
  GcRoot<Cell> owner;
  Cell text = owned_text("abc", owner);
  Cell two = int_cell(2);
  act(Act::Append, {text, text_value("de")}, {{refinement_position(Act::Append, "part"), true, {&two, 1}}});
  act(Act::Insert, {at(text, 1), char_value('x')});
  act(Act::Change, {at(text, 2), text_value("YZ")});
  change_case_value(text, nullptr, Case::upper);
  act(Act::Sort, {text});
  act(Act::Trim, {text});
  EXPECT_EQ(heard, (std::vector<Heard>{{"append", 3, 2},   {"appended", 3, 2}, {"insert", 1, -1},
                                       {"inserted", 1, 1}, {"change", 2, 1},   {"changed", 2, 2},
                                       {"uppercase", 0, 6}, {"sort", 0, 6},    {"sorted", 0, 6},
                                       {"trim", 0, 6},     {"trimmed", 0, 6}}));
  EXPECT_EQ(head_text(text), "ADEXYZ");
}

// A handler that changes the text while it is told of a change: the action reads the text
// again afterwards.
TEST_F(StringOwner, AHandlerMayChangeTheText) {
  static Cell changed;
  services().object_fire_on_change = [](const OwnerChange& change) {
    if (symbol_name(change.action.w2) == "insert") string_reset(changed);
  };
  GcRoot<Cell> owner;
  changed = owned_text("abcdef", owner);
  Cell result = act(Act::Insert, {at(changed, 4), text_value("xy")});
  EXPECT_EQ(head_text(changed), "xy");
  EXPECT_EQ(result.w1, 2u);
}

}  // namespace
}  // namespace qel

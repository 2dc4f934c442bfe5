// parse-edit.cpp: the parse engine's edits of the input: remove, insert and change.
//
// Edits go through the input's own actions, which may tell an owner object and so run code:
// positions are read again from the input after each.
#include <array>

#include "datatypes/series/series.h"
#include "evaluator/eval-support.h"
#include "evaluator/parse-engine.h"
#include "runtime/action-entries.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr size_t kRemovePart = refinement_position(Act::Remove, "part");
constexpr size_t kInsertOnly = refinement_position(Act::Insert, "only");
constexpr size_t kChangePart = refinement_position(Act::Change, "part");
constexpr size_t kChangeOnly = refinement_position(Act::Change, "only");

Cell integer_cell(int64_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(static_cast<int32_t>(n))); }

// The input at another position.
Cell input_at(const Cell& input, int64_t position) {
  Cell at = input;
  series_set_index(at, position);
  return at;
}

// Removes `count` elements of the input from `start`.
void remove_part(const Cell& input, int64_t start, int64_t count) {
  const std::array part{integer_cell(count)};
  call_action(Act::Remove, std::array{input_at(input, start)}, {Refinement{kRemovePart, true, part}});
  stack_drop(1);
}

// Changes `count` elements of the input from `start` to the value; answers the position after.
int64_t change_part(const Cell& input, int64_t start, int64_t count, const Cell& value, bool only) {
  const std::array part{integer_cell(count)};
  const Cell after = call_action(Act::Change, std::array{input_at(input, start), value},
                                 {Refinement{kChangePart, true, part}, Refinement{kChangeOnly, only}});
  stack_drop(1);
  return series_clamped_index(after);
}

}  // namespace

// Whether the rule at the position is a word or get-word holding a position in the input series;
// `index` gets that position.
bool ParseEngine::position_word(int64_t position, int64_t& index) const {
  if (position >= rule_tail()) return false;
  Cell word = rule_at(position);
  if (cell_type(word) != Type::word && cell_type(word) != Type::get_word) return false;
  const Cell* value = word_value_quiet(word);
  if (!value || !series_same(input_.get(), *value)) return false;
  index = series_clamped_index(*value);
  return true;
}

// The value an insert or change puts in, from the rule at the position: a paren's value, a
// word's value, anything else as it stands.
Status ParseEngine::edit_value(int64_t position, Keyword keyword, Cell& value) {
  if (position >= rule_tail()) raise_error(error_id("script", "parse-rule"), parse_keyword_word(keyword));
  const Cell rule = rule_at(position);
  switch (cell_type(rule)) {
    case Type::paren: return eval_paren(rule, value);
    case Type::word: value = word_rule_value(rule); return {};
    case Type::path: raise_error(error_id("script", "parse-rule"), rule);
    default: value = rule; return {};
  }
}

// remove: with a position word, the part between it and the input; else what the next rule
// matches (command remove).
ParseEngine::Step ParseEngine::remove_rule() {
  if (rule_pos_ + 1 >= rule_tail()) raise_end(Keyword::remove);
  const Cell next = rule_at(rule_pos_ + 1);
  if (cell_type(next) == Type::path) raise_error(error_id("script", "parse-rule"), next);
  int64_t position;
  if (!position_word(rule_pos_ + 1, position)) return push_command(ParseCommand::remove, make_cell(Type::none));
  const int64_t start = std::min(position, index());
  remove_part(input_.get(), start, std::abs(index() - position));
  set_index(start);
  ++rule_pos_;
  match_ = true;
  return Step::after_rule;
}

// The end of command remove: the matched part goes, and the input stays where it began.
void ParseEngine::complete_remove(int64_t saved) {
  remove_part(input_.get(), saved, index() - saved);
  set_index(saved);
}

// insert [only] [position] value: the value goes in at the position (the input's, by default);
// the input keeps its element when the insertion lies at or before it.
Status ParseEngine::insert_rule(Step& next) {
  if (rule_pos_ + 1 >= rule_tail()) raise_end(Keyword::insert);
  int64_t at = rule_pos_ + 1;
  const bool only = parse_keyword_of(rule_at(at)) == Keyword::only;
  if (only) ++at;
  int64_t position = index();
  if (position_word(at, position)) ++at;
  Cell value;
  QEL_TRY(edit_value(at, Keyword::insert, value));
  GcRoot<Cell> kept(value);
  const int64_t before = series_total_length(input_.get());
  call_action(Act::Insert, std::array{input_at(input_.get(), position), kept.get()}, {Refinement{kInsertOnly, only}});
  stack_drop(1);
  if (position <= index()) set_index(index() + series_total_length(input_.get()) - before);
  rule_pos_ = at;
  next = Step::fetch;
  return {};
}

// change [only] position value, or change [only] rule value (command change).
Status ParseEngine::change_rule(Step& next) {
  if (rule_pos_ + 1 >= rule_tail()) raise_error(error_id("script", "parse-rule"), parse_keyword_word(Keyword::change));
  int64_t at = rule_pos_ + 1;
  const bool only = parse_keyword_of(rule_at(at)) == Keyword::only;
  if (only) ++at;
  if (at >= rule_tail()) raise_error(error_id("script", "parse-rule"), parse_keyword_word(Keyword::change));
  int64_t position;
  if (!position_word(at, position)) {
    rule_pos_ = at - 1;
    next = push_command(only ? ParseCommand::change_only : ParseCommand::change, make_cell(Type::none));
    return {};
  }
  Cell value;
  QEL_TRY(edit_value(at + 1, Keyword::change, value));
  GcRoot<Cell> kept(value);
  const int64_t start = std::min(position, index());
  change_part(input_.get(), start, std::abs(index() - position), kept.get(), only);
  set_index(start);
  rule_pos_ = at + 1;
  match_ = true;
  next = Step::after_rule;
  return {};
}

// The end of command change: a matched part is replaced by the value after the rule.
Status ParseEngine::complete_change(bool only, int64_t saved) {
  const int64_t value_at = rule_pos_ + 1;
  rule_pos_ = value_at;
  if (!match_) return {};
  Cell value;
  QEL_TRY(edit_value(value_at, Keyword::change, value));
  GcRoot<Cell> kept(value);
  set_index(change_part(input_.get(), saved, index() - saved, kept.get(), only));
  return {};
}

}  // namespace qel

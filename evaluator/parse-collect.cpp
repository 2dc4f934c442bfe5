// parse-collect.cpp: collect and keep: values taken from the input into a new block or into a
// series the rules name.
//
// For the duration of a collect the value stack holds, above the engine's scratch cell, what the
// kept values go to: a new block (plain collect), the word and a new block (collect set), the
// word as a get-word! (collect into) or as a refinement! (collect after). keep sends its value to
// the top one. Completion (complete_collect) hands a finished block to what lies below it.
#include <array>

#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "evaluator/eval-support.h"
#include "evaluator/parse-engine.h"
#include "evaluator/parse-stacks.h"
#include "runtime/action-entries.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr size_t kInsertOnly = refinement_position(Act::Insert, "only");
constexpr size_t kAppendOnly = refinement_position(Act::Append, "only");

// The series a collect into/after target word holds now.
Cell target_series(const Cell& target) {
  Cell word = target;
  set_value_type_byte(word, Type::word);
  return *word_value_read(word);
}

// Sets the target word to the series.
void set_target_series(const Cell& target, const Cell& series) {
  Cell word = target;
  set_value_type_byte(word, Type::word);
  word_set(word, series);
}

// The value into a collect into (insert, the word moving past it) or after (append) target;
// with pick a block's elements go in one by one.
void put_into_target(const Cell& target, const Cell& value, bool pick) {
  const Cell series = target_series(target);
  if (cell_type(target) == Type::get_word) {
    const Cell after = call_action(Act::Insert, std::array{series, value}, {Refinement{kInsertOnly, !pick}});
    stack_drop(1);
    set_target_series(target, after);
  } else {
    call_action(Act::Append, std::array{series, value}, {Refinement{kAppendOnly, !pick}});
    stack_drop(1);
  }
}

}  // namespace

// A collect target must be a series that can hold values taken from this input.
void ParseEngine::check_target(const Cell& target) const {
  const Type type = cell_type(target);
  const Type input = cell_type(input_.get());
  const SeriesKind kind = series_kind(type);
  const bool holds = kind == SeriesKind::block || (kind == SeriesKind::text && !any_block_type(input)) ||
                     (kind == SeriesKind::binary && input == Type::binary) || type == input;
  if (!holds || kind == SeriesKind::vector || kind == SeriesKind::image)
    raise_error(error_id("script", "parse-into-type"));
}

// collect [set | into | after word] rule.
ParseEngine::Step ParseEngine::collect_rule() {
  if (rule_pos_ + 1 >= rule_tail()) raise_end(Keyword::collect);
  const Keyword form = parse_keyword_of(rule_at(rule_pos_ + 1));
  int32_t target_index = 0;
  if (form == Keyword::set || form == Keyword::into || form == Keyword::after) {
    if (rule_pos_ + 2 >= rule_tail() || cell_type(rule_at(rule_pos_ + 2)) != Type::word) raise_end(Keyword::collect);
    Cell word = rule_at(rule_pos_ + 2);
    if (form == Keyword::set) {
      stack_push_value(word);
      block_push_new(8);
    } else {
      const Cell target = target_series(word);
      check_target(target);
      if (target.w2 == input_.get().w2) raise_error(error_id("script", "parse-into-bad"));
      target_index = static_cast<int32_t>(series_clamped_index(target));
      set_value_type_byte(word, form == Keyword::into ? Type::get_word : Type::refinement);
      stack_push_value(word);
    }
    rule_pos_ += 2;
  } else {
    block_push_new(8);
  }
  ++collect_depth_;
  Cell counts = make_cell(kParseMarkerType);
  set_payload_i32(counts, 2, target_index);
  return push_command(ParseCommand::collect, counts);
}

// keep [pick] paren, or keep [pick] rule (command keep).
Status ParseEngine::keep_rule(Step& next) {
  if (collect_depth_ == 0) raise_error(error_id("script", "parse-keep"));
  int64_t at = rule_pos_ + 1;
  const bool pick = at < rule_tail() && parse_keyword_of(rule_at(at)) == Keyword::pick;
  if (pick) ++at;
  if (at >= rule_tail()) raise_end(Keyword::keep);
  const Cell rule = rule_at(at);
  if (cell_type(rule) != Type::paren) {
    rule_pos_ = at - 1;
    next = push_command(ParseCommand::keep_rule, make_cell(kParseMarkerType), pick ? 1 : 0);
    return {};
  }
  Cell value;
  QEL_TRY(eval_paren(rule, value));
  GcRoot<Cell> kept(value);
  keep_value(kept.get(), pick);
  rule_pos_ = at;
  match_ = true;
  next = trace(ParseEvent::match) ? Step::after_rule : Step::stop;
  return {};
}

// parse-collect-value: the value to the innermost collect's block or target.
void ParseEngine::keep_value(const Cell& value, bool pick) {
  const Cell target = *stack_last_value();
  if (cell_type(target) == Type::block) {
    if (pick && series_kind(cell_type(value)) == SeriesKind::block) block_append_cells(target, value);
    else block_append_copy(target, value);
    return;
  }
  check_target(target_series(target));
  put_into_target(target, value, pick);
}

// The elements from `from` to `to` kept: one as the element itself, several as one copy of the
// input's type, or with pick one by one (a text or binary target takes them as one run).
void ParseEngine::keep_matched(int64_t from, int64_t to, bool pick) {
  const Type input_type = cell_type(input_.get());
  const Cell target = *stack_last_value();
  const bool series_target = cell_type(target) != Type::block && series_kind(cell_type(target_series(target))) != SeriesKind::block;
  if (to - from == 1 || (pick && !series_target)) {
    for (int64_t at = from; at < to; ++at) {
      GcRoot<Cell> element(series_element_hooks(input_type).pick(input_.get(), at));
      keep_value(element.get(), false);
    }
    return;
  }
  GcRoot<Cell> copied(copy_part(from, to));
  keep_value(copied.get(), false);
}

// The end of a collect: its block goes to what lies below it, or a target's word goes back to
// where the collect began.
void ParseEngine::complete_collect(int32_t target_index) {
  --collect_depth_;
  Cell* top = stack_last_value();
  const Cell* below = top - 1;
  if (cell_type(*top) != Type::block) {
    // collect into/after: the word refers to the first inserted value, or stays where it was
    Cell series = target_series(*top);
    series_set_index(series, target_index);
    set_target_series(*top, series);
    if (below != scratch_) stack_drop(1);
    return;
  }
  if (below == scratch_) {
    collected_ = true;
    return;
  }
  const Cell block = *top;
  switch (cell_type(*below)) {
    case Type::word: {
      Cell word = *below;
      word_set(word, block);
      stack_drop(2);
      return;
    }
    case Type::block:
      block_append_copy(*below, block);
      stack_drop(1);
      return;
    default:
      put_into_target(*below, block, false);
      stack_drop(1);
      return;
  }
}

}  // namespace qel

// parse.cpp: the parse engine's step machine: rule blocks, alternatives, keywords, counts and
// the commands that take a rule.
#include "evaluator/parse-engine.h"

#include <array>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/truth.h"
#include "datatypes/series/block-core.h"
#include "evaluator/eval-support.h"
#include "evaluator/interpreter.h"
#include "evaluator/parse-match.h"
#include "evaluator/parse-stacks.h"
#include "runtime/action-entries.h"
#include "runtime/callback-bits.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// --- The rule stack's frames ---------------------------------------------------------------------

// The cell k places below the rule stack's top (1 is the top).
Cell* frame_cell(int64_t k) { return series_buffer(parse_stacks.rules)->tail_cell() - k; }

bool command_on_top() {
  return parse_rule_depth() > 0 && cell_type(*frame_cell(1)) == kParseCommandType;
}

void push_frame(const Cell& first, const Cell& marker, const Cell& last) {
  SeriesBuffer* buffer = series_buffer(parse_stacks.rules);
  if (buffer->tail + 3 * sizeof(Cell) <= buffer->capacity) {  // room: no growth, written in place
    Cell* cells = buffer->tail_cell();
    cells[0] = first;
    cells[1] = marker;
    cells[2] = last;
    buffer->tail += 3 * sizeof(Cell);
    return;
  }
  const Cell stack = parse_rule_stack();
  block_append_copy(stack, first);
  block_append_copy(stack, marker);
  block_append_copy(stack, last);
}

void pop_frame() { series_buffer(parse_stacks.rules)->tail -= 3 * sizeof(Cell); }

// A marker cell of three signed numbers.
Cell marker(int64_t a, int64_t b, int64_t c) {
  Cell cell = make_cell(kParseMarkerType);
  set_payload_i32(cell, 1, static_cast<int32_t>(a));
  set_payload_i32(cell, 2, static_cast<int32_t>(b));
  set_payload_i32(cell, 3, static_cast<int32_t>(c));
  return cell;
}

ParseCommand command_of(const Cell& cell) { return static_cast<ParseCommand>(payload_i32(cell, 2)); }

// The keyword a command was written with, for parse-end.
Keyword command_keyword(ParseCommand command) {
  switch (command) {
    case ParseCommand::to: return Keyword::to;
    case ParseCommand::thru: return Keyword::thru;
    case ParseCommand::not_: return Keyword::not_;
    case ParseCommand::remove: return Keyword::remove;
    case ParseCommand::while_: return Keyword::while_;
    case ParseCommand::collect: return Keyword::collect;
    case ParseCommand::keep_rule: case ParseCommand::keep_paren: return Keyword::keep;
    case ParseCommand::ahead: return Keyword::ahead;
    default: return Keyword::none_;
  }
}

constexpr bool is_word_kind(Type type) {
  return type == Type::word || type == Type::set_word || type == Type::get_word || type == Type::lit_word;
}

// The value a word of the rules refers to, read as code reads it.
Cell read_word(const Cell& word) {
  Cell copy = word;
  return *word_value_read(copy);
}

// Whether a value can be entered by `into`: a series of cells, text or bytes.
bool enterable(Type type) {
  const SeriesKind kind = series_kind(type);
  return kind == SeriesKind::block || kind == SeriesKind::text || kind == SeriesKind::binary;
}

// The stacks entered for one parse call and reset on every way out of it.
class StacksGuard {
 public:
  StacksGuard() : nested_(parse_stacks_enter()) {}
  ~StacksGuard() { parse_stacks_reset(nested_); }
  StacksGuard(const StacksGuard&) = delete;
  StacksGuard& operator=(const StacksGuard&) = delete;

 private:
  bool nested_;
};

// Whether a rule, or the value of a word rule, is a literal that a command's argument matches
// directly: a word counts only as a word's value.
bool is_literal_rule(const Cell& rule, bool held_by_word) {
  switch (cell_type(rule)) {
    case Type::word:
      return held_by_word;
    case Type::block: case Type::integer: case Type::paren: case Type::typeset: case Type::datatype:
      return false;
    default:
      return true;
  }
}

}  // namespace

ParseEngine::ParseEngine(const ParseRequest& request)
    : input_(request.input),
      rules_(request.rules),
      tracer_(request.tracer ? *request.tracer : Cell{}),
      op_(request.op),
      limit_(request.limit),
      has_tracer_(request.tracer != nullptr) {}

// --- Helpers ---------------------------------------------------------------------------------------

int64_t ParseEngine::index() const { return series_clamped_index(input_.get()); }

void ParseEngine::set_index(int64_t index) { series_set_index(input_.get(), index); }

int64_t ParseEngine::input_end() const {
  const int64_t tail = series_total_length(input_.get());
  return limit_ >= 0 && into_depth_ == 0 && limit_ < tail ? limit_ : tail;
}

int64_t ParseEngine::rule_tail() const { return parse_cells_in(rules_.get().w2); }

Cell ParseEngine::rule_at(int64_t position) const {
  if (position < 0 || position >= rule_tail()) return make_cell(Type::unset);  // a paren shortened the rules
  Cell& rule = series_buffer(rules_.get().w2)->head_cell()[position];
  // a word's slot is found once and kept in the rule, as code keeps it
  if (rule.w3 == kUnresolved && is_word_kind(cell_type(rule))) resolve_word(rule);
  return rule;
}

Cell ParseEngine::word_rule_value(const Cell& word) const {
  const Cell value = read_word(word);
  if (cell_type(value) == Type::unset) raise_error(error_id("script", "no-value"), word);
  return value;
}

Cell ParseEngine::position_marker() const {
  const int64_t at = index();
  return marker(rule_pos_, at, series_total_length(input_.get()) - at);
}

void ParseEngine::raise_end(Keyword keyword) const {
  raise_error(error_id("script", "parse-end"), parse_keyword_word(keyword));
}

// parse-eval-paren: the paren's value, the value stack left as it was.
Status ParseEngine::eval_paren(const Cell& paren, Cell& value) {
  Cell* const top = value_stack.top;
  QEL_TRY(eval_block(paren, false));
  value = *stack_last_value();
  value_stack.top = top;
  return {};
}

bool ParseEngine::trace(ParseEvent event) {
  if (!has_tracer_) [[likely]] return true;
  if (call_tracer(event)) return true;
  vetoed_ = true;
  return false;
}

// parse-call-tracer: the event, the match flag, the rules at the current rule, the input and a
// shallow copy of the rule stack above its head (a tracer that changes it changes only its copy).
// A false answer ends the parse with the match flag as it stands.
bool ParseEngine::call_tracer(ParseEvent event) {
  Cell rules = rules_.get();
  series_set_index(rules, rule_pos_ < 0 ? 0 : rule_pos_);
  Cell stack = parse_rule_stack();
  series_set_index(stack, parse_rule_head());
  Cell frames;
  block_make_at(frames, parse_rule_depth());
  block_append_cells(frames, stack);
  const std::array arguments{parse_event_word(event), make_cell(Type::logic, match_ ? 1 : 0), rules, input_.get(),
                             frames};
  return cell_truthy(call_function_named(tracer_.get(), arguments, parse_callback_word(), kParseCallback));
}

// --- The run ---------------------------------------------------------------------------------------

Status ParseEngine::run(Cell& result) {
  StacksGuard stacks;
  scratch_ = stack_push_value(make_cell(Type::unset));
  block_append_copy(parse_input_stack(), input_.get());
  value_.get() = rules_.get();
  rule_pos_ = series_clamped_index(rules_.get()) - 1;
  Step step = Step::enter_block;
  while (step != Step::stop) {
    switch (step) {
      case Step::enter_block: step = enter_block(); break;
      case Step::fetch: step = fetch(); break;
      case Step::dispatch: QEL_TRY(dispatch(step)); break;
      case Step::match_literal: step = match_literal(); break;
      case Step::advance_one: step = advance_one(); break;
      case Step::after_rule: step = after_rule(); break;
      case Step::failure: step = failure(); break;
      case Step::leave_block: step = leave_block(); break;
      case Step::argument: QEL_TRY(argument(step)); break;
      case Step::complete_command: QEL_TRY(complete_command(step)); break;
      case Step::end: step = end_step(); break;
      case Step::stop: break;
    }
  }
  result = collected_ && !vetoed_ ? scratch_[1] : make_cell(Type::logic, match_ ? 1 : 0);
  return {};
}

// --- Steps -----------------------------------------------------------------------------------------

// Enter block: a frame for the block in value_, which becomes the current rule block.
ParseEngine::Step ParseEngine::enter_block() {
  parse_check_stacks();
  // the top level's rule index, one before the head, is kept as 0: it is never gone back to
  Cell entry = position_marker();
  if (rule_pos_ < 0) set_payload_i32(entry, 1, 0);
  push_frame(make_cell(Type::none), entry, rules_.get());
  rules_.get() = value_.get();
  rule_pos_ = series_clamped_index(rules_.get()) - 1;
  match_ = true;
  return trace(ParseEvent::push) ? Step::fetch : Step::stop;
}

// Fetch: the next rule, or the end of the block.
ParseEngine::Step ParseEngine::fetch() {
  completed_ = false;
  const int64_t tail = rule_tail();
  if (rule_pos_ < tail) ++rule_pos_;
  if (rule_pos_ >= tail) return command_on_top() ? Step::complete_command : Step::leave_block;
  if (!trace(ParseEvent::fetch)) return Step::stop;
  value_.get() = rule_at(rule_pos_);
  return Step::dispatch;
}

// Dispatch on the rule's datatype.
Status ParseEngine::dispatch(Step& next) {
  const Cell rule = value_.get();
  switch (cell_type(rule)) {
    case Type::word: {
      if (Keyword k = parse_keyword_of(rule); k != Keyword::none_) return keyword(k, next);
      const Cell value = word_rule_value(rule);
      if (cell_type(value) == Type::word) raise_error(error_id("script", "parse-rule"), value);
      value_.get() = value;
      next = Step::dispatch;
      return {};
    }
    case Type::block: next = Step::enter_block; return {};
    case Type::datatype: case Type::typeset: next = datatype_rule(); return {};
    case Type::set_word: {
      Cell word = rule;
      word_set(word, input_.get());
      next = Step::fetch;
      return {};
    }
    case Type::get_word: next = get_word_rule(); return {};
    case Type::integer: next = count_rule(); return {};
    case Type::paren: return paren_rule(next);
    case Type::path: raise_error(error_id("script", "parse-rule"), rule);
    default: next = Step::match_literal; return {};
  }
}

// A datatype! or typeset! rule: on block input the element's exact type (no inheritance), on
// binary input the type of the token the lexer reads there.
ParseEngine::Step ParseEngine::datatype_rule() {
  if (parse_text_input(input_.get())) raise_error(error_id("script", "parse-unsupported"));
  if (cell_type(input_.get()) == Type::binary) {
    const int64_t consumed = parse_scan_datatype(input_.get(), input_end(), value_.get());
    match_ = consumed > 0;
    if (match_) set_index(index() + consumed - 1);  // advance one takes the last byte
  } else {
    match_ = !at_end() && types_select(value_.get(), cell_type(*block_cell_at(input_.get(), index())));
  }
  if (!trace(ParseEvent::match)) return Step::stop;
  return match_ ? Step::advance_one : Step::after_rule;
}

// A get-word rule: the input goes to the position the word holds in the same series.
ParseEngine::Step ParseEngine::get_word_rule() {
  const Cell rule = value_.get();
  const Cell position = read_word(rule);
  if (!series_same(input_.get(), position)) raise_error(error_id("script", "parse-invalid-ref"), rule);
  set_index(series_clamped_index(position));
  match_ = true;
  return Step::after_rule;
}

// An integer rule: a repetition count, or a range when a second integer (or a word holding
// one) follows. A count of 0 skips the rule after it.
ParseEngine::Step ParseEngine::count_rule() {
  const Cell first = value_.get();
  const int32_t min = integer_value(first);
  if (min < 0) raise_error(error_id("script", "out-of-range"), first);
  int32_t max = min;
  if (rule_pos_ + 1 >= rule_tail()) raise_error(error_id("script", "parse-rule"), first);
  Cell second = rule_at(rule_pos_ + 1);
  if (cell_type(second) == Type::word && parse_keyword_of(second) == Keyword::none_) {
    const Cell value = read_word(second);
    if (cell_type(value) == Type::integer) second = value;
  }
  if (cell_type(second) == Type::integer) {
    max = integer_value(second);
    if (max < 0) raise_error(error_id("script", "out-of-range"), second);
    ++rule_pos_;
    if (rule_pos_ + 1 >= rule_tail() || min > max) raise_error(error_id("script", "parse-rule"), first);
  }
  if (max == 0) {
    ++rule_pos_;  // the rule it counts is skipped unmatched
    return Step::after_rule;
  }
  return push_command(ParseCommand::repeat, marker(min, max, 1));
}

// A paren: evaluated, its value dropped; the rules and the input are read again, since the
// code may have changed either.
Status ParseEngine::paren_rule(Step& next) {
  Cell value;
  QEL_TRY(eval_paren(value_.get(), value));
  if (!trace(ParseEvent::paren)) {
    next = Step::stop;
    return {};
  }
  const int64_t tail = rule_tail();
  if (rule_pos_ >= tail) rule_pos_ = tail - 1;
  set_index(index());
  next = Step::after_rule;
  return {};
}

// Match literal.
ParseEngine::Step ParseEngine::match_literal() {
  const int64_t matched = parse_match_literal(input_.get(), input_end(), value_.get(), op_);
  match_ = matched >= 0;
  if (match_) set_index(index() + matched);
  return trace(ParseEvent::match) ? Step::after_rule : Step::stop;
}

// Advance one: past one element (after a datatype match or skip).
ParseEngine::Step ParseEngine::advance_one() {
  if (index() < input_end()) set_index(index() + 1);
  return Step::after_rule;
}

// After rule.
ParseEngine::Step ParseEngine::after_rule() {
  if (command_on_top()) return Step::complete_command;
  return match_ ? Step::fetch : Step::failure;
}

// Failure: back to the input where the block was entered, and on after the next `|`.
ParseEngine::Step ParseEngine::failure() {
  set_index(payload_i32(*frame_cell(2), 2));
  const int64_t tail = rule_tail();
  for (int64_t at = rule_pos_ + 1; at < tail; ++at) {
    if (parse_keyword_of(rule_at(at)) == Keyword::bar) {
      rule_pos_ = at;
      match_ = true;
      return Step::fetch;
    }
  }
  return Step::leave_block;
}

// Leave block: back to the outer block at the rule that entered this one.
ParseEngine::Step ParseEngine::leave_block() {
  if (parse_rule_depth() == 3) return trace(ParseEvent::pop) ? Step::end : Step::stop;
  block_ended_ = rule_pos_ >= rule_tail();
  if (!trace(ParseEvent::pop)) return Step::stop;
  rule_pos_ = payload_i32(*frame_cell(2), 1);
  rules_.get() = *frame_cell(1);
  pop_frame();
  if (command_on_top()) return Step::complete_command;
  return match_ ? Step::fetch : Step::failure;
}

// Push command: a frame for a command whose rule follows at the next position.
ParseEngine::Step ParseEngine::push_command(ParseCommand command, const Cell& first, int32_t sub) {
  parse_check_stacks();
  push_frame(first, position_marker(), make_cell(kParseCommandType, 0, static_cast<uint32_t>(command), sub));
  ++rule_pos_;
  return trace(ParseEvent::push) ? Step::argument : Step::stop;
}

// Argument: the rule after a command, with the fast paths of literal repetitions and searches.
Status ParseEngine::argument(Step& next) {
  const Cell command_cell = *frame_cell(1);
  const ParseCommand command = command_of(command_cell);
  if (rule_pos_ >= rule_tail()) {
    if (Keyword k = command_keyword(command); k != Keyword::none_) raise_end(k);
    match_ = true;
    next = Step::after_rule;
    return {};
  }
  Cell rule = rule_at(rule_pos_);
  const bool held_by_word = cell_type(rule) == Type::word;
  if (held_by_word) {
    if (Keyword k = parse_keyword_of(rule); k != Keyword::none_) return keyword(k, next);
    rule = word_rule_value(rule);
  }
  value_.get() = rule;
  // after collect and keep even a literal is dispatched as a rule
  if (command != ParseCommand::collect && command != ParseCommand::keep_rule && is_literal_rule(rule, held_by_word))
    next = finish_command(command);
  else
    next = cell_type(rule) == Type::block ? Step::enter_block : Step::dispatch;
  return {};
}

// The literal argument of a command: a search for to and thru, a counted run for repetitions,
// else the literal is matched as a rule and the command completes after it.
ParseEngine::Step ParseEngine::finish_command(ParseCommand command) {
  if (command != ParseCommand::to && command != ParseCommand::thru && command != ParseCommand::repeat &&
      command != ParseCommand::while_)
    return Step::match_literal;
  const Cell counts = *frame_cell(3);
  match_literal_argument(command, value_.get(), payload_i32(counts, 1), payload_i32(counts, 2));
  if (!trace(ParseEvent::match) || !trace(ParseEvent::pop)) return Step::stop;
  pop_frame();
  return Step::after_rule;
}

// The search of to and thru, or the run of a repetition, over a literal: the match flag and the
// input are set; the frame, if any, is the caller's.
void ParseEngine::match_literal_argument(ParseCommand command, const Cell& literal, int32_t min, int32_t max) {
  if (command == ParseCommand::to || command == ParseCommand::thru) {
    const auto found = parse_find_value(input_.get(), input_end(), literal, op_);
    match_ = found.has_value();
    if (found) set_index(command == ParseCommand::to ? found->start : found->after);
    return;
  }
  const ParseRepeated run = parse_repeat_value(input_.get(), input_end(), literal, op_, max);
  match_ = run.count >= min;
  if (match_) set_index(run.index);
}

// Whether the rule at the position is a literal, itself or as the value of a word that is no
// keyword (a word held by a word counts as one): what a command's argument matches directly.
bool ParseEngine::literal_at(int64_t position, Cell& literal) const {
  Cell rule = rule_at(position);
  const bool held_by_word = cell_type(rule) == Type::word;
  if (held_by_word) {
    if (parse_keyword_of(rule) != Keyword::none_) return false;
    rule = word_rule_value(rule);
  }
  if (!is_literal_rule(rule, held_by_word)) return false;
  literal = rule;
  return true;
}

// A repetition, to or thru over a literal, run at once when no tracer watches: no frame is
// pushed, since only a tracer could see it.
bool ParseEngine::literal_command_at_once(ParseCommand command, int32_t min, int32_t max) {
  Cell literal;
  if (has_tracer_ || rule_pos_ + 1 >= rule_tail() || !literal_at(rule_pos_ + 1, literal)) return false;
  ++rule_pos_;
  value_.get() = literal;
  match_literal_argument(command, literal, min, max);
  return true;
}

// Complete command: the rule under a command has finished with the match flag.
Status ParseEngine::complete_command(Step& next) {
  if (!command_on_top()) {
    next = completed_ ? Step::leave_block : Step::fetch;
    completed_ = false;
    return {};
  }
  completed_ = true;
  const ParseCommand command = command_of(*frame_cell(1));
  const Cell saved = *frame_cell(2);
  const int64_t saved_index = payload_i32(saved, 2);
  switch (command) {
    case ParseCommand::repeat:
    case ParseCommand::while_:
      if (repeat_again(command == ParseCommand::repeat, saved)) {
        next = run_again(payload_i32(saved, 1), false);
        return {};
      }
      break;
    case ParseCommand::to:
    case ParseCommand::thru:
      if (!match_) {
        if (search_further(saved)) {
          next = run_again(payload_i32(saved, 1), true);
          return {};
        }
      } else if (command == ParseCommand::to) {
        set_index(saved_index);
      }
      break;
    case ParseCommand::copy:
      if (match_) set_target_word(copy_part(saved_index, index()));
      break;
    case ParseCommand::set:
      if (match_)
        set_target_word(index() == saved_index
                            ? make_cell(Type::none)
                            : series_element_hooks(cell_type(input_.get())).pick(input_.get(), saved_index));
      break;
    case ParseCommand::not_:
      match_ = !match_;
      break;
    case ParseCommand::into:
      leave_into();
      break;
    case ParseCommand::ahead:
      set_index(saved_index);
      break;
    case ParseCommand::case_:
      op_ = payload_i32(*frame_cell(3), 2);
      break;
    case ParseCommand::remove:
      if (match_) complete_remove(saved_index);
      break;
    case ParseCommand::change:
    case ParseCommand::change_only:
      QEL_TRY(complete_change(command == ParseCommand::change_only, saved_index));
      break;
    case ParseCommand::collect:
      complete_collect(payload_i32(*frame_cell(3), 2));
      break;
    case ParseCommand::keep_rule:
      if (match_ && index() != saved_index) keep_matched(saved_index, index(), payload_i32(*frame_cell(1), 3) == 1);
      break;
    default:
      fatal_no_match_switch();
  }
  if (!trace(ParseEvent::pop)) {
    next = Step::stop;
    return {};
  }
  pop_frame();
  next = Step::after_rule;
  return {};
}

// A repetition's iteration has ended: answers whether another runs (counting it); when not, the
// match flag becomes the repetition's answer. A repetition that made no progress stops (while
// has no such check), as does a pending break.
bool ParseEngine::repeat_again(bool needs_progress, const Cell& saved) {
  const Cell counts = *frame_cell(3);
  const int32_t min = payload_i32(counts, 1);
  const int32_t max = payload_i32(counts, 2);
  const int32_t count = payload_i32(counts, 3);
  const int64_t length = series_total_length(input_.get()) - index();
  bool again = match_ && (max < 0 || count < max);
  if (needs_progress && index() == payload_i32(saved, 2) && length >= payload_i32(saved, 3)) again = false;
  if (break_) again = break_ = false;
  if (again) {
    *frame_cell(3) = marker(min, max, count + 1);
    return true;
  }
  match_ = match_ ? count >= min : (count - 1 >= min || min == 0);
  return false;
}

// A to or thru rule failed here: answers whether the input moved one on to try again; when it
// cannot (the end, or past the limit), the match flag says whether `end` was the rule.
bool ParseEngine::search_further(const Cell& saved) {
  const int64_t moved = index() + 1;
  if (index() >= series_total_length(input_.get()) || moved > input_end()) {
    match_ = parse_keyword_of(rule_at(payload_i32(saved, 1) + 1)) == Keyword::end;
    return false;
  }
  set_index(moved);
  return true;
}

// The command's rule runs again from the input where it now stands: a safe point.
ParseEngine::Step ParseEngine::run_again(int64_t command_position, bool popped) {
  *frame_cell(2) = marker(command_position, index(), series_total_length(input_.get()) - index());
  rule_pos_ = command_position;
  completed_ = false;
  gc_safepoint();
  if (popped && !trace(ParseEvent::pop)) return Step::stop;
  return trace(ParseEvent::iterate) ? Step::fetch : Step::stop;
}

// A copy of the input from one position to another, of the input's own type.
Cell ParseEngine::copy_part(int64_t from, int64_t to) {
  Cell start = input_.get();
  series_set_index(start, from);
  Cell part = make_cell(Type::integer, 0, static_cast<uint32_t>(static_cast<int32_t>(to - from)));
  Cell copied;
  lookup_action_for_value<Act::Copy>(start)(start, &part, false, nullptr, copied);
  return copied;
}

// Sets the word a copy or set command keeps in its frame.
void ParseEngine::set_target_word(const Cell& value) {
  Cell word = *frame_cell(3);
  word_set(word, value);
}

// The end of into: back to the outer input, one element on when the inner one was matched whole.
void ParseEngine::leave_into() {
  const bool whole = match_ && at_end() && block_ended_;
  const Cell stack = parse_input_stack();
  block_truncate(stack, block_total_cells(stack) - 1);
  input_.get() = *block_cell_at(stack, block_total_cells(stack) - 1);
  --into_depth_;
  match_ = whole;
  if (whole) set_index(index() + 1);
}

// End: the top-level block is done; the input must be used up to its end.
ParseEngine::Step ParseEngine::end_step() {
  match_ = match_ && rule_pos_ >= rule_tail();
  if (match_ && into_depth_ == 0 && index() < input_end()) match_ = false;
  trace(ParseEvent::end);
  return Step::stop;
}

// --- Keywords --------------------------------------------------------------------------------------

Status ParseEngine::keyword(Keyword k, Step& next) {
  const bool last = rule_pos_ + 1 >= rule_tail();
  switch (k) {
    case Keyword::bar:
      rule_pos_ = rule_tail();
      next = Step::fetch;
      return {};
    case Keyword::any: case Keyword::some: case Keyword::opt: case Keyword::while_: {
      if (last) raise_end(k);
      const int32_t min = k == Keyword::some ? 1 : 0;
      const int32_t max = k == Keyword::opt ? 1 : -1;
      const ParseCommand command = k == Keyword::while_ ? ParseCommand::while_ : ParseCommand::repeat;
      next = literal_command_at_once(command, min, max) ? Step::after_rule : push_command(command, marker(min, max, 1));
      return {};
    }
    case Keyword::skip:
      match_ = !at_end();
      next = match_ ? Step::advance_one : Step::after_rule;
      return {};
    case Keyword::end:
      match_ = at_end();
      break;
    case Keyword::none:
      match_ = true;
      break;
    case Keyword::fail:
      match_ = false;
      next = trace(ParseEvent::match) ? Step::complete_command : Step::stop;
      return {};
    case Keyword::break_:
    case Keyword::reject:
      match_ = k == Keyword::break_;
      break_ = completed_ = true;
      if (k == Keyword::break_) ++rule_pos_;
      next = trace(ParseEvent::match) ? Step::complete_command : Step::stop;
      return {};
    case Keyword::to: case Keyword::thru:
      if (!last && parse_keyword_of(rule_at(rule_pos_ + 1)) == Keyword::end) {
        ++rule_pos_;
        set_index(input_end());
        match_ = true;
        break;
      }
      {
        const ParseCommand command = k == Keyword::to ? ParseCommand::to : ParseCommand::thru;
        next = literal_command_at_once(command, 0, -1) ? Step::after_rule : push_command(command, marker(0, -1, 1));
      }
      return {};
    case Keyword::copy: case Keyword::set: {
      if (rule_pos_ + 2 >= rule_tail() || cell_type(rule_at(rule_pos_ + 1)) != Type::word) raise_end(k);
      ++rule_pos_;
      const Cell word = rule_at(rule_pos_);
      next = push_command(k == Keyword::copy ? ParseCommand::copy : ParseCommand::set, word);
      return {};
    }
    case Keyword::not_:
      next = push_command(ParseCommand::not_, marker(0, -1, 1));
      return {};
    case Keyword::ahead:
      next = push_command(ParseCommand::ahead, marker(0, -1, 1));
      return {};
    case Keyword::into:
      next = into_rule();
      return {};
    case Keyword::if_: {
      if (last || cell_type(rule_at(rule_pos_ + 1)) != Type::paren) raise_end(k);
      ++rule_pos_;
      Cell value;
      QEL_TRY(eval_paren(rule_at(rule_pos_), value));
      match_ = cell_truthy(value);
      break;
    }
    case Keyword::quote:
      if (last) raise_end(k);
      ++rule_pos_;
      value_.get() = rule_at(rule_pos_);
      next = Step::match_literal;
      return {};
    case Keyword::case_:
      next = case_rule();
      return {};
    case Keyword::remove:
      next = remove_rule();
      return {};
    case Keyword::insert:
      return insert_rule(next);
    case Keyword::change:
      return change_rule(next);
    case Keyword::collect:
      next = collect_rule();
      return {};
    case Keyword::keep:
      return keep_rule(next);
    default: {
      // a keyword word read where it means nothing (only, pick, after ...) stands for its value
      const Cell value = word_rule_value(value_.get());
      if (cell_type(value) == Type::word) raise_error(error_id("script", "parse-rule"), value);
      value_.get() = value;
      next = Step::dispatch;
      return {};
    }
  }
  next = trace(ParseEvent::match) ? Step::after_rule : Step::stop;
  return {};
}

// into: the element at the index, a series, becomes the input of the rule block that follows.
ParseEngine::Step ParseEngine::into_rule() {
  if (series_kind(cell_type(input_.get())) != SeriesKind::block)
    raise_error(error_id("script", "parse-block"), input_.get());
  if (rule_pos_ + 1 >= rule_tail()) raise_end(Keyword::into);
  Cell block = rule_at(rule_pos_ + 1);
  if (cell_type(block) == Type::word) block = read_word(block);
  if (cell_type(block) != Type::block) raise_end(Keyword::into);
  const Cell element = at_end() ? Cell{} : *block_cell_at(input_.get(), index());
  if (!enterable(cell_type(element))) {
    ++rule_pos_;
    match_ = false;
    return Step::after_rule;
  }
  Cell stack = parse_input_stack();
  series_set_index(*block_cell_at(stack, block_total_cells(stack) - 1), index());
  block_append_copy(stack, element);
  input_.get() = element;
  ++into_depth_;
  return push_command(ParseCommand::into, marker(0, -1, 1));
}

// case: the word's value chooses the comparison for the rule that follows.
ParseEngine::Step ParseEngine::case_rule() {
  if (rule_pos_ + 1 >= rule_tail() || cell_type(rule_at(rule_pos_ + 1)) != Type::word) raise_end(Keyword::case_);
  ++rule_pos_;
  const int32_t old_op = op_;
  op_ = cell_truthy(word_rule_value(rule_at(rule_pos_))) ? 2 : 0;
  return push_command(ParseCommand::case_, marker(0, old_op, 1));
}

}  // namespace qel

// parse-engine.h: the parse engine, a loop of steps over an explicit stack of frames.
//
// The engine is not recursive: rule blocks and commands nest as frames on the rule stack
// (parse-stacks.h), one step runs at a time, and only a paren calling parse again recurses on
// the machine stack. State that must survive a step is (node, index) pairs and guarded cells:
// no Cell* into a series outlives a step, since every new iteration of a repetition is a safe
// point and parens, tracers and edits may move, shorten or rewrite the input and the rules.
// Every read clamps to the live tail.
//
// Exits: a paren's break, continue, return or exit comes back as a Status and leaves run()
// unchanged; errors and a tracer's exits pass through as exceptions. Either way the guard that
// entered the stacks resets them on the way out, so the stacks are as they were found.
#pragma once

#include <cstdint>

#include "evaluator/parse-keywords.h"
#include "runtime/cell.h"
#include "runtime/gc-root.h"
#include "runtime/throw.h"

namespace qel {

// Command codes, as the command cell of a frame keeps them.
enum class ParseCommand : int32_t {
  repeat = -1, to = -2, thru = -3, copy = -4, set = -5, not_ = -6, into = -7, remove = -9, while_ = -11,
  collect = -12, keep_rule = -13, keep_paren = -14, ahead = -16, change = -17, change_only = -18, case_ = -19,
};

// What a parse call is asked to do.
struct ParseRequest {
  Cell input;
  Cell rules;
  int32_t op;          // 0 case-insensitive, 2 case-sensitive
  int64_t limit;       // the input position at which the input counts as ended; -1 for none
  const Cell* tracer;  // a function! or routine! that hears the events; null for none
};

class ParseEngine {
 public:
  explicit ParseEngine(const ParseRequest& request);
  ParseEngine(const ParseEngine&) = delete;
  ParseEngine& operator=(const ParseEngine&) = delete;

  // Runs the rules; `result` gets the logic! answer or the block a top-level collect made.
  Status run(Cell& result);

 private:
  enum class Step {
    enter_block, fetch, dispatch, match_literal, advance_one, after_rule, failure, leave_block, argument,
    complete_command, end, stop,
  };

  // --- steps (parse.cpp) ---
  Step enter_block();
  Step fetch();
  Status dispatch(Step& next);
  Step match_literal();
  Step advance_one();
  Step after_rule();
  Step failure();
  Step leave_block();
  Step push_command(ParseCommand command, const Cell& first, int32_t sub = 0);
  Status argument(Step& next);
  Status complete_command(Step& next);
  bool repeat_again(bool needs_progress, const Cell& saved);
  bool search_further(const Cell& saved);
  Step run_again(int64_t command_position, bool popped);
  Cell copy_part(int64_t from, int64_t to);
  void set_target_word(const Cell& value);
  void leave_into();
  Step end_step();
  Status keyword(Keyword keyword, Step& next);
  Step count_rule();
  Step datatype_rule();
  Step get_word_rule();
  Status paren_rule(Step& next);
  Step into_rule();
  Step case_rule();
  Step finish_command(ParseCommand command);
  void match_literal_argument(ParseCommand command, const Cell& literal, int32_t min, int32_t max);
  bool literal_at(int64_t position, Cell& literal) const;
  bool literal_command_at_once(ParseCommand command, int32_t min, int32_t max);

  // --- edits (parse-edit.cpp) ---
  Step remove_rule();
  Status insert_rule(Step& next);
  Status change_rule(Step& next);
  Status complete_change(bool only, int64_t saved);
  void complete_remove(int64_t saved);
  Status edit_value(int64_t position, Keyword keyword, Cell& value);
  bool position_word(int64_t position, int64_t& index) const;

  // --- collect and keep (parse-collect.cpp) ---
  Step collect_rule();
  Status keep_rule(Step& next);
  void complete_collect(int32_t target_index);
  void keep_value(const Cell& value, bool pick);
  void keep_matched(int64_t from, int64_t to, bool pick);
  void check_target(const Cell& target) const;

  // --- helpers (parse.cpp) ---
  int64_t index() const;
  void set_index(int64_t index);
  int64_t input_end() const;
  bool at_end() const { return index() >= input_end(); }
  int64_t rule_tail() const;
  // The rule at a position (a word's slot found and kept in it); unset outside the block (a paren
  // may have shortened it).
  Cell rule_at(int64_t position) const;
  Cell word_rule_value(const Cell& word) const;
  Cell position_marker() const;
  Status eval_paren(const Cell& paren, Cell& value);
  bool trace(ParseEvent event);
  bool call_tracer(ParseEvent event);
  [[noreturn]] void raise_end(Keyword keyword) const;

  // mutable: reading a guarded cell goes through its non-const accessor
  mutable GcRoot<Cell> input_;  // the current input at its index
  mutable GcRoot<Cell> rules_;  // the current rule block
  GcRoot<Cell> value_;  // the rule being dispatched (a word's value may be reachable nowhere else)
  GcRoot<Cell> tracer_;
  int64_t rule_pos_ = -1;  // the current rule's position from the block's head (-1 before it)
  int32_t op_;
  int64_t limit_;
  bool has_tracer_;
  bool match_ = true;
  bool break_ = false;        // break or reject: the innermost repetition stops
  bool completed_ = false;    // break or reject: a rule block on top is left
  bool block_ended_ = false;  // the block last left ran to its tail (into asks)
  bool collected_ = false;  // a top-level collect's block is the result
  bool vetoed_ = false;     // a tracer ended the parse: the answer is the match flag
  int32_t into_depth_ = 0;
  int32_t collect_depth_ = 0;
  Cell* scratch_ = nullptr;  // on the value stack; the collected block, if any, is the cell after
};

}  // namespace qel

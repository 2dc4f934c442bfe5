// parse-stacks.cpp: the two stacks of the parse engine, their heads and their limit.
#include "evaluator/parse-stacks.h"

#include "datatypes/series/block-core.h"
#include "evaluator/parse-keywords.h"
#include "runtime/error-raise.h"
#include "runtime/root-block.h"

namespace qel {

ParseStacks parse_stacks;

namespace {

// Shorthands for the state the functions below change.
uint32_t& input_head = parse_stacks.input_head;
uint32_t& rule_head = parse_stacks.rule_head;

}  // namespace

void init_parse() {
  Cell input_stack;
  Cell rule_stack;
  block_make_at(input_stack, 8);
  block_make_at(rule_stack, 100);
  root_slot_append(input_stack);
  root_slot_append(rule_stack);
  parse_stacks = {input_stack.w2, rule_stack.w2, 0, 0};
  parse_keywords_init();
}

bool parse_stacks_enter() {
  if (parse_rule_depth() == 0) return false;
  block_append_copy(parse_rule_stack(), make_cell(kParseMarkerType, input_head, rule_head));
  input_head = static_cast<uint32_t>(parse_cells_in(parse_stacks.input));
  rule_head = static_cast<uint32_t>(parse_cells_in(parse_stacks.rules));
  return true;
}

void parse_stacks_leave() {
  if (rule_head == 0) return;
  const Cell marker = *block_cell_at(parse_rule_stack(), rule_head - 1);
  block_truncate(parse_rule_stack(), rule_head - 1);
  block_truncate(parse_input_stack(), input_head);
  input_head = marker.w1;
  rule_head = marker.w2;
}

void parse_stacks_reset(bool nested) {
  block_truncate(parse_input_stack(), input_head);
  block_truncate(parse_rule_stack(), rule_head);
  if (nested) parse_stacks_leave();
}

void parse_stacks_overflow() {
  block_truncate(parse_input_stack(), input_head);
  block_truncate(parse_rule_stack(), rule_head);
  raise_error(error_id("script", "parse-stack"));
}

}  // namespace qel

// parse-stacks.cpp: the two stacks of the parse engine, their heads and their limit.
#include "evaluator/parse-stacks.h"

#include "datatypes/series/block-core.h"
#include "evaluator/parse-keywords.h"
#include "runtime/error-raise.h"
#include "runtime/root-block.h"

namespace qel {

namespace {

// The two blocks never change node, so their cells are made once and kept here too.
Cell input_stack{};
Cell rule_stack{};
uint32_t input_head = 0;
uint32_t rule_head = 0;

}  // namespace

void init_parse() {
  block_make_at(input_stack, 8);
  block_make_at(rule_stack, 100);
  root_slot_append(input_stack);
  root_slot_append(rule_stack);
  input_head = rule_head = 0;
  parse_keywords_init();
}

Cell parse_input_stack() { return input_stack; }
Cell parse_rule_stack() { return rule_stack; }
int64_t parse_input_depth() { return block_total_cells(input_stack) - input_head; }
int64_t parse_rule_depth() { return block_total_cells(rule_stack) - rule_head; }
uint32_t parse_input_head() { return input_head; }
uint32_t parse_rule_head() { return rule_head; }

bool parse_stacks_enter() {
  if (parse_rule_depth() == 0) return false;
  block_append_copy(rule_stack, make_cell(kParseMarkerType, input_head, rule_head));
  input_head = static_cast<uint32_t>(block_total_cells(input_stack));
  rule_head = static_cast<uint32_t>(block_total_cells(rule_stack));
  return true;
}

void parse_stacks_leave() {
  if (rule_head == 0) return;
  const Cell marker = *block_cell_at(rule_stack, rule_head - 1);
  block_truncate(rule_stack, rule_head - 1);
  block_truncate(input_stack, input_head);
  input_head = marker.w1;
  rule_head = marker.w2;
}

void parse_stacks_reset(bool nested) {
  block_truncate(input_stack, input_head);
  block_truncate(rule_stack, rule_head);
  if (nested) parse_stacks_leave();
}

void parse_check_stacks() {
  if (parse_input_depth() <= kParseStackLimit && parse_rule_depth() <= kParseStackLimit) return;
  block_truncate(input_stack, input_head);
  block_truncate(rule_stack, rule_head);
  raise_error(error_id("script", "parse-stack"));
}

}  // namespace qel

// cycle-guard.cpp: the cycle stack and the elided forms of series met inside themselves.
#include "runtime/cycle-guard.h"

#include <algorithm>
#include <cstring>

#include "runtime/collector.h"
#include "runtime/error-raise.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

NodeId entries[kCycleStackEntries];
uint32_t cursor = 0;  // the next free entry; invariant: cursor < kCycleStackEntries
uint32_t mold_depth_cap = kCycleStackEntries;  // the depth at which molds elide (MoldDepthLimit)

// The series being walked stay alive while they are walked.
void mark_cycle_stack() {
  for (uint32_t i = 0; i < cursor; ++i) collector_mark_block(entries[i]);
}

}  // namespace

void cycle_stack_init() {
  cursor = 0;
  mold_depth_cap = kCycleStackEntries;
  set_stack_overflow_cleanup(cycle_stack_reset);
  collector_remove_root(mark_cycle_stack);
  collector_add_root(mark_cycle_stack);
}

void cycle_stack_push(NodeId series) {
  entries[cursor++] = series;
  if (cursor == kCycleStackEntries) {
    cursor = 0;
    raise_error(error_id("internal", "too-deep"));
  }
}

void cycle_stack_pop() {
  if (cursor > 0) --cursor;
}

void cycle_stack_drop(uint32_t n) { cursor -= std::min(n, cursor); }
void cycle_stack_reset() { cursor = 0; }
uint32_t cycle_stack_depth() { return cursor; }

bool cycle_stack_contains(NodeId series) { return std::find(entries, entries + cursor, series) != entries + cursor; }

CycleScope::~CycleScope() { cursor = depth_; }

NodeId cycle_identity(const Cell& value) {
  switch (cell_type(value)) {
    case Type::object:
    case Type::error:
    case Type::port: return value.w1;
    default: return value.w2;
  }
}

std::string_view elided_form(const Cell& value, bool mold) {
  if (!mold) return "...";
  switch (cell_type(value)) {
    case Type::block:
    case Type::hash: return "[...]";
    case Type::paren: return "(...)";
    case Type::map: return "#[...]";
    case Type::object: return "make object! [...]";
    default: return "...";
  }
}

MoldDepthLimit::MoldDepthLimit(uint32_t levels) : saved_(mold_depth_cap) {
  mold_depth_cap = std::min(mold_depth_cap, cursor + levels);
}

MoldDepthLimit::~MoldDepthLimit() { mold_depth_cap = saved_; }

bool mold_cycle_marker(const Cell& value, NodeId buffer, int32_t& limit, bool mold) {
  if (cursor < mold_depth_cap && !cycle_stack_contains(cycle_identity(value))) return false;
  std::string_view form = elided_form(value, mold);
  series_append_ascii(buffer, form);
  limit -= static_cast<int32_t>(form.size());
  return true;
}

void repeat_bytes_fill(uint8_t* data, size_t len, size_t n) {
  const size_t total = len * n;
  for (size_t filled = len; filled < total;) {
    size_t step = std::min(filled, total - filled);
    std::memcpy(data + filled, data, step);
    filled += step;
  }
}

}  // namespace qel

// cycle-guard.h: the cycle stack: the series that molding, forming, comparing, binding and
// owning are walking, so a series met again inside itself is not walked again.
//
// Entries are node ids (an object! is entered by its context), which stay right when a
// collection moves buffers; the stack is a collector root. Every walk restores the cursor it
// found when it leaves, on an error too, so a walk nested in another (an error molded inside
// a block mold) leaves the outer walk's entries in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

inline constexpr uint32_t kCycleStackEntries = 1000;

// Empties the stack, registers it with the collector and has a stack overflow empty it too
// (start-up).
void cycle_stack_init();

// Stores the series at the cursor and advances it; the push that reaches the end empties the
// stack and raises internal too-deep.
void cycle_stack_push(NodeId series);
// One entry back, unless the stack is empty; n entries back (not below the base).
void cycle_stack_pop();
void cycle_stack_drop(uint32_t n);
// Cursor back to the base: error recovery and stack overflow only.
void cycle_stack_reset();
bool cycle_stack_contains(NodeId series);
uint32_t cycle_stack_depth();

// What the stack records for a value: an object!'s context, a series' node.
NodeId cycle_identity(const Cell& value);

// Saves the cursor and puts it back when the scope ends: the entry points of mold and compare.
class CycleScope {
 public:
  CycleScope() : depth_(cycle_stack_depth()) {}
  ~CycleScope();
  CycleScope(const CycleScope&) = delete;
  CycleScope& operator=(const CycleScope&) = delete;

 private:
  uint32_t depth_;
};

// One level of a walk: pushes the series and pops it when the level ends, however it ends.
class CyclePush : public CycleScope {
 public:
  explicit CyclePush(NodeId series) { cycle_stack_push(series); }
};

// Limits how deep the molds and forms started while it lives go: a series that would open a
// level `levels` below the walk in progress shows its elided form instead. Reports that must
// print whatever they hold (an error's arguments) mold under one, so nesting too deep to walk
// cannot make them fail. Scopes nest; the tighter limit holds.
class MoldDepthLimit {
 public:
  explicit MoldDepthLimit(uint32_t levels);
  ~MoldDepthLimit();
  MoldDepthLimit(const MoldDepthLimit&) = delete;
  MoldDepthLimit& operator=(const MoldDepthLimit&) = delete;

 private:
  uint32_t saved_;
};

// mold-cycle-marker: when the value's series is being walked, or the walk is as deep as a
// MoldDepthLimit lets it go, appends its elided form to the text buffer (mold: "[...]", "(...)",
// "#[...]", "make object! [...]" or "..." by type; form: "...") and takes its length off the
// limit; answers whether it did.
bool mold_cycle_marker(const Cell& value, NodeId buffer, int32_t& limit, bool mold);

// The elided form of a value under mold or form.
std::string_view elided_form(const Cell& value, bool mold);

// repeat-bytes-fill: data holds len bytes; fills len x n bytes with n copies of them by doubling
// copies. The caller provides the room.
void repeat_bytes_fill(uint8_t* data, size_t len, size_t n);

}  // namespace qel

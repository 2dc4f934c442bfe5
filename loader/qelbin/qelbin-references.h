// qelbin-references.h: the encoders' reference state: the record counter, the path from the top
// down to the record being written, and the path of the first occurrence of every series and
// context written so far, so that a later occurrence is written as a reference to it.
//
// The counter counts the records written at the current depth. A container pushes its own
// index and counts its inner records from 0; popping restores the counter, and the finished
// record then counts itself. Nodes and paths live in hash maps (a linear search would make
// encoding quadratic in the number of series).
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "runtime/cell.h"

namespace qel {

// A map from 32-bit ids (node or symbol ids) to 32-bit numbers in one flat array, probed
// linearly and kept at most half full: encoding a large value adds an entry per series, and a
// node-based map would pay an allocation for each.
class QelbinIdMap {
 public:
  // The number stored for the id, storing `number` first when there is none.
  struct Entry {
    uint32_t number;
    bool added;
  };
  Entry try_emplace(uint32_t id, uint32_t number) {
    if (2 * (count_ + 1) > slots_.size()) grow();
    Slot& slot = slots_[find_slot(id)];
    if (slot.key == id + 1) return {slot.number, false};
    slot = {id + 1, number};
    ++count_;
    return {number, true};
  }
  // The number stored for the id, or none.
  std::optional<uint32_t> find(uint32_t id) const {
    if (slots_.empty()) return std::nullopt;
    const Slot& slot = slots_[find_slot(id)];
    return slot.key == id + 1 ? std::optional<uint32_t>(slot.number) : std::nullopt;
  }

 private:
  struct Slot {
    uint32_t key;  // the id + 1; 0 marks a free slot
    uint32_t number;
  };
  // Fibonacci hashing: the product's top bits, so ids that share their low bits still spread.
  size_t find_slot(uint32_t id) const {
    const size_t mask = slots_.size() - 1;
    size_t at = static_cast<size_t>((id * 0x9E3779B97F4A7C15ull) >> shift_);
    while (slots_[at].key != 0 && slots_[at].key != id + 1) at = (at + 1) & mask;
    return at;
  }
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : 2 * old.size(), Slot{0, 0});
    shift_ = 64 - std::countr_zero(slots_.size());
    for (const Slot& slot : old)
      if (slot.key) slots_[find_slot(slot.key - 1)] = slot;
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
  int shift_ = 64;
};

class QelbinReferences {
 public:
  // The recorded path of the node, when it was written before; valid until the next find.
  std::optional<std::span<const int32_t>> find(NodeId node) {
    const std::optional<uint32_t> found = recorded_.find(node);
    if (!found) return std::nullopt;
    path_.clear();
    for (int32_t step = static_cast<int32_t>(*found); step >= 0; step = steps_[static_cast<size_t>(step)].parent)
      path_.push_back(steps_[static_cast<size_t>(step)].index);
    return reversed();
  }
  // Enters the record about to be written: pushes its index (and records the node with the
  // path, unless it is 0 or recorded already).
  void push(NodeId node) {
    const int32_t parent = stack_.empty() ? -1 : stack_.back();
    stack_.push_back(static_cast<int32_t>(steps_.size()));
    steps_.push_back({parent, counter_});
    counter_ = 0;
    if (node != 0) recorded_.try_emplace(node, static_cast<uint32_t>(stack_.back()));
  }
  void pop() {
    counter_ = steps_[static_cast<size_t>(stack_.back())].index;
    stack_.pop_back();
  }
  // A record is done.
  void count() { ++counter_; }
  // A record that does not count on its own (a native's spec, the value an op! wraps).
  void uncount() { --counter_; }
  // A function's spec and body are its records 0 and 1 whatever came before them.
  int32_t counter() const { return counter_; }
  void set_counter(int32_t counter) { counter_ = counter; }

 private:
  // One index of a path and the step above it: a path is read from its last step up, so a
  // record costs one step however deep it lies.
  struct Step {
    int32_t parent;
    int32_t index;
  };
  std::span<const int32_t> reversed() {
    std::reverse(path_.begin(), path_.end());
    return path_;
  }

  int32_t counter_ = 0;
  std::vector<int32_t> stack_;  // the steps of the containers being written
  std::vector<Step> steps_;
  QelbinIdMap recorded_;  // node -> the last step of its path
  std::vector<int32_t> path_;
};

// The symbols an encoder names, each once, numbered in first-use order.
class QelbinSymbolList {
 public:
  // The symbol's index, appending it (and its NUL-terminated name) on first use.
  uint32_t index(uint32_t symbol);
  const std::vector<uint32_t>& offsets() const { return offsets_; }
  const std::vector<uint8_t>& names() const { return names_; }
  size_t size() const { return offsets_.size(); }
  // The record variant pads each name to a multiple of 8 bytes.
  uint32_t name_alignment = 1;

 private:
  QelbinIdMap indexes_;  // symbol -> its index
  std::vector<uint32_t> offsets_;
  std::vector<uint8_t> names_;
};

}  // namespace qel

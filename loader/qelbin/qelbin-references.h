// qelbin-references.h: the encoders' reference state: the record counter, the path from the top
// down to the record being written, and the path of the first occurrence of every series and
// context written so far, so that a later occurrence is written as a reference to it.
//
// The counter counts the records written at the current depth. A container pushes its own
// index and counts its inner records from 0; popping restores the counter, and the finished
// record then counts itself. Nodes and paths live in tables indexed by id (a linear search would make
// encoding quadratic in the number of series).
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "runtime/cell.h"

namespace qel {

// A map from 32-bit ids (node or symbol ids) to 32-bit numbers: a table indexed by the id, in
// pages of 1024 ids made on first use. Node and symbol ids are dense, so encoding a large value
// fills its pages closely and touches about 4 bytes per id, where a hash map kept half full
// touched 16 bytes per entry over its growths (first-touched memory is the encoder's main cost).
// The page index costs 8 bytes per 1024 ids up to the highest id seen.
class QelbinIdMap {
 public:
  // The number stored for the id, storing `number` first when there is none.
  struct Entry {
    uint32_t number;
    bool added;
  };
  Entry try_emplace(uint32_t id, uint32_t number) {
    uint32_t& slot = slot_of(id);
    if (slot != 0) return {slot - 1, false};
    slot = number + 1;
    return {number, true};
  }
  // The number stored for the id, or none.
  std::optional<uint32_t> find(uint32_t id) const {
    const size_t page = id >> kPageBits;
    if (page >= pages_.size() || !pages_[page]) return std::nullopt;
    const uint32_t slot = pages_[page][id & kPageMask];
    return slot != 0 ? std::optional<uint32_t>(slot - 1) : std::nullopt;
  }

 private:
  static constexpr int kPageBits = 10;
  static constexpr uint32_t kPageMask = (1u << kPageBits) - 1;

  // The id's slot (the number + 1; 0 for none), its page made when missing.
  uint32_t& slot_of(uint32_t id) {
    const size_t page = id >> kPageBits;
    if (page >= pages_.size()) pages_.resize(page + 1);
    if (!pages_[page]) pages_[page] = std::make_unique<uint32_t[]>(size_t{1} << kPageBits);  // zeroed
    return pages_[page][id & kPageMask];
  }

  std::vector<std::unique_ptr<uint32_t[]>> pages_;
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

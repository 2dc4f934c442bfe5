// qelbin-references.h: the encoders' reference state: the record counter, the path from the top
// down to the record being written, and the path of the first occurrence of every series and
// context written so far, so that a later occurrence is written as a reference to it.
//
// The counter counts the records written at the current depth. A container pushes its own
// index and counts its inner records from 0; popping restores the counter, and the finished
// record then counts itself. Nodes and paths live in hash maps (a linear search would make
// encoding quadratic in the number of series).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "runtime/cell.h"

namespace qel {

class QelbinReferences {
 public:
  // The recorded path of the node, when it was written before.
  std::optional<std::span<const int32_t>> find(NodeId node) const {
    const auto found = paths_.find(node);
    if (found == paths_.end()) return std::nullopt;
    return std::span<const int32_t>(store_).subspan(found->second.first, found->second.second);
  }
  // Enters the record about to be written: pushes its index (and records the node with the
  // whole path, unless it is 0 or recorded already).
  void push(NodeId node) {
    stack_.push_back(counter_);
    counter_ = 0;
    if (node != 0 && !paths_.contains(node)) {
      paths_.emplace(node, std::pair{store_.size(), stack_.size()});
      store_.insert(store_.end(), stack_.begin(), stack_.end());
    }
  }
  void pop() {
    counter_ = stack_.back();
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
  int32_t counter_ = 0;
  std::vector<int32_t> stack_;
  std::vector<int32_t> store_;                                  // every recorded path, end to end
  std::unordered_map<NodeId, std::pair<size_t, size_t>> paths_;  // node -> (start, length) in the store
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
  std::unordered_map<uint32_t, uint32_t> indexes_;
  std::vector<uint32_t> offsets_;
  std::vector<uint8_t> names_;
};

}  // namespace qel

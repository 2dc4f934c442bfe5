// gc-root.h: guards that keep a value or a series alive across safe points, and the scope that
// holds collection off.
#pragma once

#include <cstddef>
#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// The guards live on one fixed shadow stack of this many entries, strictly last in, first out.
inline constexpr size_t kGcRootLimit = 65536;

// Registers a guarded value (a cell, or a node id); a full shadow stack raises the catchable
// internal stack-overflow error. Unregistering anything but the newest entry is error 98.
void gc_root_push_cell(const Cell* cell);
void gc_root_push_node(const NodeId* node);
void gc_root_pop(const void* guarded);

// Marks everything the guards hold (the collector).
void gc_roots_mark();

template <class T>
class GcRoot;

// Keeps a value alive: the guard holds the value itself (ids never move, so it stays right
// across collections). Read it again after a safe point; never keep a pointer into its series.
template <>
class GcRoot<Cell> {
 public:
  explicit GcRoot(const Cell& value = Cell{}) : value_(value) { gc_root_push_cell(&value_); }
  ~GcRoot() { gc_root_pop(&value_); }
  GcRoot(const GcRoot&) = delete;
  GcRoot& operator=(const GcRoot&) = delete;

  Cell& get() { return value_; }
  Cell& operator*() { return value_; }
  Cell* operator->() { return &value_; }

 private:
  Cell value_;
};

// Keeps a series alive by its node (a cell series with every value it holds).
template <>
class GcRoot<NodeId> {
 public:
  explicit GcRoot(NodeId node = 0) : node_(node) { gc_root_push_node(&node_); }
  ~GcRoot() { gc_root_pop(&node_); }
  GcRoot(const GcRoot&) = delete;
  GcRoot& operator=(const GcRoot&) = delete;

  NodeId get() const { return node_; }
  void set(NodeId node) { node_ = node; }

 private:
  NodeId node_;
};

// While any NoGcScope is open, safe points and collect_now do not collect (a request waits).
extern uint32_t gc_hold_depth;

class NoGcScope {
 public:
  NoGcScope() { ++gc_hold_depth; }
  ~NoGcScope() { --gc_hold_depth; }
  NoGcScope(const NoGcScope&) = delete;
  NoGcScope& operator=(const NoGcScope&) = delete;
};

}  // namespace qel

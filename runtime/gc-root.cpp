// gc-root.cpp: the shadow stack of root guards.
#include "runtime/gc-root.h"

#include "runtime/collector.h"
#include "runtime/error-raise.h"
#include "runtime/quit.h"

namespace qel {

uint32_t gc_hold_depth = 0;

namespace {

// An entry is the guarded address; bit 0 set marks a node id (both kinds are 4-aligned).
uintptr_t shadow_stack[kGcRootLimit];
size_t shadow_top = 0;

void push(uintptr_t entry) {
  if (shadow_top == kGcRootLimit) raise_error(error_id("internal", "stack-overflow"));
  shadow_stack[shadow_top++] = entry;
}

}  // namespace

void gc_root_push_cell(const Cell* cell) { push(reinterpret_cast<uintptr_t>(cell)); }

void gc_root_push_node(const NodeId* node) { push(reinterpret_cast<uintptr_t>(node) | 1); }

void gc_root_pop(const void* guarded) {
  if (shadow_top == 0 || (shadow_stack[shadow_top - 1] & ~uintptr_t{1}) != reinterpret_cast<uintptr_t>(guarded))
    fatal_assertion();
  --shadow_top;
}

void gc_roots_mark() {
  for (size_t i = 0; i < shadow_top; ++i) {
    uintptr_t entry = shadow_stack[i];
    if (entry & 1)
      collector_mark_block(*reinterpret_cast<const NodeId*>(entry & ~uintptr_t{1}));
    else
      collector_mark_cells(reinterpret_cast<const Cell*>(entry), reinterpret_cast<const Cell*>(entry) + 1);
  }
}

}  // namespace qel

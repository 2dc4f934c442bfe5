// stack-fixture.h: empty stacks over a fresh heap, fixed symbol ids for frame names, and a
// stand-in for the values pointers of function contexts, shared by the stack, exit and dispatch
// tests.
#pragma once

#include <gtest/gtest.h>

#include "runtime/call-stack.h"
#include "runtime/memory.h"
#include "runtime/services.h"
#include "runtime/startup.h"
#include "runtime/value-stack.h"

namespace qel::testing {

// Symbol ids the tests name frames with (the symbol table gives the real ones).
inline constexpr uint32_t kBody = 1, kAnon = 2, kSelf = 3, kF = 10, kG = 11, kH = 12, kInner = 13, kOuter = 14;

inline Cell word(uint32_t symbol, NodeId context = 0) { return make_cell(Type::word, context, symbol, 0xFFFFFFFF); }
inline Cell integer(int32_t value) { return make_cell(Type::integer, 0, static_cast<uint32_t>(value)); }
inline int32_t integer_of(const Cell& cell) { return static_cast<int32_t>(cell.w2); }

// Values pointers of function contexts 1 to 7, as the context layer would keep them.
inline uint32_t context_values[8];
inline uint32_t* fake_values_slot(NodeId context) { return &context_values[context]; }

class StackTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_services();
    restart_memory();  // empty stacks over a fresh heap
    set_frame_symbols(kBody, kAnon, kSelf);
    set_context_values_slot(fake_values_slot);
    for (auto& values : context_values) values = 0;
  }
  void TearDown() override {
    init_stacks();
    memory_release_all();
    set_context_values_slot(nullptr);
    reset_services();
  }

  static uint32_t base_index() { return stack_index(value_stack.base); }
  static uint32_t top_index() { return stack_index(value_stack.top); }
};

}  // namespace qel::testing

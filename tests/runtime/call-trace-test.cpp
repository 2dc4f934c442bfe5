// Call traces: the words of the frames, as blocks and as text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/action-entries.h"
#include "runtime/call-trace.h"
#include "runtime/datatype-registry.h"
#include "runtime/series.h"
#include "stack-fixture.h"

namespace qel {
namespace {

using namespace qel::testing;

constexpr NodeId kGlobal = 40;

class CallTraceTest : public StackTest {
 protected:
  void SetUp() override {
    StackTest::SetUp();
    set_call_trace_context(nullptr, kGlobal);
    // frames f, <body>, g, <anon>, h; g runs a function whose context is 5
    stack_push_value(integer(0));
    stack_open_native_frame(word(kF, 21));
    stack_push_value(integer(1));
    stack_open_native_frame(word(kBody));
    stack_open_call_frame(word(kG, 22), 5);
    stack_push_value(integer(2));
    stack_push_value(integer(3));
    stack_open_native_frame(word(kAnon));
    stack_open_native_frame(word(kH, 23));
  }
  void TearDown() override {
    set_call_trace_context(nullptr, 0);
    StackTest::TearDown();
  }
  static std::vector<uint32_t> symbols_of(const Cell& block, size_t stride = 1) {
    std::vector<uint32_t> symbols;
    SeriesBuffer* buffer = series_buffer(block.w2);
    for (uint32_t i = 0; i < series_buffer_length(block.w2); i += static_cast<uint32_t>(stride))
      symbols.push_back(buffer->head_cell()[i].w2);
    return symbols;
  }
  static Cell new_block() { return make_cell(Type::block, 0, new_cell_series(4)); }
};

TEST_F(CallTraceTest, CollectCallsListsTheNamedFramesFromTheBottom) {
  Cell all = new_block();
  stack_collect_calls(2, all, call_stack_depth());
  EXPECT_EQ(symbols_of(all), (std::vector<uint32_t>{kF, kG, kH}));
  EXPECT_EQ(series_buffer(all.w2)->head_cell()[0].w1, 21u);  // bound to the frame's word context

  Cell below_h = new_block();
  stack_collect_calls(2, below_h, call_stack_depth() - 1);  // the end frame is not included
  EXPECT_EQ(symbols_of(below_h), (std::vector<uint32_t>{kF, kG}));

  set_call_trace_context([](const Cell& w) { return w.w2 == kG; }, kGlobal);
  Cell functions = new_block();
  stack_collect_calls(1, functions, call_stack_depth());
  EXPECT_EQ(symbols_of(functions), (std::vector<uint32_t>{kG}));
}

TEST_F(CallTraceTest, TraceBlockPairsWordsWithSavedBasesDownToAboveTheBottom) {
  Cell trace = new_block();
  stack_trace_block(trace);
  EXPECT_EQ(symbols_of(trace, 2), (std::vector<uint32_t>{kH, kG}));  // f is the bottom frame
  const Cell* cells = series_buffer(trace.w2)->head_cell();
  EXPECT_EQ(cells[0].w1, kGlobal);  // h has no function context
  EXPECT_EQ(cells[1].w2, 4u);       // h's caller's base: the <anon> frame's, after 0 1 2 3
  EXPECT_EQ(cells[2].w1, 5u);       // g's function context
  EXPECT_EQ(cells[3].w2, 2u);       // g's caller's base: <body>'s, after 0 1
  EXPECT_EQ(cell_type(cells[3]), Type::integer);
}

// word!'s form, until words form themselves: the symbol id as letters from 'a'.
int32_t form_probe_word(const Cell& word, Cell& buffer, bool, int32_t limit) {
  char letter = static_cast<char>('a' + word.w2 - kF);
  series_buffer_append_bytes(buffer.w2, &letter, 1);
  return limit - 1;
}

std::string formed_calls(int32_t mode, int32_t limit, int32_t* left = nullptr) {
  Cell output = make_cell(Type::string, 0, new_string_series(16, 1));
  int32_t rest = stack_form_calls(mode, call_stack_depth(), output, limit);
  if (left) *left = rest;
  SeriesBuffer* buffer = series_buffer(output.w2);
  return std::string(reinterpret_cast<const char*>(buffer->head_address()), buffer->tail - buffer->head);
}

TEST_F(CallTraceTest, FormCallsWritesTheWordsOrTheProgramsName) {
  register_datatype(Type::word, Type::none_id, "word!", ActionRow().set<Act::Form>(form_probe_word));
  int32_t left = 0;
  EXPECT_EQ(formed_calls(2, 100, &left), " a b c");
  EXPECT_EQ(left, 94);
  EXPECT_EQ(formed_calls(2, 3), " a ");
  EXPECT_EQ(formed_calls(1, 100, &left), " Qel NoName App");  // no word refers to a function
  EXPECT_EQ(left, 85);
  EXPECT_EQ(formed_calls(1, 4), " Qel");
}

}  // namespace
}  // namespace qel

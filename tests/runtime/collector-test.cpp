// The collector: roots, what each datatype keeps alive, compaction, big series, node frames.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "memory-fixture.h"
#include "runtime/call-stack.h"
#include "runtime/gc-root.h"
#include "runtime/hash-table.h"
#include "runtime/node-table.h"

namespace qel {
namespace {

using Collector = MemoryTest;
// Cases that read frame addresses or the OS total, which the torture mode changes on purpose.
using Compaction = FrameLayoutTest;

NodeId held_by_callback = 0;
int callback_calls = 0;
void mark_held_block() {
  ++callback_calls;
  collector_mark_block(held_by_callback);
}

// Roots `block` one way and runs `collect` while it is held.
using Hold = std::function<void(NodeId block, const std::function<void()>& collect)>;

// A function context whose values are kept in a block: its context! cell's second word.
uint32_t* values_word(NodeId context) { return &series_buffer(context)->head_cell()->w2; }

// Holds the block only as the values that a call frame saved from its function context.
void hold_as_saved_values(NodeId block, const std::function<void()>& collect) {
  NodeId context = new_cell_series(2);
  *series_append_fresh_slot(context) = make_cell(Type::context, 0, block);
  set_context_values_slot(values_word);
  stack_open_call_frame(make_cell(Type::word, 0, 1), context);
  *values_word(context) = 0;  // now only the frame has the block
  collect();
  stack_close_call_frame();
  set_context_values_slot(nullptr);
}

TEST_F(Collector, EachRootKindKeepsABlockAndWhatItHolds) {
  struct Row {
    const char* kind;
    Hold hold;
  };
  const Row rows[] = {
      {"root slot", [](NodeId block, const auto& collect) { root_slot_append(block_cell(block)); collect(); }},
      {"callback",
       [](NodeId block, const auto& collect) {
         held_by_callback = block;
         collector_add_root(mark_held_block);
         collect();
         collector_remove_root(mark_held_block);
       }},
      {"cell guard", [](NodeId block, const auto& collect) { GcRoot<Cell> root(block_cell(block)); collect(); }},
      {"node guard", [](NodeId block, const auto& collect) { GcRoot<NodeId> root(block); collect(); }},
      {"extref", [](NodeId block, const auto& collect) { extref_alloc(block_cell(block)); collect(); }},
      {"value stack",
       [](NodeId block, const auto& collect) {
         stack_push_value(block_cell(block));
         collect();
         stack_drop(1);
       }},
      {"frame's word context",
       [](NodeId block, const auto& collect) {
         stack_open_frame(7, block, kFrameNative);
         collect();
         stack_close_frame_drop();
       }},
      {"frame's saved values", hold_as_saved_values},
  };
  for (const Row& row : rows) {
    start_memory_afresh();
    NodeId garbage = byte_series_of("garbage");
    NodeId text = byte_series_of("payload");
    NodeId block = new_cell_series(1);
    *series_append_fresh_slot(block) = string_cell(text, 2);
    row.hold(block, [] { ASSERT_TRUE(collect_now()); });
    EXPECT_EQ(text_of(text), "payload") << row.kind;
    EXPECT_EQ(series_buffer(block)->head_cell()->w1, 2u) << row.kind;
    EXPECT_FALSE(node_is_in_use(garbage)) << row.kind;
    EXPECT_EQ(new_byte_series(1), garbage) << row.kind << ": the dead id is taken again";
  }
}

TEST_F(Collector, AfterRemoveRootTheCallbackIsNotCalled) {
  callback_calls = 0;
  held_by_callback = new_cell_series(1);
  collector_add_root(mark_held_block);
  collect_now();
  collector_remove_root(mark_held_block);
  collector_remove_root(mark_held_block);  // a second removal changes nothing
  collect_now();
  EXPECT_EQ(callback_calls, 1);
  EXPECT_FALSE(node_is_in_use(held_by_callback));
}

TEST_F(Collector, RootCallbacksBeyondAHundredAreAnAssertionFailure) {
  EXPECT_EXIT(
      {
        for (int i = 0; i <= 100; ++i) collector_add_root(mark_held_block);
      },
      ::testing::ExitedWithCode(98), "assertion failed");
}

// Every datatype's references: what a rooted cell keeps, and payload words that are no nodes.
TEST_F(Collector, EachDatatypeKeepsWhatItRefersTo) {
  auto node = [] { return new_byte_series(8); };
  auto block = [] { return new_cell_series(2); };
  struct Row {
    const char* type;
    Cell cell;
    std::vector<NodeId> kept;
    std::vector<NodeId> freed;
  };
  std::vector<Row> rows;
  auto add = [&](const char* type, Cell cell, std::vector<NodeId> kept, std::vector<NodeId> freed = {}) {
    rows.push_back({type, cell, kept, freed});
  };
  NodeId values = block(), table = node(), context = block();
  *series_append_fresh_slot(context) = make_cell(Type::context, table, values);
  *series_append_fresh_slot(context) = make_cell(Type::object, context);
  add("word!", make_cell(Type::word, context, 7, 0xFFFFFFFF), {context, values, table});
  NodeId stack_context = block(), stack_values = node();
  Cell on_stack = make_cell(Type::context, node(), stack_values);
  on_stack.header |= 1u << 22;
  *series_append_fresh_slot(stack_context) = on_stack;
  add("refinement!", make_cell(Type::refinement, stack_context, 1, 0), {stack_context}, {stack_values});
  NodeId a = block(), b = block(), c = block();
  add("function!", make_cell(Type::function, a, b, c), {a, b, c});
  NodeId d = node(), e = block(), f = block();
  add("native!", make_cell(Type::native, d, e, f), {e, f}, {d});
  NodeId g = block(), h = block(), i = block();
  auto op_of = [](Type wrapped, NodeId w1, NodeId w2, NodeId w3) {
    Cell op = make_cell(Type::op, w1, w2, w3);
    op.header |= static_cast<uint32_t>(wrapped) << 16;
    return op;
  };
  add("op! of a function", op_of(Type::function, g, h, i), {g, h, i});
  NodeId j = node(), k = block(), l = block();
  add("op! of an action", op_of(Type::action, j, k, l), {k, l}, {j});
  NodeId m = node(), n = node();
  add("string!", make_cell(Type::string, 3, m, n), {m, n});
  NodeId o = node();
  add("url! without conversion buffer", make_cell(Type::url, 0, o, 0), {o});
  NodeId p = node(), q = node();
  add("symbol!", make_cell(Type::symbol, 0xFFFFFFFF, p, q), {p, q});
  NodeId r = block(), s = node();
  add("map!", make_cell(Type::map, 0, r, s), {r, s});
  NodeId t = node(), u = node();
  add("vector!", make_cell(Type::vector, 0, t, u), {t}, {u});
  NodeId v = block(), w = block();
  add("error!", make_cell(Type::error, v, 1, w), {v, w});
  NodeId x = node(), y = node();
  add("integer!", make_cell(Type::integer, x, y), {}, {x, y});
  NodeId z = node();
  add("path!", make_cell(Type::path, 0, context), {context});
  add("pair!", make_cell(Type::pair, z, z, z), {}, {z});

  NodeId rooted = new_cell_series(static_cast<int64_t>(rows.size()));
  for (const Row& row : rows) *series_append_fresh_slot(rooted) = row.cell;
  GcRoot<NodeId> root(rooted);
  ASSERT_TRUE(collect_now());
  for (const Row& row : rows) {
    for (NodeId kept : row.kept) EXPECT_TRUE(node_is_in_use(kept)) << row.type << " keeps " << kept;
    for (NodeId freed : row.freed) EXPECT_FALSE(node_is_in_use(freed)) << row.type << " must not keep " << freed;
  }
}

TEST_F(Collector, HandlesKeepTheirResourceSlots) {
  static int released = 0;
  released = 0;
  uint32_t kind = extres_kind_register("test", [](void*) { ++released; });
  int objects[2];
  uint32_t kept_slot = extres_slot_acquire(&objects[0], kind);
  extres_slot_acquire(&objects[1], kind);
  GcRoot<Cell> handle(make_cell(Type::handle, 0, 0, kept_slot));
  GcRoot<Cell> slotless(make_cell(Type::handle, 0, 0, kExtresNoSlot));
  collect_now();
  EXPECT_EQ(released, 1);
  EXPECT_EQ(extres_slot_object(kept_slot), &objects[0]);
}

NodeId extra_node = 0;
void mark_event_extra(const Cell& cell) { collector_mark_node(cell.w3 == 0x1000 ? extra_node : 0); }
int tables_marked = 0;
NodeId counted_table = 0;
// Counts the marks of the test's own table; every real table (the symbol table's) marks as usual.
void count_table(NodeId table) {
  if (table != counted_table) return hashtable_mark(table);
  ++tables_marked;
  collector_mark_node(table);
}

TEST_F(Collector, SubsystemsPlugInTheirOwnMarking) {
  extra_node = byte_series_of("extra");
  collector_set_type_marker(Type::event, mark_event_extra);
  collector_set_table_marker(count_table);
  NodeId hash_block = new_cell_series(1), table = new_byte_series(8);
  counted_table = table;
  GcRoot<Cell> event(make_cell(Type::event, 1, 0, 0x1000));
  GcRoot<Cell> hash(make_cell(Type::hash, 0, hash_block, table));
  tables_marked = 0;
  collect_now();
  collector_set_type_marker(Type::event, [](const Cell&) {});
  collector_set_table_marker(hashtable_mark);
  EXPECT_TRUE(node_is_in_use(extra_node));
  EXPECT_TRUE(node_is_in_use(table));
  EXPECT_EQ(tables_marked, 1);
}

NodeId weak_live = 0, weak_dead = 0;
bool seen_live = false, seen_dead = true;
void look_at_weak_entries() {
  seen_live = collector_is_marked(weak_live);
  seen_dead = collector_is_marked(weak_dead);
}

TEST_F(Collector, PostMarkCallbacksSeeWhatLives) {
  weak_live = byte_series_of("live");
  weak_dead = byte_series_of("dead");
  GcRoot<NodeId> root(weak_live);
  collector_add_post_mark(look_at_weak_entries);
  collect_now();
  collector_remove_post_mark(look_at_weak_entries);
  EXPECT_TRUE(seen_live);
  EXPECT_FALSE(seen_dead);
  EXPECT_FALSE(collector_is_marked(weak_live));  // no mark survives the collection
}

TEST_F(Collector, AllocationDuringACollectionIsAnAssertionFailure) {
  void (*allocating_root)() = [] { new_byte_series(1); };
  collector_add_root(allocating_root);
  EXPECT_EXIT(collect_now(), ::testing::ExitedWithCode(98), "assertion failed");
  collector_remove_root(allocating_root);  // the death happened in a child; this process goes on
}

TEST_F(Collector, ABlockNestedAMillionDeepMarks) {
  NodeId innermost = new_cell_series(1);
  NodeId outer = innermost;
  for (int depth = 0; depth < 1000000; ++depth) {
    NodeId next = new_cell_series(1);
    *series_append_fresh_slot(next) = block_cell(outer);
    outer = next;
  }
  GcRoot<NodeId> root(outer);
  ASSERT_TRUE(collect_now());
  EXPECT_TRUE(node_is_in_use(innermost));
  EXPECT_EQ(series_buffer(outer)->tail - series_buffer(outer)->head, sizeof(Cell));
}

TEST_F(Compaction, AnUnreferencedBigSeriesGoesBackToTheSystem) {
  NodeId kept = new_byte_series(3000000);
  GcRoot<NodeId> root(kept);
  new_byte_series(5000000);
  ASSERT_EQ(memory.bigs.size(), 2u);
  uint64_t dropped = memory.bigs[1].size;
  uint64_t os_total = memory.os_total;
  collect_now();
  EXPECT_EQ(memory.os_total, os_total - dropped);
  ASSERT_EQ(memory.bigs.size(), 1u);
  EXPECT_EQ(memory.bigs[0].buffer, series_buffer(kept));
  EXPECT_FALSE(series_buffer(kept)->flags & kSeriesMark);
}

TEST_F(Collector, GrownAwayAndUnreachedHeapBuffersAreReleased) {
  NodeId kept = new_heap_series(4, 4, 0);
  NodeId dropped = new_heap_series(4, 4, 0);
  GcRoot<NodeId> root(kept);
  grow_series_copy(kept, 64);
  ASSERT_EQ(memory.heap_held.size(), 3u);
  collect_now();
  ASSERT_EQ(memory.heap_held.size(), 1u);
  EXPECT_EQ(memory.heap_held[0], series_buffer(kept));
  EXPECT_FALSE(node_is_in_use(dropped));
}

TEST_F(Compaction, ANodeFrameWhoseIdsAllDiedIsReleasedAndItsIdsReused) {
  GcRoot<NodeId> root(new_cell_series(1));
  while (node_frames().size() < 2) new_byte_series(1);
  for (int i = 0; i < 100; ++i) new_byte_series(1);  // garbage with ids of the second frame
  // The garbage may also have filled a series frame, which the collection gives back too.
  auto frame_bytes = [] {
    uint64_t bytes = 0;
    for (const SeriesFrame& frame : memory.frames) bytes += frame.size();
    return bytes;
  };
  uint64_t os_total = memory.os_total, frames_before = frame_bytes();
  collect_now();
  ASSERT_EQ(node_frames().size(), 2u);
  EXPECT_TRUE(node_frames()[1].released);
  EXPECT_EQ(memory.os_total, os_total - kNodeFrameIds * sizeof(uintptr_t) - (frames_before - frame_bytes()));
  NodeId node = 0;
  while (node <= kNodeFrameIds) node = node_alloc();  // the first frame fills, then the second is remade
  EXPECT_EQ(node, kNodeFrameIds + 1);
  EXPECT_FALSE(node_frames()[1].released);
}

// Byte series "0", "1" ... with garbage between them, listed in a rooted block at indexes.
NodeId interleaved_strings(int count) {
  NodeId list = new_cell_series(count);
  for (int i = 0; i < count; ++i) {
    new_byte_series(40 + i);  // garbage
    *series_append_fresh_slot(list) = string_cell(byte_series_of(std::to_string(i).c_str()), static_cast<uint32_t>(i % 3));
  }
  return list;
}

TEST_F(Compaction, KeepsContentsAndIndexesAndSlidesBuffersDown) {
  NodeId list = interleaved_strings(50);
  GcRoot<NodeId> root(list);
  NodeId last = series_buffer(list)->head_cell()[49].w2;
  SeriesBuffer* last_before = series_buffer(last);
  uint64_t used = memory.frames[0].used();
  collect_now();
  EXPECT_LT(series_buffer(last), last_before);
  EXPECT_LT(memory.frames[0].used(), used);
  for (int i = 0; i < 50; ++i) {
    Cell cell = series_buffer(list)->head_cell()[i];
    EXPECT_EQ(text_of(cell.w2), std::to_string(i));
    EXPECT_EQ(cell.w1, static_cast<uint32_t>(i % 3));
    EXPECT_EQ(series_buffer(cell.w2)->node, cell.w2);
  }
}

// Makes frames until there are `count`, filling each with garbage.
void make_garbage_frames(size_t count) {
  while (memory.frames.size() < count) {
    uint64_t room = memory.frames[memory.current].room();
    if (room > 1000) new_byte_series(static_cast<int64_t>(room - 1000));
    new_byte_series(300000);
  }
}

TEST_F(Compaction, ALiveRunSpillsIntoThePreviousFrame) {
  make_garbage_frames(2);
  memory_make_current(1);  // the second frame in address order
  std::vector<NodeId> live;
  for (int i = 0; i < 10; ++i) live.push_back(byte_series_of("live"));
  GcRoot<NodeId> root(new_cell_series(10));
  for (NodeId node : live) *series_append_fresh_slot(root.get()) = string_cell(node);
  collect_now();
  for (NodeId node : live) {
    auto* at = reinterpret_cast<uint8_t*>(series_buffer(node));
    EXPECT_TRUE(at >= memory.frames[0].area && at < memory.frames[0].free);
    EXPECT_EQ(text_of(node), "live");
  }
}

// True when every buffer in every frame is linked to its node: compaction left nothing dead.
bool frames_hold_only_live_buffers() {
  for (const SeriesFrame& frame : memory.frames)
    for (uint8_t* at = frame.area; at < frame.free; at += reinterpret_cast<SeriesBuffer*>(at)->span()) {
      NodeId node = reinterpret_cast<SeriesBuffer*>(at)->node;
      if (!node || node_slot(node) != reinterpret_cast<uintptr_t>(at)) return false;
    }
  return true;
}

// A second collection: a frame where nothing died is left as it is, and one where a buffer died
// or grew away is still compacted, though nothing new was bumped into it.
TEST_F(Compaction, FramesWhereNothingDiedAreLeftAndTheOthersCompacted) {
  struct Row {
    const char* change;
    uint64_t (*apply)(NodeId list);  // answers the span that died
    bool first_dies;
  };
  const Row rows[] = {
      {"nothing", [](NodeId) -> uint64_t { return 0; }, false},
      {"a string died",
       [](NodeId list) {
         Cell& cell = series_buffer(list)->head_cell()[0];
         uint64_t span = series_buffer(cell.w2)->span();
         cell = make_cell(Type::none);
         return span;
       },
       true},
      {"a string grew away from a frame nothing is bumped into",
       [](NodeId list) {
         NodeId string = series_buffer(list)->head_cell()[1].w2;
         auto* at = reinterpret_cast<uint8_t*>(series_buffer(string));
         for (size_t k = 0; k < memory.frames.size(); ++k)  // the copy goes to the other frame
           if (at < memory.frames[k].area || at >= memory.frames[k].end) memory_make_current(k);
         uint64_t span = series_buffer(string)->span();
         grow_series_copy(string, 256);
         return span;
       },
       false},
  };
  for (const Row& row : rows) {
    start_memory_afresh();
    collector_set_torture(false);
    GcRoot<NodeId> list(new_cell_series(8));
    for (const char* text : {"one", "two", "three"})
      *series_append_fresh_slot(list.get()) = string_cell(byte_series_of(text));
    for (int i = 0; i < 2; ++i)  // the second does not fit the first frame: two frames
      *series_append_fresh_slot(list.get()) = make_cell(Type::binary, 0, new_byte_series(600000));
    ASSERT_EQ(memory.frames.size(), 2u);
    ASSERT_TRUE(collect_now());
    NodeId first = series_buffer(list.get())->head_cell()[0].w2;
    uint64_t before = memory_bytes_in_series();
    uint64_t died = row.apply(list.get());
    uint64_t added = memory_bytes_in_series() - before;
    ASSERT_TRUE(collect_now());
    EXPECT_TRUE(frames_hold_only_live_buffers()) << row.change;
    EXPECT_EQ(memory_bytes_in_series(), before + added - died) << row.change;
    EXPECT_EQ(node_is_in_use(first), !row.first_dies) << row.change;
    EXPECT_EQ(text_of(series_buffer(list.get())->head_cell()[1].w2), "two") << row.change;
  }
}

TEST_F(Compaction, AnEmptiedFrameIsReleasedUnlessItIsTheLast) {
  make_garbage_frames(3);
  GcRoot<NodeId> root(byte_series_of("live"));
  uint64_t middle = memory.frames[1].size();
  uint64_t os_total = memory.os_total;
  collect_now();
  EXPECT_EQ(memory.frames.size(), 2u);
  EXPECT_EQ(memory.os_total, os_total - middle);
  EXPECT_EQ(text_of(root.get()), "live");
}

}  // namespace
}  // namespace qel

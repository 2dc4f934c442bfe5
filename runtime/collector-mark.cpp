// collector-mark.cpp: marking with an explicit mark stack (never recursion), and what each
// datatype's cell refers to.
//
// Invariant: during marking a marked series is on the mark stack, waits in the drain's prefetch
// ring, has had all its values marked, or is no cell series.
#include <algorithm>
#include <array>

#include "runtime/collector-phases.h"
#include "runtime/collector.h"
#include "runtime/extres.h"
#include "runtime/heap-array.h"
#include "runtime/memory.h"
#include "runtime/series-buffer.h"
#include "runtime/type-table.h"

namespace qel {

namespace {

// Series waiting for their values to be marked (those of unit 16 are cell series).
HeapArray<NodeId> mark_stack;
HeapArray<uint64_t> mark_words;  // the storage of mark_bits
TableMarker table_marker = nullptr;

constexpr uint32_t kNoSlot = 0xFFFFFFFF;

void mark_nothing(const Cell&) {}

// block!, paren!, the path types: the block and its values.
void mark_block_value(const Cell& cell) { collector_mark_block(cell.w2); }

// binary!, bitset!, vector!, image! (until its subsystem marks it): the buffer.
void mark_buffer_value(const Cell& cell) { collector_mark_node(cell.w2); }

// string! and its kin: the buffer and the conversion buffer (0 when none); symbol!: the decoded
// name (0 until needed) and the name bytes.
void mark_two_buffers_value(const Cell& cell) {
  collector_mark_node(cell.w2);
  collector_mark_node(cell.w3);
}

// context!: the word table, and the values block unless the values live on the value stack.
void mark_context_value(const Cell& cell) {
  collector_mark_table(cell.w1);
  if (!(cell.header & kContextValuesOnStack)) collector_mark_block(cell.w2);
}

// The word types: the context they are bound to.
void mark_word_value(const Cell& cell) { collector_mark_context(cell.w1); }

// native!, action!: the spec block and the "more" series.
void mark_native_value(const Cell& cell) {
  collector_mark_block(cell.w2);
  collector_mark_block(cell.w3);
}

// function!, routine!: the context, the spec block and the "more" series.
void mark_function_value(const Cell& cell) {
  collector_mark_context(cell.w1);
  mark_native_value(cell);
}

// op!: a copy of the wrapped value's cell, the wrapped type in header bits 16-23.
void mark_op_value(const Cell& cell) {
  auto wrapped = static_cast<Type>((cell.header >> 16) & 0xFF);
  if (wrapped == Type::function || wrapped == Type::routine)
    mark_function_value(cell);
  else
    mark_native_value(cell);
}

// object!, error!, port!: the context and the change-hook record when there is one.
void mark_object_value(const Cell& cell) {
  collector_mark_context(cell.w1);
  collector_mark_block(cell.w3);
}

// hash!, map!: the block and the hash table.
void mark_hashed_value(const Cell& cell) {
  collector_mark_block(cell.w2);
  collector_mark_table(cell.w3);
}

// handle!: its external-resource slot, when it has one.
void mark_handle_value(const Cell& cell) {
  if (cell.w3 != kNoSlot) extres_slot_mark(cell.w3, nullptr);
}

// What a cell of each type refers to; every type not listed holds no memory.
constexpr TypeRow<TypeMarker> kMarkRows[] = {
    {Type::block, mark_block_value},        {Type::paren, mark_block_value},
    {Type::path, mark_block_value},         {Type::lit_path, mark_block_value},
    {Type::set_path, mark_block_value},     {Type::get_path, mark_block_value},
    {Type::string, mark_two_buffers_value},      {Type::file, mark_two_buffers_value},
    {Type::url, mark_two_buffers_value},         {Type::tag, mark_two_buffers_value},
    {Type::email, mark_two_buffers_value},       {Type::ref, mark_two_buffers_value},
    {Type::binary, mark_buffer_value},      {Type::bitset, mark_buffer_value},
    {Type::vector, mark_buffer_value},      {Type::image, mark_buffer_value},
    {Type::symbol, mark_two_buffers_value},      {Type::context, mark_context_value},
    {Type::word, mark_word_value},          {Type::set_word, mark_word_value},
    {Type::lit_word, mark_word_value},      {Type::get_word, mark_word_value},
    {Type::refinement, mark_word_value},    {Type::issue, mark_word_value},
    {Type::native, mark_native_value},      {Type::action, mark_native_value},
    {Type::op, mark_op_value},              {Type::function, mark_function_value},
    {Type::routine, mark_function_value},   {Type::object, mark_object_value},
    {Type::error, mark_object_value},       {Type::port, mark_object_value},
    {Type::hash, mark_hashed_value},        {Type::map, mark_hashed_value},
    {Type::handle, mark_handle_value},
};

std::array<TypeMarker, kTypeTableRows> markers = type_table(mark_nothing, kMarkRows);

// Sets the node's mark bit; answers true when it was clear.
bool test_and_mark(NodeId node) {
  uint64_t& word = mark_bits[node / 64];
  uint64_t bit = uint64_t{1} << (node % 64);
  if (word & bit) return false;
  word |= bit;
  return true;
}

// The frame of the last buffer counted: marks mostly fall in the frame of the one before.
// The sentinel holds no address, so a buffer outside every frame is looked up each time.
SeriesFrame no_frame{};
SeriesFrame* last_frame = &no_frame;

// Counts a newly marked buffer in its frame (for compaction's skip of frames with nothing dead).
void count_in_frame(uintptr_t address) {
  if (address - reinterpret_cast<uintptr_t>(last_frame->area) >= last_frame->size()) {
    SeriesFrame* frame = series_frame_holding(address);
    if (!frame) return;
    last_frame = frame;
  }
  ++last_frame->marked;
}

// Marks a series in use; answers true when it was not marked yet.
inline bool mark_node(NodeId node) {
  if (!node_is_in_use(node) || !test_and_mark(node)) return false;
  count_in_frame(node_slot(node));
  return true;
}

// Marks a series and queues it for its values (those of a cell series are marked when drained).
inline void mark_block(NodeId node) {
  if (mark_node(node)) mark_stack.push_back(node);
}

// Series whose buffers the drain has asked the memory for ahead of scanning them.
constexpr size_t kPrefetchDepth = 8;
constexpr size_t kPrefetchLines = 3;  // a header and the first cells

struct PrefetchRing {
  SeriesBuffer* entries[kPrefetchDepth];
  size_t first = 0;
  size_t count = 0;

  // Moves series from the mark stack into the ring, asking for their buffers' first lines.
  void fill() {
    while (count < kPrefetchDepth && !mark_stack.empty()) {
      SeriesBuffer* buffer = series_buffer(mark_stack.back());
      mark_stack.pop_back();
      for (size_t line = 0; line < kPrefetchLines; ++line)
        __builtin_prefetch(reinterpret_cast<const uint8_t*>(buffer) + line * 64);
      entries[(first + count++) % kPrefetchDepth] = buffer;
    }
  }

  SeriesBuffer* take() {
    SeriesBuffer* buffer = entries[first];
    first = (first + 1) % kPrefetchDepth;
    --count;
    return buffer;
  }
};

}  // namespace

uint64_t* mark_bits = nullptr;

void mark_bits_prepare() {
  mark_words.resize(node_id_limit / 64 + 1);  // new words come zeroed
  mark_bits = mark_words.data();
  for (SeriesFrame& frame : memory.frames) frame.marked = 0;
  last_frame = &no_frame;
}

void mark_bits_clear() {
  std::fill(mark_words.begin(), mark_words.end(), uint64_t{0});
}

bool collector_mark_node(NodeId node) { return mark_node(node); }

void collector_mark_block(NodeId node) { mark_block(node); }

void collector_mark_context(NodeId node) { collector_mark_block(node); }

void collector_mark_cells(const Cell* first, const Cell* end) {
  for (const Cell* cell = first; cell < end; ++cell) {
    TypeMarker marker = markers[type_index(cell_type(*cell))];
    if (marker == mark_nothing) continue;  // most cells of a block are scalars
    if (marker == mark_block_value)
      mark_block(cell->w2);  // the commonest reference, without the call
    else
      marker(*cell);
  }
}

bool collector_is_marked(NodeId node) { return collector_active() && node_is_in_use(node) && node_marked(node); }

void collector_set_type_marker(Type type, TypeMarker marker) { markers[type_index(type)] = marker; }

void collector_set_table_marker(TableMarker marker) { table_marker = marker; }

void collector_mark_table(NodeId table) {
  if (table_marker)
    table_marker(table);
  else
    collector_mark_node(table);
}

void mark_stack_drain() {
  PrefetchRing ring;
  for (ring.fill(); ring.count; ring.fill()) {
    SeriesBuffer* buffer = ring.take();
    if (buffer->unit() == sizeof(Cell)) collector_mark_cells(buffer->head_cell(), buffer->tail_cell());
  }
}

}  // namespace qel

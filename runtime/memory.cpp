// memory.cpp: series frames (bump allocation, first fit in address order), big series on pages
// of their own, buffers held on the runtime heap, and the requests for a collection.
#include "runtime/memory.h"

#include <algorithm>
#include <cstring>

#include "runtime/collector.h"
#include "runtime/error-raise.h"
#include "runtime/heap.h"
#include "runtime/node-table.h"
#include "runtime/memory-pages.h"
#include "runtime/page-pool.h"
#include "runtime/quit.h"

namespace qel {

MemoryRecord memory;
uint32_t new_series_flags = 0;

namespace {

// The torture mode's frames are carved upwards from one reservation, so the ranges it retires
// lie below the live ones and merge into one mapping. Each collection moves every frame to fresh
// addresses, so the reservation is spent at a few megabytes a collection.
constexpr uint64_t kTortureReservation = uint64_t{1} << 40;
// Torture frames start on and span whole units of this size: a move between such ranges hands
// over whole page tables instead of rewriting each page's entry, which on a virtual machine
// costs as much again at the first touch of every page.
constexpr uint64_t kTortureGrain = uint64_t{2} << 20;
constexpr uint64_t whole_grains(uint64_t bytes) { return (bytes + kTortureGrain - 1) / kTortureGrain * kTortureGrain; }
uint8_t* torture_reserved = nullptr;  // the reservation, and its first whole grain
uint8_t* torture_base = nullptr;
uint8_t* torture_next = nullptr;

constexpr uint64_t round16(uint64_t bytes) { return (bytes + 15) & ~uint64_t{15}; }

// The capacity of a request, checked against the ceiling in 64 bits before anything changes.
uint64_t checked_capacity(int64_t units, int64_t unit) {
  if (unit < 1 || unit > static_cast<int64_t>(kSeriesUnitMask) || units < 0 ||
      units > static_cast<int64_t>(kSeriesMaxBytes))
    raise_no_memory();
  uint64_t size = round16(static_cast<uint64_t>(units) * static_cast<uint64_t>(unit));
  if (size > kSeriesMaxBytes) raise_no_memory();
  return size;
}

// Allocation during a collection would give a buffer the sweep has not marked.
void check_not_collecting() {
  if (collector_active()) fatal_assertion();
}

// Writes the header of a new buffer; a head offset outside the data area is a fault of the caller.
SeriesBuffer* checked_buffer_start(void* at, uint64_t size, int64_t unit, int32_t head_offset, uint32_t kind) {
  if (head_offset < -1 || (head_offset >= 0 && static_cast<uint64_t>(head_offset) > size)) [[unlikely]]
    fatal_assertion();
  return buffer_start(at, size, unit, head_offset, kind);
}

// Keeps the frame list in ascending address order; answers the new frame's position.
size_t frame_insert(const SeriesFrame& frame) {
  size_t at = 0;
  while (at < memory.frames.size() && memory.frames[at].area < frame.area) ++at;
  memory.frames.insert(at, frame);
  if (memory.current >= at && memory.frames.size() > 1) ++memory.current;
  return at;
}

// Index of the first frame in address order with room for `need`, or the list's size.
size_t first_frame_with_room(uint64_t need) {
  size_t at = 0;
  while (at < memory.frames.size() && !memory.frames[at].has_room(need)) ++at;
  return at;
}

// The frame for a buffer of `need` bytes when the current one has no room: the first with room
// (unless it is nearly full), else a new one, which may also ask for a collection.
[[gnu::noinline]] SeriesFrame& frame_for(uint64_t need) {
  size_t found = first_frame_with_room(need);
  if (found < memory.frames.size() && memory.frames[found].room() > kFrameSparseRoom) {
    memory.current = found;
    return memory.frames[found];
  }
  // A collection per new frame would be quadratic while the live data grows: ask only once an
  // eighth of the live size has been allocated since the last one (a constant factor keeps the
  // collections' cost in proportion to the allocation, and a small one the peak near the live size).
  if (memory.allocated_since_cycle >= memory.live_after_cycle / 8) collector_request();
  return series_frame_new(need);
}

// Pages for a frame or a big series: a mapping the last collection freed, else fresh ones.
void* series_pages_get(uint64_t size) {
  void* pages = page_pool_take(size);
  return pages ? pages : os_pages_get(size);
}

// A frame's or big series' pages, freed: kept for the next cycle, or unmapped in the torture
// mode (whose point is that freed memory is gone).
void series_pages_free(void* start, uint64_t size) {
  if (collector_torture())
    os_pages_release(start, size);
  else
    page_pool_keep(start, size, page_pool_cap(memory.live_after_cycle));
  memory_os_add(-static_cast<int64_t>(size));
}

// Counts pages taken for a big series towards the next collection.
void note_big_pages(uint64_t bytes) {
  memory_os_add(static_cast<int64_t>(bytes));
  memory.big_since_cycle += bytes;
  if (memory.big_since_cycle > memory.budget) collector_request();
}

// Lists a big series on `mapped` bytes of pages out of `reserved` and writes its header.
SeriesBuffer* big_series_start(void* pages, uint64_t mapped, uint64_t reserved, uint64_t size, int64_t unit,
                               int32_t head_offset) {
  note_big_pages(mapped);
  memory.bigs.push_back(BigSeries{static_cast<SeriesBuffer*>(pages), mapped, reserved});
  return checked_buffer_start(pages, size, unit, head_offset, kSeriesBig);
}

// A big series on pages of its own.
[[gnu::noinline]] SeriesBuffer* big_series_alloc(uint64_t size, int64_t unit, int32_t head_offset) {
  uint64_t mapped = page_round_up(size + kBufferHeaderBytes);
  return big_series_start(series_pages_get(mapped), mapped, mapped, size, unit, head_offset);
}

// A big series that grows, with room reserved behind its pages (within the room limit and what
// the largest series needs).
SeriesBuffer* growing_series_alloc(uint64_t size, int64_t unit) {
  const uint64_t mapped = page_round_up(size + kBufferHeaderBytes);
  const uint64_t largest = page_round_up(kSeriesMaxBytes + kBufferHeaderBytes);
  const uint64_t reserved = std::min({kGrowthReserveFactor * mapped, mapped + kGrowthRoomLimit, largest});
  return big_series_start(os_pages_get_reserved(mapped, reserved), mapped, reserved, size, unit, 0);
}

// The big series whose buffer this is, or null.
BigSeries* big_series_of(const SeriesBuffer* buffer) {
  for (size_t i = memory.bigs.size(); i-- > 0;)
    if (memory.bigs[i].buffer == buffer) return &memory.bigs[i];
  return nullptr;
}

// A big series' pages, freed: one with room reserved is given back whole, others are freed as
// any series pages.
void big_series_free(const BigSeries& big) {
  if (big.reserved == big.size) return series_pages_free(big.buffer, big.size);
  os_pages_release(big.buffer, big.reserved);
  memory_os_add(-static_cast<int64_t>(big.size));
}

// Counts frame and heap bytes towards the next collection.
void note_allocated(uint64_t need) {
  memory.allocated_since_cycle += need;
  if (memory.allocated_since_cycle > memory.budget) [[unlikely]] collector_request();
}

// Counts a new frame's pages, lists it in address order and makes it current.
SeriesFrame& frame_add(const SeriesFrame& frame) {
  memory_os_add(static_cast<int64_t>(frame.size()));
  memory.current = frame_insert(frame);
  return memory.frames[memory.current];
}

// Address space for a torture-mode frame of `size` bytes (a multiple of the grain), above
// every frame carved before it; not yet accessible.
uint8_t* torture_range(uint64_t size) {
  if (!torture_base) {
    torture_reserved = static_cast<uint8_t*>(os_pages_reserve(kTortureReservation + kTortureGrain));
    torture_base = torture_next = torture_reserved + (kTortureGrain - reinterpret_cast<uintptr_t>(torture_reserved) % kTortureGrain);
  }
  if (size > static_cast<uint64_t>(torture_base + kTortureReservation - torture_next)) raise_no_memory();
  uint8_t* area = torture_next;
  torture_next += size;
  return area;
}

// A frame's pages, given back: retired when carved, else freed as any series pages.
void release_frame_pages(const SeriesFrame& frame) {
  if (frame.carved) {
    os_pages_retire(frame.area, frame.size());
    memory_os_add(-static_cast<int64_t>(frame.size()));
  } else {
    series_pages_free(frame.area, frame.size());
  }
}

// A torture-mode frame of at least `size` bytes, above every frame made so far.
SeriesFrame& series_frame_carve(uint64_t size) {
  size = whole_grains(size);
  uint8_t* area = torture_range(size);
  os_pages_commit(area, size);
  return frame_add(SeriesFrame{area, area, area + size, 1, 1, 0, 0});
}

SeriesFrame& series_frame_map(uint64_t size) {
  auto* area = static_cast<uint8_t*>(series_pages_get(size));
  return frame_add(SeriesFrame{area, area, area + size, 0, 1, 0, 0});
}

}  // namespace

void memory_init() {
  memory.window = BumpWindow{};
  memory.os_total = 0;
  memory.frames.clear();
  memory.current = 0;
  memory.next_frame_size = kInitialFrameSize;
  memory.bigs.clear();
  memory.heap_held.clear();
  memory.allocated_since_cycle = memory.big_since_cycle = memory.live_after_cycle = 0;
  memory.budget = kMinCollectionBudget;
  memory.outside_total = memory.outside_since_cycle = 0;
  memory.outside_budget = kMinCollectionBudget;
  node_table_init();
}

void memory_first_frames() {
  node_frame_new();
  series_frame_new(0);
  memory_window_open();
}

void memory_release_all() {
  memory_window_close();
  while (!memory.frames.empty()) series_frame_release(memory.frames.size() - 1);
  for (const BigSeries& big : memory.bigs) os_pages_release(big.buffer, big.reserved);
  for (SeriesBuffer* buffer : memory.heap_held) heap_release(buffer);
  node_table_release();
  if (torture_reserved) os_pages_release(torture_reserved, kTortureReservation + kTortureGrain);
  page_pool_release_all();
  torture_reserved = torture_base = torture_next = nullptr;
  memory.frames.release();
  memory.bigs.release();
  memory.heap_held.release();
  memory.os_total = 0;
}

void memory_os_add(int64_t bytes) { memory.os_total += static_cast<uint64_t>(bytes); }

void raise_no_memory() { raise_error(error_id("internal", "no-memory")); }

// Everything the fast path does not take: the first frame, a full window, the budget running
// out, big series and bad requests. The window is closed meanwhile.
SeriesBuffer* series_buffer_alloc_slow(int64_t units, int64_t unit, int32_t head_offset) {
  uint64_t size = checked_capacity(units, unit);
  check_not_collecting();
  uint64_t need = size + kBufferHeaderBytes;
  if (need >= kMaxFrameSize) return big_series_alloc(size, unit, head_offset);
  memory_window_close();
  SeriesFrame* frame = memory.current < memory.frames.size() ? &memory.frames[memory.current] : nullptr;
  if (!frame || !frame->has_room(need)) frame = &frame_for(need);
  frame->touched = 1;
  SeriesBuffer* buffer = checked_buffer_start(frame->free, size, unit, head_offset, 0);
  frame->free += need;
  note_allocated(need);
  memory_window_open();
  return buffer;
}

SeriesBuffer* series_buffer_alloc_grown(int64_t units, int64_t unit) {
  const uint64_t size = checked_capacity(units, unit);
  if (size + kBufferHeaderBytes < kGrowInPlaceNeed) return series_buffer_alloc(units, unit, 0);
  check_not_collecting();
  return growing_series_alloc(size, unit);
}

bool series_buffer_extend(SeriesBuffer* buffer, int64_t units, int64_t unit) {
  if (!(buffer->flags & kSeriesBig) || units < 0 || static_cast<uint64_t>(units) > kSeriesMaxBytes) return false;
  const uint64_t asked = round16(buffer->head + static_cast<uint64_t>(units) * static_cast<uint64_t>(unit));
  const uint64_t capacity = std::max<uint64_t>(asked, buffer->capacity);
  const uint64_t mapped = page_round_up(capacity + kBufferHeaderBytes);
  BigSeries* big = big_series_of(buffer);
  if (capacity > kSeriesMaxBytes || !big || mapped > big->reserved) return false;
  check_not_collecting();
  if (mapped > big->size) {
    os_pages_commit(reinterpret_cast<uint8_t*>(buffer) + big->size, mapped - big->size);
    note_big_pages(mapped - big->size);
    big->size = mapped;
  }
  buffer->capacity = static_cast<uint32_t>(capacity);
  return true;
}

SeriesBuffer* heap_buffer_alloc(int64_t units, int64_t unit, int32_t head_offset) {
  uint64_t size = checked_capacity(units, unit);
  check_not_collecting();
  void* block = heap_allocate_checked(size + kBufferHeaderBytes);
  SeriesBuffer* buffer = checked_buffer_start(block, size, unit, head_offset, kSeriesHeapHeld);
  memory.heap_held.push_back(buffer);
  memory_window_close();  // the heap bytes shorten the budget left to the window
  note_allocated(size + kBufferHeaderBytes);
  memory_window_open();
  return buffer;
}

SeriesFrame& series_frame_new(uint64_t need) {
  if (need >= memory.next_frame_size) memory.next_frame_size = kMaxFrameSize;
  uint64_t size = memory.next_frame_size;
  SeriesFrame& frame = collector_torture() ? series_frame_carve(size) : series_frame_map(size);
  if (memory.next_frame_size < kMaxFrameSize) memory.next_frame_size *= 2;
  return frame;
}

void series_frame_move(SeriesFrame& frame) {
  const uint64_t size = whole_grains(frame.size());  // a carved frame's own size
  uint8_t* to = torture_range(size);
  if (!frame.carved || !os_pages_move(frame.area, size, to)) {
    // A frame from before the torture mode, or a move the system refused: copied, once.
    os_pages_commit(to, size);
    std::memcpy(to, frame.area, frame.used());
  }
  release_frame_pages(frame);  // a moved frame's old range stays reserved, and faults
  memory_os_add(static_cast<int64_t>(size));
  const uint64_t used = frame.used();
  frame.area = to;
  frame.free = to + used;
  frame.end = to + size;
  frame.carved = 1;
}

void series_frame_release(size_t position) {
  release_frame_pages(memory.frames[position]);
  memory.frames.erase(position);
  if (memory.current >= position && memory.current > 0) --memory.current;
}

SeriesFrame* series_frame_holding(uintptr_t address) {
  auto after = std::upper_bound(memory.frames.begin(), memory.frames.end(), address,
                                [](uintptr_t at, const SeriesFrame& frame) { return at < reinterpret_cast<uintptr_t>(frame.area); });
  if (after == memory.frames.begin()) return nullptr;
  SeriesFrame* frame = after - 1;
  return address < reinterpret_cast<uintptr_t>(frame->end) ? frame : nullptr;
}

void big_series_release_unmarked() {
  size_t kept = 0;
  for (BigSeries big : memory.bigs) {
    SeriesBuffer* buffer = big.buffer;
    if (collector_is_marked(buffer->node)) {
      memory.bigs[kept++] = big;
      continue;
    }
    if (buffer->node) node_free(buffer->node);
    big_series_free(big);
  }
  memory.bigs.resize(kept);
}

void heap_buffers_release_unmarked() {
  size_t kept = 0;
  for (SeriesBuffer* buffer : memory.heap_held) {
    if (collector_is_marked(buffer->node)) {
      memory.heap_held[kept++] = buffer;
      continue;
    }
    if (buffer->node) node_free(buffer->node);
    heap_release(buffer);
  }
  memory.heap_held.resize(kept);
}

uint64_t memory_bytes_in_series() {
  uint64_t bytes = 0;
  for (const SeriesFrame& frame : memory.frames) bytes += frame.used();
  for (const BigSeries& big : memory.bigs) bytes += big.size;
  for (SeriesBuffer* buffer : memory.heap_held) bytes += buffer->span();
  return bytes;
}

void memory_outside_add(int64_t bytes) {
  memory.outside_total += static_cast<uint64_t>(bytes);
  if (bytes <= 0) return;
  memory.outside_since_cycle += static_cast<uint64_t>(bytes);
  if (memory.outside_since_cycle > memory.outside_budget) collector_request();
}

void memory_cycle_done() {
  memory.live_after_cycle = memory_bytes_in_series();
  memory.budget = std::max(memory.live_after_cycle, kMinCollectionBudget);
  memory.allocated_since_cycle = memory.big_since_cycle = 0;
  memory.outside_budget = std::max(memory.outside_total, kMinCollectionBudget);
  memory.outside_since_cycle = 0;
  page_pool_age();
}

void memory_window_close() {
  BumpWindow& window = memory.window;
  if (window.frame->free != window.start) window.frame->touched = 1;  // it holds new buffers
  memory.allocated_since_cycle += static_cast<uint64_t>(window.frame->free - window.start);
  window = BumpWindow{};
}

void memory_window_open() {
  memory_window_close();
  if (memory.current >= memory.frames.size() || collector_active()) return;
  SeriesFrame& frame = memory.frames[memory.current];
  // Past the budget every allocation asks for a collection: once asked, bumps need not repeat it;
  // with the request withdrawn, the next allocation takes the slow path and asks again.
  uint64_t room = frame.room();
  if (memory.allocated_since_cycle <= memory.budget)
    room = std::min(room, memory.budget - memory.allocated_since_cycle + 1);
  else if (!collector_requested())
    room = 0;
  memory.window = BumpWindow{&frame, frame.free + room, frame.free};
}

void memory_make_current(size_t position) {
  memory_window_close();
  memory.current = position;
  memory_window_open();
}

uint64_t memory_allocated_since_cycle() {
  const BumpWindow& window = memory.window;
  return memory.allocated_since_cycle + static_cast<uint64_t>(window.frame->free - window.start);
}

}  // namespace qel

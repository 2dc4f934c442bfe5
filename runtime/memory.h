// memory.h: the memory manager: series frames, big series, heap-held buffers, the memory record
// and the requests for a collection that allocation makes (allocation itself never collects).
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"
#include "runtime/heap-array.h"
#include "runtime/series-buffer.h"

namespace qel {

inline constexpr uint64_t kInitialFrameSize = uint64_t{1} << 20;
inline constexpr uint64_t kMaxFrameSize = uint64_t{2} << 20;
// A frame found with this little room or less is not worth filling: a new frame is made.
inline constexpr uint64_t kFrameSparseRoom = 52427;
// A frame with at least this much room takes live runs that compaction moves from the next one.
inline constexpr uint64_t kFrameSpillRoom = 52429;
// A collection is requested once this much (or the live size after the last one, if larger)
// has been allocated since it.
inline constexpr uint64_t kMinCollectionBudget = uint64_t{8} << 20;

// A series frame: bump allocation from `free` up to `end`; buffers lie back to back from
// `area`, each taking capacity + 24 bytes. Invariant: area <= free <= end. Invariant: a frame
// not `touched` holds exactly `buffers` buffers, so when as many were marked in it nothing in it
// died (a buffer grown away keeps its place but is never marked).
struct SeriesFrame {
  uint8_t* area;
  uint8_t* free;
  uint8_t* end;
  uint32_t carved;   // 1 when taken from the torture reservation (retired, not unmapped)
  uint32_t touched;  // 1 once a bump may have added a buffer since compaction last counted them
  uint32_t buffers;  // the buffers compaction last left in the frame
  uint32_t marked;   // buffers marked in it by the collection under way

  uint64_t size() const { return static_cast<uint64_t>(end - area); }
  uint64_t room() const { return static_cast<uint64_t>(end - free); }
  uint64_t used() const { return static_cast<uint64_t>(free - area); }
  // Room for `need` bytes leaving at least one byte free, as the allocation rule reads.
  bool has_room(uint64_t need) const { return need < room(); }
};

// The allocation fast path's window on the current frame: a bump that ends below `stop` needs no
// other check. `stop` is the frame's end, or sooner where the collection budget runs out, so the
// ceiling, the room and the budget are one compare. Bytes bumped since `start` are not yet in
// allocated_since_cycle. While the window is closed (before the first frame, in the slow path and
// during a collection) `frame` is a frame without room, so every request takes the slow path.
// Invariant: every change to the frame list or to `current` happens while the window is closed.
inline SeriesFrame closed_window_frame{};
struct BumpWindow {
  SeriesFrame* frame = &closed_window_frame;
  uint8_t* stop = nullptr;
  uint8_t* start = nullptr;
};

// A series that grows to this much space or more (header included) takes pages of its own with
// address space reserved behind them, so that it grows again in place.
inline constexpr uint64_t kGrowInPlaceNeed = uint64_t{256} << 10;
// Such a series reserves this many times its first pages, so that four doublings stay in place,
// but never more than this much room behind them: a large series would otherwise hold gigabytes
// of address space, which a process limited in it lacks.
inline constexpr uint64_t kGrowthReserveFactor = 16;
inline constexpr uint64_t kGrowthRoomLimit = uint64_t{256} << 20;

// A series buffer on pages of its own. Invariant: size <= reserved; the first `size` bytes are
// read-write, the rest address space only.
struct BigSeries {
  SeriesBuffer* buffer;
  uint64_t size;      // bytes taken from the OS
  uint64_t reserved;  // bytes of address space, `size` included
};

struct MemoryRecord {
  uint64_t os_total;                   // bytes currently taken from the OS (the page pool aside)
  HeapArray<SeriesFrame> frames;       // ascending addresses
  size_t current;                      // the frame where allocation bumps
  uint64_t next_frame_size;
  HeapArray<BigSeries> bigs;           // in allocation order
  HeapArray<SeriesBuffer*> heap_held;  // buffers from the runtime heap
  BumpWindow window;
  uint64_t allocated_since_cycle;      // frame and heap bytes since the last collection (see window)
  uint64_t big_since_cycle;
  uint64_t live_after_cycle;           // bytes in use after the last collection
  uint64_t budget;                     // max(live after the last collection, 8 MB)
  // Memory outside series that values own (image pixel arrays): it never moves and the collector
  // frees it only through the owner's release, but it counts towards collections as series do.
  uint64_t outside_total;              // bytes held now
  uint64_t outside_since_cycle;        // bytes added since the last collection
  uint64_t outside_budget;             // max(held after the last collection, 8 MB)
};

extern MemoryRecord memory;

// memory-init: the record and the node table's reservation. first-frames: the first node frame
// and the first series frame (1 MB).
void memory_init();
void memory_first_frames();

// Gives every node frame, series frame and big series back to the OS (and the record's tables
// to the runtime heap); memory_init starts again from nothing.
void memory_release_all();

// Adds to (or with a negative count takes from) the total taken from the OS.
void memory_os_add(int64_t bytes);

// Adds bytes held outside series (positive on allocation, negative on release); adding past the
// outside budget asks for a collection, so a loop making large images frees the dead ones.
void memory_outside_add(int64_t bytes);

// The catchable internal no-memory error.
[[noreturn]] void raise_no_memory();

// The frame space (header included) a request of units x unit bytes takes, when the fast path
// may serve it: a unit of 1 to 31 bytes, a count from 0 to the ceiling and a head offset of 0 or
// -1. Anything else answers kSlowRequest, which no window can take.
inline constexpr uint64_t kSlowRequest = ~uint64_t{0};
constexpr uint64_t fast_request_need(int64_t units, int64_t unit, int32_t head_offset) {
  if (static_cast<uint64_t>(units) > kSeriesMaxBytes || static_cast<uint64_t>(unit - 1) >= kSeriesUnitMask ||
      head_offset < -1 || head_offset > 0)
    return kSlowRequest;
  return ((static_cast<uint64_t>(units) * static_cast<uint64_t>(unit) + 15) & ~uint64_t{15}) + kBufferHeaderBytes;
}

// Writes the header of a new buffer of `size` bytes at `at` (a head offset checked by the caller),
// linked to `node` or to none yet.
// Flags every new buffer starts with besides its own (library code while the library boots).
extern uint32_t new_series_flags;

inline SeriesBuffer* buffer_start(void* at, uint64_t size, int64_t unit, int32_t head_offset, uint32_t kind,
                                  NodeId node = 0) {
  auto* buffer = static_cast<SeriesBuffer*>(at);
  uint32_t flags = static_cast<uint32_t>(unit) | kSeriesLive | kSeriesAllocated | kind | new_series_flags;
  auto head = static_cast<uint32_t>(head_offset);
  if (head_offset == -1) {
    flags |= kSeriesMiddleHead;
    head = static_cast<uint32_t>(size / 2);
  }
  *buffer = SeriesBuffer{flags, node, static_cast<uint32_t>(size), head, head, 0};
  return buffer;
}

// The fast path: whether `need` bytes fit the open window, and where they would go (`at`).
// Nothing changes until window_take.
inline bool window_fits(uint64_t need, uint8_t*& at) {
  at = memory.window.frame->free;
  return need < static_cast<uint64_t>(memory.window.stop - at);
}

// How far ahead of the bump the frame's memory is asked for, to be written.
inline constexpr uint64_t kBumpAhead = 512;

// Commits a bump. The memory a few buffers on is asked for now, so that the headers written
// there later do not each wait for their cache line (past the frame's end the request is a
// harmless no-op).
inline void window_take(uint8_t* at, uint64_t need) {
  memory.window.frame->free = at + need;
  __builtin_prefetch(at + kBumpAhead, 1);
}

SeriesBuffer* series_buffer_alloc_slow(int64_t units, int64_t unit, int32_t head_offset);

// A buffer of round-up(units x unit, 16) bytes of capacity, its node link not yet set: from a
// series frame, or on pages of its own when it needs 2 MB of frame space or more. Head offset
// -1 puts the head in the middle (bit 28). Raises no-memory, with nothing changed, when the
// size passes the ceiling or the system refuses pages.
inline SeriesBuffer* series_buffer_alloc(int64_t units, int64_t unit, int32_t head_offset) {
  uint64_t need = fast_request_need(units, unit, head_offset);
  uint8_t* at;
  if (!window_fits(need, at)) [[unlikely]]
    return series_buffer_alloc_slow(units, unit, head_offset);
  window_take(at, need);
  return buffer_start(at, need - kBufferHeaderBytes, unit, head_offset, 0);
}

// A buffer for a series that grows (head at the start): as series_buffer_alloc, but from
// kGrowInPlaceNeed bytes on, on pages of its own with room reserved behind them. Only what is
// written to is made resident, so room the series may never fill costs no memory.
SeriesBuffer* series_buffer_alloc_grown(int64_t units, int64_t unit);

// Grows a big series with room reserved behind it in place, so that it holds `units` units
// from its head on: the buffer keeps its address, head, tail and bytes. Answers false, with
// nothing changed, when the buffer is no such series or its room is too small; raises
// no-memory, with nothing changed, when the system refuses the pages.
bool series_buffer_extend(SeriesBuffer* buffer, int64_t units, int64_t unit);

// The same from the runtime heap (bit 20); such a buffer never moves.
SeriesBuffer* heap_buffer_alloc(int64_t units, int64_t unit, int32_t head_offset);

// A new series frame for at least `need` bytes (the size rule: 1 MB, then doubling to 2 MB).
SeriesFrame& series_frame_new(uint64_t need);

// The torture mode's evacuation of a frame: its pages, live and dead buffers alike, move above
// every frame made so far without a byte copied, and its old range faults from then on. The
// caller re-points the nodes of the buffers it keeps.
void series_frame_move(SeriesFrame& frame);

// Gives the frame at this list position back (unmapped, or retired when carved).
void series_frame_release(size_t position);

// The frame whose memory holds `address`, or null (a big series, a heap-held buffer).
SeriesFrame* series_frame_holding(uintptr_t address);

// The window closes (counting what was bumped in it) before the frame list or the current frame
// changes, and opens again on the current frame afterwards; the collector keeps it closed.
void memory_window_close();
void memory_window_open();

// Makes the frame at this list position the one where allocation bumps.
void memory_make_current(size_t position);

// Bytes allocated in frames and on the heap since the last collection.
uint64_t memory_allocated_since_cycle();

// After marking: releases the big series and heap-held buffers whose nodes were not marked (a
// grown-away one has none), returning their nodes.
void big_series_release_unmarked();
void heap_buffers_release_unmarked();

// Bytes in use: used frame bytes, big series sizes and heap-held buffers with their headers.
uint64_t memory_bytes_in_series();

// Called by the collector when a cycle ends: the budgets start again from the live size.
void memory_cycle_done();

}  // namespace qel

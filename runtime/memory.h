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
// `area`, each taking capacity + 24 bytes. Invariant: area <= free <= end.
struct SeriesFrame {
  uint8_t* area;
  uint8_t* free;
  uint8_t* end;
  uint32_t carved;  // 1 when taken from the torture reservation (retired, not unmapped)

  uint64_t size() const { return static_cast<uint64_t>(end - area); }
  uint64_t room() const { return static_cast<uint64_t>(end - free); }
  uint64_t used() const { return static_cast<uint64_t>(free - area); }
  // Room for `need` bytes leaving at least one byte free, as the allocation rule reads.
  bool has_room(uint64_t need) const { return need < room(); }
};

// A series buffer on pages of its own.
struct BigSeries {
  SeriesBuffer* buffer;
  uint64_t size;  // bytes taken from the OS
};

struct MemoryRecord {
  uint64_t os_total;                   // bytes currently taken from the OS
  HeapArray<SeriesFrame> frames;       // ascending addresses
  size_t current;                      // the frame where allocation bumps
  uint64_t next_frame_size;
  HeapArray<BigSeries> bigs;           // in allocation order
  HeapArray<SeriesBuffer*> heap_held;  // buffers from the runtime heap
  uint64_t allocated_since_cycle;      // frame and heap bytes since the last collection
  uint64_t big_since_cycle;
  uint64_t live_after_cycle;           // bytes in use after the last collection
  uint64_t budget;                     // max(live after the last collection, 8 MB)
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

// The catchable internal no-memory error.
[[noreturn]] void raise_no_memory();

// A buffer of round-up(units x unit, 16) bytes of capacity, its node link not yet set: from a
// series frame, or on pages of its own when it needs 2 MB of frame space or more. Head offset
// -1 puts the head in the middle (bit 28). Raises no-memory, with nothing changed, when the
// size passes the ceiling or the system refuses pages.
SeriesBuffer* series_buffer_alloc(int64_t units, int64_t unit, int32_t head_offset);

// The same from the runtime heap (bit 20); such a buffer never moves.
SeriesBuffer* heap_buffer_alloc(int64_t units, int64_t unit, int32_t head_offset);

// A new series frame for at least `need` bytes (the size rule: 1 MB, then doubling to 2 MB).
SeriesFrame& series_frame_new(uint64_t need);

// A frame of exactly `size` bytes (page multiple) above every frame made so far, for the
// torture mode's evacuation; from the torture reservation.
SeriesFrame& series_frame_carve(uint64_t size);

// Gives the frame at this list position back (unmapped, or retired when carved).
void series_frame_release(size_t position);

// After marking: releases the big series and heap-held buffers without the mark bit (queueing
// the node of a live one for release), clears the marks of the others.
void big_series_release_unmarked();
void heap_buffers_release_unmarked();

// Bytes in use: used frame bytes, big series sizes and heap-held buffers with their headers.
uint64_t memory_bytes_in_series();

// Called by the collector when a cycle ends: the budgets start again from the live size.
void memory_cycle_done();

}  // namespace qel

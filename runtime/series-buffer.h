// series-buffer.h: the header of a series buffer and the lookup from a node to its buffer.
#pragma once

#include <cstdint>

#include "runtime/cell.h"
#include "runtime/node-table.h"

namespace qel {

// Flags word of a buffer.
inline constexpr uint32_t kSeriesUnitMask = 0x1F;            // unit size in bytes: 1, 2, 4, 8, 16
inline constexpr uint32_t kSeriesOwnerMark = 0x10000;        // owner mark of an object's context buffer
inline constexpr uint32_t kSeriesOwned = 0x20000;            // owned by an object
inline constexpr uint32_t kSeriesHeapHeld = 0x100000;        // from the runtime heap; never moves
inline constexpr uint32_t kSeriesBig = 0x1000000;            // on OS pages of its own
inline constexpr uint32_t kSeriesMark = 0x8000000;           // collector mark: kept clear (marks are side bits)
inline constexpr uint32_t kSeriesMiddleHead = 0x10000000;    // allocated with its head in the middle
inline constexpr uint32_t kSeriesAllocated = 0x20000000;     // set on every allocated buffer
inline constexpr uint32_t kSeriesLibraryCode = 0x40000000;   // library code (evaluator/library-code.h)
inline constexpr uint32_t kSeriesLive = 0x80000000;          // cleared when a grown copy replaced it

inline constexpr uint64_t kBufferHeaderBytes = 24;
// The most bytes a buffer may hold: its offsets are 32-bit and stay below 2^31.
inline constexpr uint64_t kSeriesMaxBytes = 0x7FFFFFFF;

// Header, then the data area of `capacity` bytes. Head and tail are byte offsets from the data
// start. Invariants: head <= tail <= capacity; capacity is a multiple of 16; while the buffer is
// live, node_slot(node) holds its address. A dead buffer (grown away) has node 0.
struct SeriesBuffer {
  uint32_t flags;
  NodeId node;
  uint32_t capacity;
  uint32_t head;
  uint32_t tail;
  uint32_t spare;

  uint8_t* data() { return reinterpret_cast<uint8_t*>(this + 1); }
  uint8_t* head_address() { return data() + head; }
  uint8_t* tail_address() { return data() + tail; }
  Cell* head_cell() { return reinterpret_cast<Cell*>(head_address()); }
  Cell* tail_cell() { return reinterpret_cast<Cell*>(tail_address()); }
  uint32_t unit() const { return flags & kSeriesUnitMask; }
  // Bytes the buffer takes in its frame.
  uint64_t span() const { return capacity + kBufferHeaderBytes; }
};
static_assert(sizeof(SeriesBuffer) == kBufferHeaderBytes);

// The buffer of a node: one load from the node table. Re-read it after anything that may grow
// the series and after every safe point.
inline SeriesBuffer* series_buffer(NodeId node) { return reinterpret_cast<SeriesBuffer*>(node_slot(node)); }

}  // namespace qel

// tuple.h: tuple!, 3 to 12 unsigned bytes inside the cell (1.2.3, 255.0.0.128): the cell
// layout, constructors, the services image! and the colour constants use, the arithmetic core
// and the registration.
//
// Header bits 19-22 hold the length; the bytes start at cell byte 4 (payload words 1-3,
// little-endian, component 1 the lowest byte of word 1). Bytes past the length are zero in every
// tuple a constructor makes; only random /seed reads them.
#pragma once

#include <cstdint>
#include <cstring>
#include <span>

#include "runtime/cell.h"
#include "runtime/value-stack.h"

namespace qel {

inline constexpr int kTupleMinLength = 3;
inline constexpr int kTupleMaxLength = 12;
inline constexpr uint32_t kTupleLengthShift = 19;
inline constexpr uint32_t kTupleLengthMask = 0xFu << kTupleLengthShift;

inline int tuple_length(const Cell& tuple) { return static_cast<int>((tuple.header & kTupleLengthMask) >> kTupleLengthShift); }
inline void set_tuple_length(Cell& tuple, int length) {
  tuple.header = (tuple.header & ~kTupleLengthMask) | static_cast<uint32_t>(length) << kTupleLengthShift;
}
inline uint8_t* tuple_bytes(Cell& tuple) { return reinterpret_cast<uint8_t*>(&tuple.w1); }
inline const uint8_t* tuple_bytes(const Cell& tuple) { return reinterpret_cast<const uint8_t*>(&tuple.w1); }

// A tuple of the bytes (at most 12), zero-padded to 3; the header keeps only its new-line flag.
inline Cell* tuple_make_at(Cell& cell, std::span<const uint8_t> bytes) {
  const size_t length = bytes.size() < kTupleMinLength ? kTupleMinLength : bytes.size();
  cell.header = (cell.header & kNewLineFlag) | static_cast<uint32_t>(Type::tuple);
  cell.w1 = cell.w2 = cell.w3 = 0;
  std::memcpy(tuple_bytes(cell), bytes.data(), bytes.size());
  set_tuple_length(cell, static_cast<int>(length));
  return &cell;
}

// tuple-push-components: a tuple of max(n, 3) components, each integer's low byte.
Cell* tuple_push_components(std::span<const int32_t> components);
// tuple-push-packed: a tuple of the length from ready-made payload words (colour constants).
Cell* tuple_push_packed(int length, uint32_t w1, uint32_t w2, uint32_t w3);
// tuple-make-at-rgba: r.g.b when a is -1, else r.g.b.a; the other bytes zero.
Cell* tuple_make_at_rgba(Cell& cell, int32_t r, int32_t g, int32_t b, int32_t a);
// tuple-zero?: every component up to the length is 0.
bool tuple_zero(const Cell& tuple);

// The arithmetic core: value1 op value2 into value1, either of them the tuple (a number on the
// left changes places with it; subtract and divide then raise not-related). Results saturate
// at 0 and 255.
void tuple_math_op(Cell& value1, Cell& value2, int32_t op);

void register_tuple_datatype();

}  // namespace qel

// string-unit.h: the code units of text buffers (1, 2 or 4 bytes) and widening between them.
//
// A text buffer keeps all its code points in one unit: 1 byte holds U+0000-U+00FF (Latin-1),
// 2 bytes U+0000-U+FFFF (one 16-bit number each, never a surrogate pair), 4 bytes any code
// point. A buffer is only ever widened (1 to 2, 1 to 4, 2 to 4), which changes the storage of
// its code points and never their values. Units are stored in the machine's (little-endian)
// order. A unit other than 1, 2 or 4 is a broken invariant: runtime error 101.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "runtime/quit.h"

namespace qel {

inline constexpr uint32_t kMaxCodePoint = 0x10FFFF;

// The largest text, in bytes, that these routines size or convert; every size they compute
// from it (at most four bytes out per byte in, plus a terminator) stays far below 2^64.
inline constexpr size_t kMaxTextBytes = size_t{1} << 48;

// log2 of a unit: the shift that turns a unit index into a byte offset.
inline unsigned unit_shift(unsigned unit) {
  switch (unit) {
    case 1: return 0;
    case 2: return 1;
    case 4: return 2;
  }
  fatal_no_match_switch();
}

// The narrowest unit that holds a code point.
constexpr unsigned unit_for_code_point(uint32_t code_point) {
  return code_point <= 0xFF ? 1 : code_point <= 0xFFFF ? 2 : 4;
}

// Reads one unit of type U at a byte address; memcpy keeps reads and writes of different unit
// types over the same bytes (widening in place) free of aliasing assumptions.
template <class U>
inline U load_unit(const uint8_t* address) {
  U value;
  std::memcpy(&value, address, sizeof(U));
  return value;
}

// Writes one unit of type U at a byte address.
template <class U>
inline void store_unit(uint8_t* address, U value) {
  std::memcpy(address, &value, sizeof(U));
}

// The code point stored at an address in a given unit.
uint32_t code_point_read(const uint8_t* address, unsigned unit);

// Stores a code point that fits the unit at an address.
void code_point_write(uint8_t* address, unsigned unit, uint32_t code_point);

// Bytes a buffer needs to be widened in place: the widened units of `used` bytes plus one
// widened unit of room for a terminator (1 to 2: used x 2 + 2; 1 to 4: used x 4 + 4; 2 to 4:
// used x 2 + 4).
size_t widened_size(size_t used, unsigned from, unsigned to);

// Rewrites `count` units of `from` bytes at `data` as units of `to` bytes in place, from the last
// to the first so that no unit is overwritten before it is read. The area must hold
// count x to bytes. Only 1 to 2, 1 to 4 and 2 to 4 are widenings; anything else is error 101.
void widen_units_in_place(uint8_t* data, size_t count, unsigned from, unsigned to);

// A run of text in one unit: `length` units starting at `data`.
struct UnitText {
  const uint8_t* data = nullptr;
  size_t length = 0;
  unsigned unit = 1;
};

// Calls `kernel` with a value of the unit's type (uint8_t, uint16_t or uint32_t): the one place
// where a unit chooses a kernel.
template <class Kernel>
decltype(auto) with_unit_type(unsigned unit, Kernel&& kernel) {
  switch (unit) {
    case 1: return kernel(uint8_t{});
    case 2: return kernel(uint16_t{});
    case 4: return kernel(uint32_t{});
  }
  fatal_no_match_switch();
}

// Calls `kernel` with the text as a span of its unit type. The data is aligned to its unit.
template <class Kernel>
decltype(auto) visit_units(UnitText text, Kernel&& kernel) {
  return with_unit_type(text.unit, [&](auto unit_type) -> decltype(auto) {
    using U = decltype(unit_type);
    return kernel(std::span<const U>(reinterpret_cast<const U*>(text.data), text.length));
  });
}

// Raises script invalid-char with the code point as an integer! argument.
[[noreturn]] void raise_invalid_char(uint32_t code_point);

// Raises script invalid-char for a code point above U+10FFFF, which no encoding holds.
inline void check_code_point(uint32_t code_point) {
  if (code_point > kMaxCodePoint) raise_invalid_char(code_point);
}

}  // namespace qel

// math-ops.h: the operation codes shared by the arithmetic cores (integer!, float!, char! and
// the types built on them) and by the set operations of blocks, strings, bitsets and typesets.
#pragma once

#include <cstdint>

namespace qel {

enum MathOp : int32_t {
  kOpAdd = 0,
  kOpSubtract = 1,
  kOpMultiply = 2,
  kOpDivide = 3,
  kOpRemainder = 4,
  kOpOr = 5,
  kOpAnd = 6,
  kOpXor = 7,
  // set operations only
  kOpUnique = 8,
  kOpUnion = 9,
  kOpIntersect = 10,
  kOpExclude = 11,
  kOpDifference = 12,
};

// The refinements of round, as the integer! and float! rounds take them.
struct RoundMode {
  bool even = false;
  bool down = false;
  bool half_down = false;
  bool floor = false;
  bool ceiling = false;
  bool half_ceiling = false;
};

}  // namespace qel

// sort.cpp: the parts of the sorts that do not depend on the element width or the comparator.
#include "datatypes/series/sort.h"

#include "runtime/error-raise.h"
#include "runtime/heap.h"

namespace qel::sort_detail {

namespace {

// The merge scratch may hold at most this many bytes.
constexpr uint64_t kScratchLimit = UINT32_MAX;

}  // namespace

MergeScratch::MergeScratch(size_t count, size_t width) {
  uint64_t elements = count / 2;
  if (elements > kScratchLimit / width) raise_error(error_id("script", "too-long"));
  bytes_ = static_cast<std::byte*>(heap_try_resize(nullptr, elements * width));
  if (!bytes_) raise_error(error_id("internal", "no-memory"));
}

MergeScratch::~MergeScratch() { heap_release(bytes_); }

unsigned boundary_power(size_t start, size_t left, size_t right, size_t count) {
  // Twice the midpoints, so both are whole numbers; each step reads one more binary digit of
  // midpoint / count for both, until the digits differ. Both stay below 2 x count.
  uint64_t a = 2 * uint64_t{start} + left;
  uint64_t b = a + left + right;
  unsigned power = 0;
  for (;;) {
    ++power;
    if (a >= count) {  // both digits are 1
      a -= count;
      b -= count;
    } else if (b >= count) {  // the digits differ
      return power;
    }
    a <<= 1;
    b <<= 1;
  }
}

}  // namespace qel::sort_detail

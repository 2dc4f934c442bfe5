// utf8-decode.cpp: the counters over UTF-8 text that the lexer uses.
#include "datatypes/series/utf8-decode.h"

#include <algorithm>

namespace qel {

size_t utf8_count_chars(const uint8_t* start, const uint8_t* end) {
  size_t count = 0;
  for (const uint8_t* p = start; p < end; ++count) p += utf8_decode_step(p, end).size;
  return count;
}

const uint8_t* utf8_skip_chars(const uint8_t* p, const uint8_t* end, size_t n) {
  for (; n > 0 && p < end; --n) p += utf8_decode_step(p, end).size;
  return p;
}

const uint8_t* utf8_first_ill_formed(const uint8_t* p, const uint8_t* end) {
  while (p < end) {
    const Utf8Step step = utf8_decode_step(p, end);
    if (step.status != Utf8Status::ok) return p;
    p += step.size;
  }
  return end;
}

std::span<const uint8_t> utf8_error_bytes(const uint8_t* p, const uint8_t* end) {
  return {p, std::min<size_t>(4, static_cast<size_t>(end - p))};
}

}  // namespace qel

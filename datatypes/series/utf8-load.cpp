// utf8-load.cpp: the two passes of loading UTF-8 into text units.
#include "datatypes/series/utf8-load.h"

#include <algorithm>

#include "datatypes/series/string-unit.h"
#include "datatypes/series/utf8-decode.h"
#include "runtime/quit.h"

namespace qel {

namespace {

constexpr uint64_t kHighBits = 0x8080808080808080;
constexpr uint64_t kLowBits = 0x0101010101010101;

// True when none of the eight bytes of a word is CR.
constexpr bool no_cr_in(uint64_t word) {
  uint64_t x = word ^ (kLowBits * '\r');
  return ((x - kLowBits) & ~x & kHighBits) == 0;
}

// Why a walk stopped before the end of its bytes, and where.
struct WalkStop {
  const uint8_t* at;
  Utf8Status status;  // ok: the walk reached the end
};

// The one decoding loop of loading: hands each code point to the sink (eight plain ASCII bytes
// at once where it can), applying the CR rule, and stops at a cut-short or ill-formed sequence.
// The sink's decode reads the sequences that do not start with an ASCII byte.
template <class Sink>
WalkStop walk_utf8(const uint8_t* p, const uint8_t* end, bool crlf, Sink& sink) {
  while (p < end) {
    uint32_t code_point = *p;
    if (code_point >= 0x80) {
      Utf8Step step = Sink::decode(p, end);
      if (step.status != Utf8Status::ok) return {p, step.status};
      sink.put(step.code_point);
      p += step.size;
      continue;
    }
    if (end - p >= 8) {
      uint64_t word = load_unit<uint64_t>(p);
      if ((word & kHighBits) == 0 && (!crlf || no_cr_in(word))) {
        sink.ascii8(p);
        p += 8;
        continue;
      }
    }
    ++p;
    if (code_point == '\r' && crlf) {
      if (p < end && *p == '\n') continue;
      code_point = '\n';
    }
    sink.put(code_point);
  }
  return {p, Utf8Status::ok};
}

// Checks each sequence, counts the code points and keeps the largest.
struct CountSink {
  size_t count = 0;
  uint32_t largest = 0;
  static Utf8Step decode(const uint8_t* p, const uint8_t* end) { return utf8_decode_checked(p, end); }
  void ascii8(const uint8_t*) { count += 8; }
  void put(uint32_t code_point) {
    ++count;
    largest = std::max(largest, code_point);
  }
};

// Stores code points as units of type U. The bytes were scanned: every sequence is whole and
// well-formed, so its lead alone gives its length.
template <class U>
struct StoreSink {
  U* out;
  static Utf8Step decode(const uint8_t* p, const uint8_t*) {
    uint32_t lead = p[0];
    if (lead < 0xE0) return {(lead & 0x1F) << 6 | (p[1] & 0x3Fu), 2, Utf8Status::ok};
    if (lead < 0xF0) return {(lead & 0x0F) << 12 | (p[1] & 0x3Fu) << 6 | (p[2] & 0x3Fu), 3, Utf8Status::ok};
    return {(lead & 0x07) << 18 | (p[1] & 0x3Fu) << 12 | (p[2] & 0x3Fu) << 6 | (p[3] & 0x3Fu), 4, Utf8Status::ok};
  }
  void ascii8(const uint8_t* p) {
    for (int i = 0; i < 8; ++i) out[i] = p[i];
    out += 8;
  }
  void put(uint32_t code_point) { *out++ = static_cast<U>(code_point); }
};

}  // namespace

Utf8Scan utf8_scan(std::span<const uint8_t> bytes, bool crlf, bool keep_bom) {
  Utf8Scan scan;
  const uint8_t* start = bytes.data();
  const uint8_t* end = start + bytes.size();
  if (!keep_bom && bytes.size() > 2 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) scan.begin = 3;
  CountSink sink;
  WalkStop stop = walk_utf8(start + scan.begin, end, crlf, sink);
  scan.end = static_cast<size_t>(stop.at - start);
  scan.remainder = stop.status == Utf8Status::cut_short ? bytes.size() - scan.end : 0;
  scan.ill_formed = stop.status == Utf8Status::ill_formed;
  scan.code_points = sink.count;
  scan.unit = unit_for_code_point(sink.largest);
  return scan;
}

void utf8_load_units(std::span<const uint8_t> bytes, const Utf8Scan& scan, bool crlf, uint8_t* out, unsigned unit) {
  if (scan.ill_formed || unit < scan.unit || scan.end > bytes.size()) fatal_assertion();
  const uint8_t* begin = bytes.data() + scan.begin;
  const uint8_t* end = bytes.data() + scan.end;
  with_unit_type(unit, [&](auto unit_type) {
    using U = decltype(unit_type);
    StoreSink<U> sink{reinterpret_cast<U*>(out)};
    walk_utf8(begin, end, crlf, sink);
  });
}

}  // namespace qel

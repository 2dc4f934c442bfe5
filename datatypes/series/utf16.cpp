// utf16.cpp: loading UTF-16LE into text units and encoding text units as UTF-16.
#include "datatypes/series/utf16.h"

#include <cstring>

namespace qel {

namespace {

// The 16-bit unit at index i of little-endian input.
inline uint16_t unit_at(const uint8_t* bytes, size_t i) {
  return static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
}

constexpr bool is_high_surrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
constexpr bool is_low_surrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// The one loop of loading: hands each code point to the sink, joining surrogate pairs and
// leaving out CR with drop_cr.
template <class Sink>
void walk_utf16le(const uint8_t* bytes, size_t count, bool drop_cr, Sink&& sink) {
  for (size_t i = 0; i < count; ++i) {
    uint32_t code_point = unit_at(bytes, i);
    if (code_point == '\r' && drop_cr) continue;
    if (is_high_surrogate(code_point) && i + 1 < count && is_low_surrogate(unit_at(bytes, i + 1))) {
      code_point = 0x10000 + ((code_point & 0x3FF) << 10) + (unit_at(bytes, ++i) & 0x3FF);
    }
    sink(code_point);
  }
}

}  // namespace

Utf16Scan utf16le_scan(const uint8_t* bytes, size_t count, bool drop_cr) {
  Utf16Scan scan;
  for (size_t i = 0; i < count; ++i) {
    uint8_t high = bytes[2 * i + 1];
    if (high >= 0xD8 && high <= 0xDF) {
      scan.unit = 4;
      break;
    }
    if (high != 0) scan.unit = 2;
  }
  walk_utf16le(bytes, count, drop_cr, [&](uint32_t) { ++scan.code_points; });
  return scan;
}

void utf16le_load_units(const uint8_t* bytes, size_t count, const Utf16Scan& scan, bool drop_cr, uint8_t* out,
                        unsigned unit) {
  if (unit < scan.unit) fatal_assertion();
  with_unit_type(unit, [&](auto unit_type) {
    using U = decltype(unit_type);
    U* next = reinterpret_cast<U*>(out);
    walk_utf16le(bytes, count, drop_cr, [&](uint32_t code_point) { *next++ = static_cast<U>(code_point); });
  });
}

size_t utf16_size_bound(UnitText text) {
  if (text.length > kMaxTextBytes) fatal_assertion();
  return 2 * text.length;
}

size_t utf16_encode_units(UnitText text, bool crlf, char16_t* out) {
  return visit_units(text, [&](auto units) {
    char16_t* const start = out;
    for (uint32_t code_point : units) {
      check_code_point(code_point);
      if (code_point == '\n' && crlf) *out++ = u'\r';
      if (code_point < 0x10000) {
        *out++ = static_cast<char16_t>(code_point);
        continue;
      }
      *out++ = static_cast<char16_t>(0xD800 | (code_point - 0x10000) >> 10);
      *out++ = static_cast<char16_t>(0xDC00 | ((code_point - 0x10000) & 0x3FF));
    }
    return static_cast<size_t>(out - start);
  });
}

std::u16string utf16_from_units(UnitText text, bool crlf) {
  std::u16string units(utf16_size_bound(text), u'\0');
  units.resize(utf16_encode_units(text, crlf, units.data()));
  return units;
}

std::u16string cstring_to_utf16(const char* bytes) {
  size_t length = std::strlen(bytes);
  std::u16string units(length, u'\0');
  for (size_t i = 0; i < length; ++i) units[i] = static_cast<uint8_t>(bytes[i]);
  return units;
}

}  // namespace qel

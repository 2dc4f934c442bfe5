// utf8-encode.cpp: UTF-8 sizes and encoders over runs of text units.
#include "datatypes/series/utf8-encode.h"

#include <algorithm>

namespace qel {

namespace {

constexpr uint64_t kAsciiMask = 0x8080808080808080;

// Encodes units of one type; 1-byte text copies runs of ASCII eight bytes at a time.
template <class U>
size_t encode_kernel(std::span<const U> units, bool crlf, uint8_t* out) {
  uint8_t* const start = out;
  size_t i = 0;
  while (i < units.size()) {
    if constexpr (sizeof(U) == 1) {
      if (!crlf && i + 8 <= units.size() && (load_unit<uint64_t>(&units[i]) & kAsciiMask) == 0) {
        std::memcpy(out, &units[i], 8);
        out += 8;
        i += 8;
        continue;
      }
    }
    uint32_t code_point = units[i++];
    if (code_point == '\n' && crlf) *out++ = '\r';
    out += utf8_encode_char(code_point, out);
  }
  return static_cast<size_t>(out - start);
}

}  // namespace

unsigned utf8_encode_char_bounded(uint32_t code_point, uint8_t* out, size_t room) {
  uint8_t bytes[4];
  unsigned written = static_cast<unsigned>(std::min<size_t>(utf8_encode_char(code_point, bytes), room));
  std::copy_n(bytes, written, out);
  return written;
}

size_t utf8_byte_count(UnitText text) {
  return visit_units(text, [](auto units) {
    size_t bytes = 0;
    for (uint32_t code_point : units) bytes += utf8_char_size(code_point);
    return bytes;
  });
}

size_t utf8_size_bound(UnitText text) {
  constexpr size_t kBytesPerUnit[] = {2, 3, 4};  // by unit shift
  if (text.length > kMaxTextBytes) fatal_assertion();
  return text.length * kBytesPerUnit[unit_shift(text.unit)];
}

size_t utf8_encode_units(UnitText text, bool crlf, uint8_t* out) {
  return visit_units(text, [&](auto units) { return encode_kernel(units, crlf, out); });
}

std::string utf8_from_units(UnitText text, bool crlf) {
  std::string bytes(utf8_size_bound(text), '\0');
  bytes.resize(utf8_encode_units(text, crlf, reinterpret_cast<uint8_t*>(bytes.data())));
  return bytes;
}

size_t utf8_encode_units_bounded(UnitText text, uint8_t* out, size_t room) {
  return visit_units(text, [&](auto units) {
    size_t written = 0;
    for (uint32_t code_point : units) {
      size_t left = room - written;
      if (left == 0) {
        check_code_point(code_point);
        continue;
      }
      written += utf8_encode_char_bounded(code_point, out + written, left);
    }
    return written;
  });
}

}  // namespace qel

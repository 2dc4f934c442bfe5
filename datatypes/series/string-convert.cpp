// string-convert.cpp: text values to UTF-8 and UTF-16.
#include "datatypes/series/string-convert.h"

#include "datatypes/series/string-core.h"
#include "datatypes/series/utf16.h"
#include "datatypes/series/utf8-encode.h"
#include "runtime/quit.h"

namespace qel {

std::string string_to_utf8(const Cell& value, int64_t limit, bool crlf) {
  return utf8_from_units(string_text_part(value, limit), crlf);
}

size_t string_to_utf8_bounded(const Cell& value, uint8_t* out, size_t room, int64_t limit, bool nul) {
  if (nul && room == 0) fatal_assertion();
  size_t written = utf8_encode_units_bounded(string_text_part(value, limit), out, nul ? room - 1 : room);
  if (nul) out[written] = 0;
  return written;
}

std::u16string string_to_utf16(const Cell& value, int64_t limit, bool crlf) {
  return utf16_from_units(string_text_part(value, limit), crlf);
}

}  // namespace qel

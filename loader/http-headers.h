// http-headers.h: a response's header lines as fields, and as the map! that read/info answers.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/cell.h"

namespace qel {

// The "Name: value" fields of header text in order: a line ends at LF or at the end of the
// text, one CR before its end dropped; it splits at its first ":" and blanks after the colon
// are skipped. Lines without a colon, or with nothing before it, give no field.
std::vector<std::pair<std::string_view, std::string_view>> http_header_fields(std::string_view text);

// http-headers-to-map: a new map! from word keys spelled as the names to string! values; a name
// met again turns its entry into a block! of every value in order of arrival (names equal up
// to letter case are one name). Bytes that are no UTF-8 read as U+FFFD.
Cell http_headers_to_map(std::string_view text);

}  // namespace qel

// text-from-bytes.h: a file's (or a body's) bytes as text: one string, or a block of lines.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// string-from-utf8-bytes: a new string! of UTF-8 bytes, a leading byte-order mark skipped, CR LF
// and a lone CR read as LF. Bytes ill-formed, or a sequence cut short by the end, raise access
// invalid-utf8 with those bytes.
Cell string_from_utf8_bytes(std::span<const uint8_t> bytes);

// bytes-to-lines: a new block! of the lines as strings: each ends at a LF, less one CR directly
// before it; bytes after the last LF form a last line as they are; ending with LF adds no empty
// line. Each line's UTF-8 is checked as string_from_utf8_bytes does, with no line-end change.
Cell bytes_to_lines(std::span<const uint8_t> bytes);

// What a read answers for bytes: a binary! of them, else with `lines` their lines, else their
// text (binary wins over lines).
Cell value_from_bytes(std::span<const uint8_t> bytes, bool binary, bool lines);

// A new string! of text the OS hands out (arguments, system names) where nothing must fail:
// bytes that are no UTF-8 become U+FFFD.
Cell string_from_os_text(std::string_view text);

}  // namespace qel

// string-load.h: text values made from bytes: UTF-8 (checked, with a byte-order mark, line-end
// rule and cut-short remainder) and UTF-16LE.
//
// Every load checks all its input before it touches a target, so an error leaves the target as
// it was. Loaded text takes the narrowest unit that holds it (a 1-byte unit up to U+00FF); a
// target's text is replaced, the target being emptied and reset first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// The encodings text may be loaded from.
enum class TextEncoding : uint8_t { utf8, utf16le };

// Raises access invalid-utf8 with a binary! of the bytes shown.
[[noreturn]] void raise_invalid_utf8(std::span<const uint8_t> shown);

// Loads UTF-8 into the target's buffer (a node), or into a new one when the target is 0, and
// answers the node. A leading EF BB BF is skipped; with crlf a CR before a LF is dropped and any
// other CR becomes LF. A sequence cut short by the end stops the load: its bytes are stored in
// remainder (when given). An ill-formed sequence raises invalid-utf8 with the (up to four)
// bytes that start it.
NodeId string_load_utf8(std::span<const uint8_t> bytes, NodeId target, size_t* remainder, bool crlf);

// Loads UTF-16LE (count 16-bit units at any alignment) the same way. Surrogate pairs join; a
// surrogate without its partner is kept as its own code point; with drop_cr every U+000D goes.
NodeId load_utf16le_text(const uint8_t* bytes, size_t count, NodeId target, bool drop_cr);

// Loads bytes of the encoding (UTF-16LE: the byte count, an odd last byte ignored) into the cell:
// it is unset! while loading and becomes a string! at index 0 once the text is in.
void string_load(std::span<const uint8_t> bytes, Cell& cell, TextEncoding encoding);
// The same into a new cell pushed on the value stack; answers it.
Cell* string_load_push(std::span<const uint8_t> bytes, TextEncoding encoding);
// The same into a new cell appended at a block's tail.
void string_load_in(std::span<const uint8_t> bytes, NodeId block, TextEncoding encoding);

// Pushes a new string! made from UTF-8 bytes; bytes that end inside a sequence raise
// invalid-utf8 with a binary! of that sequence's bytes.
Cell* string_from_utf8_strict(std::span<const uint8_t> bytes);

// Appends UTF-8 text at the buffer's tail, widening only when a code point needs it (as loading
// does); U+FEFF is kept. Ill-formed or cut-short bytes raise invalid-utf8 with the buffer
// unchanged.
void string_append_utf8(NodeId node, std::string_view bytes);

}  // namespace qel

// text-coding-natives.cpp: dehex and enhex over percent coding, enbase and debase over the base
// codecs of binary!.
#include "evaluator/text-coding-natives.h"

#include <algorithm>
#include <span>
#include <string>

#include "datatypes/series/base-codecs.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/percent-coding.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "runtime/series-buffer.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The base of /base (64 without it); one without a codec is script invalid-arg.
int32_t chosen_base(const int32_t* refinements) {
  const Cell* base = refinement_argument(refinements[0]);
  if (!base) return 64;
  if (!base_codec_exists(payload_i32(*base, 2))) raise_error(error_id("script", "invalid-arg"), *base);
  return payload_i32(*base, 2);
}

// The room an encoding of n bytes is given: each base's own allowance, never below what the
// encoder writes. Computed in 64 bits, so no input wraps it.
uint64_t encoding_room(int32_t base, uint64_t n) {
  uint64_t room = 0;
  switch (base) {
    case 64: room = 4 * (n / 3) + (4 * (n % 3)) / 3 + 2 * (n / 32) + 5; break;
    case 58: room = 2 * n; break;
    case 16: room = 2 * n + n / 32 + 32; break;
    default: room = 8 * n + 2 * (n / 8) + 4; break;
  }
  return std::max(room, base_encoded_size(base, n));
}

// A new string! with room for the text of n bytes in the base; too much is script too-long.
Cell text_for_encoding(int32_t base, uint64_t n) {
  const uint64_t room = encoding_room(base, n);
  if (room > kSeriesMaxBytes) raise_error(error_id("script", "too-long"));
  Cell text;
  string_make_at(text, static_cast<int64_t>(room));
  return text;
}

// The bytes written into the text in the base; the text becomes the frame's result.
void encode_into(const Cell& text, int32_t base, std::span<const uint8_t> bytes) {
  SeriesBuffer* buffer = series_buffer(text.w2);
  const uint8_t* end = base_encode(base, bytes, buffer->head_address());
  buffer->tail = buffer->head + static_cast<uint32_t>(end - buffer->head_address());
  stack_set_result_only(text);
}

}  // namespace

// dehex value: the text from its index with its escapes decoded, as a new string!; an escaped
// UTF-8 sequence that is ill-formed is access invalid-utf8.
Status native_dehex(const int32_t*) {
  stack_set_result_only(percent_decode_text(value_stack.base[0], Type::string));
  return {};
}

// enhex value: the text's UTF-8 from its index, escaped but for the unreserved characters (a
// string!) or the characters a locator keeps (the other text types), as a new string!.
Status native_enhex(const int32_t*) {
  const Cell& value = value_stack.base[0];
  const PercentTable table = cell_type(value) == Type::string ? PercentTable::component : PercentTable::locator;
  const std::string escaped = percent_encode_text(value, table);
  const Cell* text = string_from_utf8_strict({reinterpret_cast<const uint8_t*>(escaped.data()), escaped.size()});
  stack_set_result_only(*text);
  return {};
}

// debase value /base base-value: the bytes the text stands for, or none when the base refuses it.
Status native_debase(const int32_t* refinements) {
  const int32_t base = chosen_base(refinements);
  Cell decoded;
  stack_set_result_only(binary_decode_base(value_stack.base[0], base, decoded) ? decoded : make_cell(Type::none));
  return {};
}

// enbase value /base base-value: a binary's bytes, or a string's UTF-8, from the index as text.
Status native_enbase(const int32_t* refinements) {
  const int32_t base = chosen_base(refinements);
  const Cell& value = value_stack.base[0];
  if (cell_type(value) == Type::binary) {
    const int64_t n = binary_length(value);
    const Cell text = text_for_encoding(base, static_cast<uint64_t>(n));
    // Read after the allocation, which moves no buffer (only safe points do).
    encode_into(text, base, {binary_head_address(value), static_cast<size_t>(n)});
  } else {
    const std::string utf8 = string_to_utf8(value);
    const Cell text = text_for_encoding(base, utf8.size());
    encode_into(text, base, {reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size()});
  }
  return {};
}

}  // namespace qel

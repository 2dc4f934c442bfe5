// qelbin-fixture.h: a runtime with the evaluator's values, values made from Qel text through
// the lexer, and the serialized images of values as hexadecimal text.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "../evaluator/eval-fixture.h"
#include "loader/lexer/lexer.h"
#include "loader/qelbin/qelbin.h"

namespace qel::testing {

// --- Hand-made compact images ---------------------------------------------------------------

inline std::vector<uint8_t> varint(uint32_t v) {
  std::vector<uint8_t> out;
  while (v >= 0x80) out.push_back(static_cast<uint8_t>(v | 0x80)), v >>= 7;
  out.push_back(static_cast<uint8_t>(v));
  return out;
}

inline void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// A compact image of the body, with a symbol table of the names when there are any.
inline std::vector<uint8_t> image(const std::vector<uint8_t>& body, const std::vector<std::string>& names = {}) {
  std::vector<uint8_t> out{'Q', 'E', 'L', 'B', 'I', 'N', 2, static_cast<uint8_t>(names.empty() ? 1 : 5), 1};
  append(out, varint(static_cast<uint32_t>(body.size())));
  if (!names.empty()) {
    std::vector<uint8_t> area, offsets;
    for (const std::string& name : names) {
      const uint32_t offset = static_cast<uint32_t>(area.size());
      for (int i = 0; i < 4; ++i) offsets.push_back(static_cast<uint8_t>(offset >> (8 * i)));
      area.insert(area.end(), name.begin(), name.end());
      area.push_back(0);
    }
    append(out, varint(static_cast<uint32_t>(names.size())));
    append(out, varint(static_cast<uint32_t>(area.size())));
    append(out, offsets);
    append(out, area);
  }
  append(out, body);
  return out;
}

// The body of an encoded image (its header and symbol table skipped) and its symbols.
struct Parts {
  std::vector<uint8_t> body;
  std::vector<std::string> names;
};
inline Parts parts_of(const std::vector<uint8_t>& bytes) {
  size_t at = 8;
  auto read = [&] {
    uint32_t v = 0;
    for (int shift = 0;; shift += 7) {
      const uint8_t b = bytes[at++];
      v |= uint32_t{b & 0x7Fu} << shift;
      if (!(b & 0x80)) return v;
    }
  };
  read();
  const uint32_t length = read();
  Parts parts;
  if (bytes[7] & 4) {
    const uint32_t count = read(), size = read();
    at += 4 * count;
    std::string name;
    for (uint32_t i = 0; i < size; ++i) {
      if (bytes[at + i]) name += static_cast<char>(bytes[at + i]);
      else parts.names.push_back(name), name.clear();
    }
    at += size;
  }
  parts.body.assign(bytes.begin() + static_cast<ptrdiff_t>(at), bytes.begin() + static_cast<ptrdiff_t>(at + length));
  return parts;
}

class QelbinTest : public EvalTest {
 public:
  // The value the Qel text evaluates to (its last expression).
  static Cell eval_text(std::string_view text) {
    Cell block;
    (void)lexer_transcode(block, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {});
    root_slot_append(block);
    const Outcome outcome = run_block(block);
    EXPECT_EQ(outcome.code, 0u) << text << " raised " << (outcome.code ? error_name(outcome.error) : "");
    root_slot_append(outcome.value);
    return outcome.value;
  }

  static std::vector<uint8_t> bytes_of_binary(const Cell& binary) {
    SeriesBuffer* buffer = series_buffer(binary.w2);
    return {buffer->head_address() + binary.w1, buffer->tail_address()};
  }
  static std::string hex(const std::vector<uint8_t>& bytes) {
    std::string text;
    char digits[3];
    for (uint8_t b : bytes) {
      std::snprintf(digits, sizeof digits, "%02X", b);
      text += digits;
    }
    return text;
  }
  static std::vector<uint8_t> unhex(std::string_view text) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < text.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(text.substr(i, 2)), nullptr, 16)));
    return bytes;
  }

  static Cell binary_cell(const std::vector<uint8_t>& bytes) {
    const NodeId node = new_byte_series(static_cast<int64_t>(bytes.size()));
    SeriesBuffer* buffer = series_buffer(node);
    std::memcpy(buffer->head_address(), bytes.data(), bytes.size());
    buffer->tail = buffer->head + static_cast<uint32_t>(bytes.size());
    return make_cell(Type::binary, 0, node);
  }
  static std::vector<uint8_t> encoded(const Cell& value, bool compact = true) {
    return bytes_of_binary(compact ? qelbin_encode_compact(value) : qelbin_encode_records(value));
  }
  static std::string encode_hex(const Cell& value, bool compact = true) { return hex(encoded(value, compact)); }

  // Decodes in codec mode into a fresh block: the one value, or the block of several.
  static Cell decode(const std::vector<uint8_t>& bytes) {
    Cell block;
    block_make_at(block, 1);
    root_slot_append(block);
    qelbin_decode(bytes, block, true, make_cell(Type::none));
    if (series_buffer_length(block.w2) == 1) return series_buffer(block.w2)->head_cell()[0];
    return block;
  }

  // What decoding raised: "category/id", or "" when it gave a value.
  static std::string decode_error(const std::vector<uint8_t>& bytes) {
    const Caught caught = trap_errors([&] { (void)decode(bytes); });
    if (caught.taken != kThrowError) return "";
    stack_drop(1);
    return error_name(last_built.id);
  }

  static std::string mold_all(const Cell& value) {
    define("qelbin-probe", value);
    return text_of(run("mold/all :qelbin-probe").value);
  }
};

}  // namespace qel::testing

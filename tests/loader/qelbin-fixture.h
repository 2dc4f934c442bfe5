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

  static std::string encode_hex(const Cell& value, bool compact = true) {
    (void)compact;
    return hex(bytes_of_binary(qelbin_encode_compact(value)));
  }

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

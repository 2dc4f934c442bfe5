// binary-loader.cpp: binary! literals: an optional base (2, 16 or 64; none is 16) before "#{",
// the digits up to the closing brace decoded by the base codecs.
#include <vector>

#include "datatypes/series/base-codecs.h"
#include "datatypes/series/binary.h"
#include "loader/lexer/lexer-errors.h"
#include "loader/lexer/token-loaders.h"

namespace qel {

namespace {

constexpr int32_t kBinaryType = static_cast<int32_t>(Type::binary);

// The base written before "#": 16 when there is none, -1 for any other text than 2, 16 or 64.
int32_t literal_base(const uint8_t* start, const uint8_t* hash) {
  std::string_view written(reinterpret_cast<const char*>(start), static_cast<size_t>(hash - start));
  if (written.empty() || written == "16") return 16;
  if (written == "2") return 2;
  if (written == "64") return 64;
  return -1;
}

}  // namespace

LexStatus load_binary(LexerState& state, const uint8_t* start, const uint8_t* end, uint32_t, bool load) {
  const uint8_t* hash = start;
  while (hash < end && *hash != '#') ++hash;
  int32_t base = literal_base(start, hash);
  const uint8_t* digits = hash + 2;  // after "#{"
  if (base < 0 || digits > end) return lexer_syntax_error(state, start, end, kBinaryType);
  std::span<const uint8_t> text(digits, static_cast<size_t>(end - digits));
  std::vector<uint8_t> bytes(base_decoded_capacity(base, text.size()));
  std::optional<size_t> n = base_decode_units(base, text, bytes.data());
  if (!n) return lexer_syntax_error(state, start, end, kBinaryType);
  if (load) {
    std::span<const uint8_t> decoded(bytes.data(), *n);
    lexer_append_value(state, [&](Cell& cell) {
      binary_make_at(cell, static_cast<int64_t>(decoded.size()));
      binary_append_bytes(cell, decoded);
    });
  }
  return LexStatus::ok;
}

}  // namespace qel

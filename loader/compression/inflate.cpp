// inflate.cpp: the deflate decoder: block headers, stored blocks, code tables and symbols.
#include "loader/compression/inflate.h"

#include <array>

#include "loader/compression/bit-reader.h"
#include "loader/compression/huffman-table.h"

namespace qel {
namespace {

// Length symbols 257-285 and distance symbols 0-29: the first value of each and its extra bits.
constexpr std::array<uint16_t, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                  2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<uint16_t, 30> kDistanceBase = {1,    2,    3,    4,    5,    7,     9,     13,    17,  25,
                                                    33,   49,   65,   97,   129,  193,   257,   385,   513, 769,
                                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<uint8_t, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block lists the lengths of the code-length code.
constexpr std::array<uint8_t, 19> kCodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

constexpr unsigned kLiteralRootBits = 10;
constexpr unsigned kDistanceRootBits = 8;
constexpr unsigned kEndOfBlock = 256;
constexpr size_t kMaxLiteralCodes = 286;  // 286 and 287 exist in the fixed code but mean nothing
constexpr size_t kMaxDistanceCodes = 30;

struct CodeTables {
  HuffmanTable literals;
  HuffmanTable distances;
};

// The fixed codes: 8 bits for literals 0-143, 9 for 144-255, 7 for 256-279, 8 for 280-287;
// 5 bits for the 32 distance codes.
const CodeTables& fixed_tables() {
  static const CodeTables tables = [] {
    std::array<uint8_t, 288> literal_lengths{};
    for (size_t symbol = 0; symbol < literal_lengths.size(); ++symbol)
      literal_lengths[symbol] = symbol < 144 ? 8 : symbol < 256 ? 9 : symbol < 280 ? 7 : 8;
    std::array<uint8_t, 32> distance_lengths;
    distance_lengths.fill(5);
    CodeTables made;
    made.literals.build(literal_lengths, HuffmanTable::Kind::literal_lengths, kLiteralRootBits);
    made.distances.build(distance_lengths, HuffmanTable::Kind::distances, kDistanceRootBits);
    return made;
  }();
  return tables;
}

class Inflater {
 public:
  Inflater(OutputSink& sink, std::span<const uint8_t> input)
      : sink_(sink), reader_(input.data(), input.size()), start_(sink.count()) {}

  InflateEnd run();

 private:
  CodecResult stored_block();
  CodecResult dynamic_block();
  CodecResult read_code_lengths(std::span<uint8_t> lengths);
  CodecResult symbols(const CodeTables& tables);

  OutputSink& sink_;
  BitReader reader_;
  int64_t start_;       // where this stream's output begins: no match reaches before it
  CodeTables dynamic_;  // rebuilt by each dynamic block
};

InflateEnd Inflater::run() {
  bool final_block = false;
  while (!final_block) {
    final_block = reader_.take(1);
    unsigned type = reader_.take(2);
    if (reader_.overrun()) return {CodecResult::bad_data, 0};
    CodecResult result = type == 0   ? stored_block()
                         : type == 1 ? symbols(fixed_tables())
                         : type == 2 ? dynamic_block()
                                     : CodecResult::reserved_block;
    if (result != CodecResult::done) return {result, 0};
  }
  reader_.align_to_byte();
  return {CodecResult::done, reader_.byte_offset()};
}

// LEN, its complement NLEN, then LEN bytes copied as they stand.
CodecResult Inflater::stored_block() {
  reader_.align_to_byte();
  uint32_t length = reader_.take(16);
  uint32_t complement = reader_.take(16);
  if (reader_.overrun() || (length ^ 0xFFFF) != complement) return CodecResult::bad_data;
  if (reader_.bytes_left() < length) return CodecResult::stored_past_end;
  return sink_.put(reader_.skip_bytes(length), length) ? CodecResult::done : CodecResult::limit_reached;
}

CodecResult Inflater::dynamic_block() {
  size_t literal_count = reader_.take(5) + 257;
  size_t distance_count = reader_.take(5) + 1;
  size_t code_length_count = reader_.take(4) + 4;
  if (literal_count > kMaxLiteralCodes || distance_count > kMaxDistanceCodes) return CodecResult::bad_data;

  std::array<uint8_t, 19> code_length_lengths{};
  for (size_t i = 0; i < code_length_count; ++i) code_length_lengths[kCodeLengthOrder[i]] = reader_.take(3);
  HuffmanTable code_lengths;
  if (reader_.overrun() || !code_lengths.build(code_length_lengths, HuffmanTable::Kind::code_lengths, 7))
    return CodecResult::bad_data;

  std::array<uint8_t, kMaxLiteralCodes + kMaxDistanceCodes> lengths{};
  std::span<uint8_t> both(lengths.data(), literal_count + distance_count);
  size_t filled = 0;
  while (filled < both.size()) {
    int symbol = code_lengths.decode(reader_);
    if (symbol < 0) return CodecResult::bad_data;
    if (symbol < 16) {
      both[filled++] = static_cast<uint8_t>(symbol);
      continue;
    }
    // 16 repeats the previous length 3-6 times; 17 and 18 give 3-10 and 11-138 zeros.
    if (symbol == 16 && filled == 0) return CodecResult::bad_data;
    uint8_t repeated = symbol == 16 ? both[filled - 1] : 0;
    size_t times = symbol == 16 ? 3 + reader_.take(2) : symbol == 17 ? 3 + reader_.take(3) : 11 + reader_.take(7);
    if (times > both.size() - filled) return CodecResult::bad_data;
    for (; times > 0; --times) both[filled++] = repeated;
  }
  if (reader_.overrun() || both[kEndOfBlock] == 0) return CodecResult::bad_data;
  if (!dynamic_.literals.build(both.first(literal_count), HuffmanTable::Kind::literal_lengths, kLiteralRootBits) ||
      !dynamic_.distances.build(both.subspan(literal_count), HuffmanTable::Kind::distances, kDistanceRootBits))
    return CodecResult::bad_data;
  return symbols(dynamic_);
}

// One length/distance pair: the length's extra bits, the distance code and its extra bits,
// then the copy. `produced` is what this stream has output so far.
CodecResult match(BitReader& reader, OutputSink& sink, int64_t produced, unsigned length_symbol,
                  const HuffmanTable& distances) {
  size_t length_index = length_symbol - 257;
  if (length_index >= kLengthBase.size()) return CodecResult::bad_data;
  int64_t length = kLengthBase[length_index] + reader.take(kLengthExtra[length_index]);
  int distance_symbol = distances.decode(reader);
  if (distance_symbol < 0 || static_cast<size_t>(distance_symbol) >= kDistanceBase.size())
    return CodecResult::bad_data;
  int64_t distance = kDistanceBase[distance_symbol] + reader.take(kDistanceExtra[distance_symbol]);
  if (reader.overrun()) return CodecResult::bad_data;
  if (distance > produced) return CodecResult::distance_too_far;
  return sink.copy_back(distance, length) ? CodecResult::done : CodecResult::limit_reached;
}

// Literals and matches up to the end-of-block code.
CodecResult decode_symbols(BitReader& reader, OutputSink& sink, int64_t start, const CodeTables& tables) {
  for (;;) {
    int symbol = tables.literals.decode(reader);
    if (symbol < 0 || reader.overrun()) return CodecResult::bad_data;
    if (symbol < static_cast<int>(kEndOfBlock)) {
      if (!sink.put_byte(static_cast<uint8_t>(symbol))) return CodecResult::limit_reached;
      continue;
    }
    if (symbol == static_cast<int>(kEndOfBlock)) return CodecResult::done;
    CodecResult result = match(reader, sink, sink.count() - start, symbol, tables.distances);
    if (result != CodecResult::done) return result;
  }
}

// The hot loop works on local copies of the reader and the sink: a byte stored into the output
// may alias any memory as far as the compiler knows, so members would be reloaded after every
// byte, while locals whose address never escapes stay in registers.
CodecResult Inflater::symbols(const CodeTables& tables) {
  BitReader reader = reader_;
  OutputSink sink = sink_;
  CodecResult result = decode_symbols(reader, sink, start_, tables);
  reader_ = reader;
  sink_ = sink;
  return result;
}

}  // namespace

InflateEnd inflate_stream(OutputSink& sink, std::span<const uint8_t> input) {
  return Inflater(sink, input).run();
}

CodecResult finish_decode(const OutputSink& sink, int32_t& size) {
  size = static_cast<int32_t>(sink.count());
  return sink.overflowed() ? CodecResult::output_too_small : CodecResult::done;
}

CodecResult inflate_decode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap) {
  if (length < 0) return CodecResult::bad_data;
  OutputSink sink(output, size, cap);
  InflateEnd end = inflate_stream(sink, {input, static_cast<size_t>(length)});
  if (end.result != CodecResult::done) return end.result;
  return finish_decode(sink, size);
}

}  // namespace qel

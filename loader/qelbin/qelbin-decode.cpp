// qelbin-decode.cpp: the common entry of both variants: the header, the optional decompression
// and the literal table.
#include <cstdio>
#include <optional>
#include <vector>

#include "evaluator/library-code.h"
#include "loader/compression/lz77.h"
#include "loader/qelbin/qelbin-decoder.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/quit.h"
#include "runtime/root-block.h"
#include "runtime/series.h"

namespace qel {

namespace {

// The block the last normal-mode decoding filled (the root block at start-up) and where its
// literals begin.
NodeId literal_table_node = 0;
uint32_t literal_table_base = 0;
uint32_t literal_table_count = 0;
std::chrono::duration<double, std::milli> boot_decode_time{};

// A header that is no image: the codec's error, or at start-up the message and error 98.
[[noreturn]] void refuse_image(bool codec_mode, const Cell& given, const char* message) {
  if (codec_mode) raise_error(error_id("script", "invalid-data"), given);
  std::fputs(message, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  quit_with_runtime_error(kErrorAssertionFailed, 0);
}

// The header fields after the flags, the symbol table, then the records: the body length
// counts the records alone.
void decode_compact(QelbinDecodeState& state, bool symbols) {
  QelbinInput& in = state.input;
  in.varint();  // roots: records are read until the body ends
  const int32_t body_length = in.varint();
  if (symbols) state.symbols = QelbinSymbols::read_compact(in);
  in.require(body_length >= 0 && static_cast<uint64_t>(body_length) <= in.left());
  in = in.limited(static_cast<uint64_t>(body_length));
  qelbin_decode_compact_body(state);
}

// The record variant: roots and body length as 32-bit words, the symbol table, the records.
void decode_records(QelbinDecodeState& state, bool symbols, const Cell& given) {
  QelbinInput& in = state.input;
  if (in.left() < 8 && state.codec_mode) raise_error(error_id("script", "invalid-data"), given);
  in.raw32();  // roots
  const int32_t body_length = static_cast<int32_t>(in.raw32());
  if (symbols) state.symbols = QelbinSymbols::read_words(in);
  in.require(body_length >= 0 && static_cast<uint64_t>(body_length) <= in.left());
  in = in.limited(static_cast<uint64_t>(body_length));
  qelbin_decode_record_body(state);
}

}  // namespace

void qelbin_decode(std::span<const uint8_t> image, const Cell& parent, bool codec_mode, const Cell& given) {
  NoGcScope no_collection;  // pointers into the input and the parent's cells stay valid
  const size_t magic = kQelbinMagic.size();
  if (image.size() < magic || std::string_view(reinterpret_cast<const char*>(image.data()), magic) != kQelbinMagic)
    refuse_image(codec_mode, given, "Error: Not a Qelbin file!");
  if (image.size() < kQelbinFlagsOffset + 1) refuse_image(codec_mode, given, "Error: Not a Qelbin file!");
  const uint8_t flags = image[kQelbinFlagsOffset];
  std::vector<uint8_t> unpacked;
  QelbinInput input(image.data(), 0, image.data() + kQelbinFlagsOffset + 1, image.data() + image.size());
  if (flags & kFlagCompressed) {
    std::optional<std::vector<uint8_t>> decompressed = decompress_bytes(image.subspan(kQelbinFlagsOffset + 1));
    if (!decompressed) refuse_image(codec_mode, given, "Error: Qelbin compressed data corrupted!");
    unpacked = std::move(*decompressed);
    // Offsets in the decompressed bytes are reported after the eight header bytes.
    input = QelbinInput(unpacked.data(), kQelbinFlagsOffset + 1, unpacked.data(), unpacked.data() + unpacked.size());
  }
  const uint32_t base = codec_mode ? 0 : series_buffer_length(parent.w2);
  QelbinDecodeState state{input, {}, parent, base, codec_mode, {}};
  if (flags & kFlagCompact) decode_compact(state, flags & kFlagSymbols);
  else decode_records(state, flags & kFlagSymbols, given);
  if (!codec_mode) {
    literal_table_node = parent.w2;
    literal_table_base = base;
    literal_table_count = series_buffer_length(parent.w2) - base;
  }
}

void qelbin_decode_boot(const uint8_t* image, size_t size) {
  if (!image) return;
  const auto start = std::chrono::steady_clock::now();
  LibraryCodeScope library_code;
  qelbin_decode({image, size}, make_cell(Type::block, 0, root_block()), false, make_cell(Type::none));
  boot_decode_time = std::chrono::steady_clock::now() - start;
}

std::chrono::duration<double, std::milli> qelbin_boot_decode_time() { return boot_decode_time; }

Cell* literal_slot(uint32_t n) { return series_buffer(literal_table_node)->head_cell() + literal_table_base + n; }
uint32_t literal_slot_payload(uint32_t n) { return literal_slot(n)->w2; }
uint32_t literal_base() { return literal_table_base; }
uint32_t literal_count() { return literal_table_count; }

}  // namespace qel

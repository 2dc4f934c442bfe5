// compression-natives.cpp: sizing the output, the one retry a codec may ask for, and the codec
// statuses as errors.
//
// A codec reports the size it needs; that report is not trusted: a second "too small", or a
// negative size, is bad data, and a size beyond what a series can hold is no memory.
#include "evaluator/compression-natives.h"

#include <string>
#include <vector>

#include "datatypes/series/binary.h"
#include "datatypes/series/string-convert.h"
#include "loader/compression-methods.h"
#include "loader/compression/codec-result.h"
#include "runtime/action-entries.h"
#include "runtime/error-raise.h"
#include "runtime/series-buffer.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int32_t kCodecDone = static_cast<int32_t>(CodecResult::done);
constexpr int32_t kCodecTooSmall = static_cast<int32_t>(CodecResult::output_too_small);
constexpr int32_t kCodecCapHit = static_cast<int32_t>(CodecResult::limit_reached);

CompressionMethod method_of(const Cell& word) {
  const std::optional<CompressionMethod> method = compression_method_of(word);
  if (!method) raise_error(error_id("script", "invalid-arg"), word);
  return *method;
}

CodecFunction encoder(CompressionMethod method) {
  switch (method) {
    case CompressionMethod::zlib: return services().zlib_encode;
    case CompressionMethod::deflate: return services().deflate_encode;
    default: return services().gzip_encode;
  }
}

CodecFunction decoder(CompressionMethod method) {
  switch (method) {
    case CompressionMethod::zlib: return services().zlib_decode;
    case CompressionMethod::deflate: return services().inflate_decode;
    default: return services().gzip_decode;
  }
}

// A codec status other than done and too small as its error.
void check_status(int32_t status, int32_t size, const Cell& culprit) {
  if (status == kCodecDone || status == kCodecTooSmall) return;
  if (status == kCodecCapHit) raise_error(error_id("internal", "limit-hit"), make_cell(Type::integer, 0, static_cast<uint32_t>(size)));
  raise_error(error_id("script", "invalid-data"), culprit);
}

// A new binary! of the capacity, left on the stack as the result cell; a negative capacity is
// bad data, one beyond the series limit no memory.
Cell& output_binary(int64_t capacity, const Cell& culprit) {
  if (capacity < 0) raise_error(error_id("script", "invalid-data"), culprit);
  if (static_cast<uint64_t>(capacity) > kSeriesMaxBytes) raise_error(error_id("internal", "no-memory"));
  Cell binary;
  binary_make_at(binary, capacity);
  stack_set_result_only(binary);
  return *value_stack.base;
}

// Runs the codec into outputs of the capacity, then once more at the size it asks for; the
// result's tail is the size written.
void run_codec(CodecFunction codec, const std::vector<uint8_t>& input, int64_t capacity, const Cell& culprit) {
  for (int attempt = 0; attempt < 2; ++attempt) {
    Cell& output = output_binary(capacity, culprit);
    int32_t size = static_cast<int32_t>(capacity);
    const int32_t status = codec(binary_head_address(output), &size, input.data(), static_cast<int32_t>(input.size()));
    check_status(status, size, culprit);
    if (status == kCodecDone) {
      if (size < 0 || size > capacity) raise_error(error_id("script", "invalid-data"), culprit);
      SeriesBuffer* buffer = series_buffer(output.w2);
      buffer->tail = buffer->head + static_cast<uint32_t>(size);
      return;
    }
    capacity = size;
  }
  raise_error(error_id("script", "invalid-data"), culprit);
}

}  // namespace

Status native_compress(const int32_t*) {
  const Cell method_word = value_stack.base[1];
  const CompressionMethod method = method_of(method_word);
  const std::vector<uint8_t> input = comparable_bytes(value_stack.base[0]);
  run_codec(encoder(method), input, static_cast<int64_t>(input.size()) + 32, method_word);
  return {};
}

Status native_decompress(const int32_t* refinements) {
  const Cell data = value_stack.base[0];
  const CompressionMethod method = method_of(value_stack.base[1]);
  const Cell* size_argument = refinement_argument(refinements[0]);
  int64_t capacity = size_argument ? payload_i32(*size_argument, 2) : 0;
  if (capacity < 0) raise_error(error_id("script", "invalid-arg"), *size_argument);
  const std::vector<uint8_t> input = comparable_bytes(data);
  const CodecFunction codec = decoder(method);
  // gzip carries its size in its trailer; the others are asked when /size promises too little.
  if (method == CompressionMethod::gzip || capacity <= static_cast<int64_t>(input.size())) {
    int32_t needed = 0;
    const int32_t status = codec(nullptr, &needed, input.data(), static_cast<int32_t>(input.size()));
    check_status(status, needed, data);
    capacity = needed;
  }
  run_codec(codec, input, capacity, data);
  return {};
}

}  // namespace qel

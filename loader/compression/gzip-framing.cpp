// gzip-framing.cpp: member headers, trailers and the walk over a series of members.
#include "loader/compression/gzip-framing.h"

#include <algorithm>
#include <optional>
#include <span>

#include "loader/compression/byte-order.h"
#include "loader/compression/deflate.h"
#include "loader/compression/inflate.h"
#include "runtime/checksum.h"

namespace qel {
namespace {

// ID1 ID2 CM FLG, MTIME (4), XFL, OS.
constexpr size_t kFixedHeaderSize = 10;
// CRC-32 and ISIZE, little-endian.
constexpr size_t kTrailerSize = 8;
// Shorter than a header and a trailer cannot be a member.
constexpr int32_t kMinimumLength = 18;

constexpr uint8_t kHeaderCrcFlag = 0x02;
constexpr uint8_t kExtraFlag = 0x04;
constexpr uint8_t kNameFlag = 0x08;
constexpr uint8_t kCommentFlag = 0x10;
constexpr uint8_t kReservedFlags = 0xE0;

// Past a NUL-terminated field starting at `at`, or nothing when the NUL is not in the input.
std::optional<size_t> skip_zero_terminated(std::span<const uint8_t> member, size_t at) {
  auto nul = std::find(member.begin() + static_cast<ptrdiff_t>(at), member.end(), 0);
  if (nul == member.end()) return std::nullopt;
  return static_cast<size_t>(nul - member.begin()) + 1;
}

// The length of the member header at the start of `member`, or nothing when it is not one:
// another method than deflate, reserved flags, a field running past the input, a header CRC
// that does not match the bytes before it.
std::optional<size_t> member_header_length(std::span<const uint8_t> member) {
  if (member.size() < kFixedHeaderSize || member[0] != 0x1F || member[1] != 0x8B || member[2] != 8)
    return std::nullopt;
  uint8_t flags = member[3];
  if (flags & kReservedFlags) return std::nullopt;
  std::optional<size_t> at = kFixedHeaderSize;
  if (flags & kExtraFlag) {
    if (member.size() - *at < 2) return std::nullopt;
    size_t extra_length = read_little_endian_16(&member[*at]);
    *at += 2;
    if (member.size() - *at < extra_length) return std::nullopt;
    *at += extra_length;
  }
  if (flags & kNameFlag) at = skip_zero_terminated(member, *at);
  if (at && (flags & kCommentFlag)) at = skip_zero_terminated(member, *at);
  if (at && (flags & kHeaderCrcFlag)) {
    if (member.size() - *at < 2) return std::nullopt;
    uint16_t expected = read_little_endian_16(&member[*at]);
    if ((crc32_compute(member.first(*at)) & 0xFFFF) != expected) return std::nullopt;
    *at += 2;
  }
  return at;
}

// Decodes the member at the start of `rest` onto the sink; answers the bytes it took.
struct MemberEnd {
  CodecResult result;
  size_t consumed;
};
MemberEnd decode_member(OutputSink& sink, std::span<const uint8_t> rest) {
  std::optional<size_t> header = member_header_length(rest);
  if (!header) return {CodecResult::bad_data, 0};
  int64_t member_start = sink.count();
  InflateEnd end = inflate_stream(sink, rest.subspan(*header));
  if (end.result != CodecResult::done) return {end.result, 0};
  size_t trailer_at = *header + end.consumed;
  if (rest.size() - trailer_at < kTrailerSize) return {CodecResult::bad_data, 0};
  uint64_t produced = static_cast<uint64_t>(sink.count() - member_start);
  if (read_little_endian_32(&rest[trailer_at + 4]) != static_cast<uint32_t>(produced))
    return {CodecResult::bad_data, 0};
  // The CRC can only be compared when the member's bytes are all in the buffer; a call that
  // reports the size needed leaves it to the next.
  uint32_t expected = read_little_endian_32(&rest[trailer_at]);
  if (!sink.overflowed() && crc32_compute({sink.stored_from(member_start), produced}) != expected)
    return {CodecResult::bad_data, 0};
  return {CodecResult::done, trailer_at + kTrailerSize};
}

}  // namespace

CodecResult gzip_encode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap) {
  if (length < 0) return CodecResult::bad_data;
  std::span<const uint8_t> data(input, static_cast<size_t>(length));
  constexpr uint8_t kHeader[kFixedHeaderSize] = {0x1F, 0x8B, 8, 0, 0, 0, 0, 0, 4, 4};
  uint8_t trailer[kTrailerSize];
  write_little_endian_32(trailer, crc32_compute(data));
  write_little_endian_32(trailer + 4, static_cast<uint32_t>(length));
  return deflate_framed(output, size, data, cap, kHeader, trailer);
}

CodecResult gzip_decode(uint8_t* output, int32_t& size, const uint8_t* input, int32_t length, int64_t cap) {
  if (length < kMinimumLength) return CodecResult::bad_data;
  OutputSink sink(output, size, cap);
  std::span<const uint8_t> rest(input, static_cast<size_t>(length));
  while (!rest.empty()) {
    MemberEnd end = decode_member(sink, rest);
    if (end.result != CodecResult::done) return end.result;
    rest = rest.subspan(end.consumed);
  }
  return finish_decode(sink, size);
}

}  // namespace qel

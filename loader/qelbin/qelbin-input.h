// qelbin-input.h: bounded reading of an image's bytes. Every read checks the end first; every
// failed check raises script rb-invalid-record naming the failing byte's 1-based offset from
// the image's magic.
#pragma once

#include <cstdint>
#include <span>

#include "loader/compression/byte-order.h"

namespace qel {

class QelbinInput {
 public:
  // Bytes [at, end); `origin` is the first byte whose offset is `origin_offset` + 1 (the magic
  // itself, or the first decompressed byte of a compressed image, which stands at offset 9).
  QelbinInput(const uint8_t* origin, uint64_t origin_offset, const uint8_t* at, const uint8_t* end)
      : origin_(origin), origin_offset_(origin_offset), at_(at), end_(end) {}

  [[noreturn]] void fail() const { fail_at(at_); }
  [[noreturn]] void fail_at(const uint8_t* position) const;
  // Fails unless the condition holds.
  void require(bool condition) const {
    if (!condition) [[unlikely]] fail();
  }

  const uint8_t* position() const { return at_; }
  const uint8_t* end() const { return end_; }
  uint64_t left() const { return static_cast<uint64_t>(end_ - at_); }
  bool at_end() const { return at_ >= end_; }
  void seek(const uint8_t* position) { at_ = position; }
  // The input cut to its first n bytes from here (n no more than what is left).
  QelbinInput limited(uint64_t n) const { return {origin_, origin_offset_, at_, at_ + n}; }

  uint8_t byte() {
    require(at_ < end_);
    return *at_++;
  }
  uint8_t peek() const {
    require(at_ < end_);
    return *at_;
  }
  // The next n bytes; the position moves past them.
  const uint8_t* take(uint64_t n) {
    require(n <= left());
    const uint8_t* taken = at_;
    at_ += n;
    return taken;
  }
  // Little-endian 32 bits.
  uint32_t raw32() { return read_little_endian_32(take(4)); }
  // Unsigned LEB128 of at most five bytes, read as a signed 32-bit value: a fifth byte with any
  // of its bits 4-7 set is refused.
  int32_t varint();
  // A varint mapped back from its zigzag form.
  int32_t zigzag() {
    const uint32_t u = static_cast<uint32_t>(varint());
    return static_cast<int32_t>((u >> 1) ^ (0u - (u & 1)));
  }
  // A varint that counts something stored after it: 0 or more and no more than the bytes left.
  int32_t count() {
    const int32_t n = varint();
    require(n >= 0 && static_cast<uint64_t>(n) <= left());
    return n;
  }

 private:
  const uint8_t* origin_;
  uint64_t origin_offset_;
  const uint8_t* at_;
  const uint8_t* end_;
};

}  // namespace qel

// bit-writer.h: least-significant-bit-first writing into a caller's buffer, counting past its end.
#pragma once

#include <cstdint>
#include <cstring>

namespace qel {

// Encoders run to the end whatever the capacity, so one call answers the exact size needed:
// bytes up to the capacity are stored, the rest only counted. Bits gather in a 64-bit
// accumulator and leave it four bytes at a time.
class BitWriter {
 public:
  BitWriter(uint8_t* buffer, int64_t capacity) : buffer_(buffer), capacity_(capacity < 0 ? 0 : capacity) {}

  // Appends the low n bits of value (n at most 32), the lowest first.
  void put(uint32_t value, unsigned n) {
    bits_ |= uint64_t{value} << count_;
    count_ += n;
    if (count_ >= 32) {
      emit(static_cast<uint32_t>(bits_), 4);
      bits_ >>= 32;
      count_ -= 32;
    }
  }

  // Pads the last partial byte with 0 bits and writes out what is left.
  void finish() {
    unsigned bytes = (count_ + 7) / 8;
    emit(static_cast<uint32_t>(bits_), bytes);
    bits_ = 0;
    count_ = 0;
  }

  // Whole bytes produced so far, stored or only counted; a partial byte is not yet among them.
  int64_t count() const { return position_; }
  bool overflowed() const { return position_ > capacity_; }

 private:
  void emit(uint32_t word, unsigned bytes) {
    if (position_ + 4 <= capacity_) {
      std::memcpy(buffer_ + position_, &word, 4);  // the host is little-endian
    } else {
      for (unsigned i = 0; i < bytes; ++i)
        if (position_ + i < capacity_) buffer_[position_ + i] = static_cast<uint8_t>(word >> (8 * i));
    }
    position_ += bytes;
  }

  uint8_t* buffer_;
  int64_t capacity_;
  int64_t position_ = 0;
  uint64_t bits_ = 0;
  unsigned count_ = 0;
};

}  // namespace qel

// bit-reader.h: least-significant-bit-first reading of a byte span, for the deflate decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace qel {

// Keeps at least 56 bits buffered. Past the input's end it feeds zero bits and remembers how
// many it invented, so a lookup may peek beyond the end; a caller that consumed any invented bit
// has met a truncated stream (`overrun`). Prefix codes make the peek harmless: a code that ends
// inside the input never depends on the padding.
class BitReader {
 public:
  BitReader(const uint8_t* input, size_t length) : input_(input), length_(length) { refill(); }

  uint32_t peek(unsigned n) const { return static_cast<uint32_t>(bits_ & ((uint64_t{1} << n) - 1)); }
  void drop(unsigned n) {
    bits_ >>= n;
    count_ -= n;
    if (count_ < 32) refill();
  }
  uint32_t take(unsigned n) {
    uint32_t value = peek(n);
    drop(n);
    return value;
  }

  // Drops the bits up to the next byte boundary of the input.
  void align_to_byte() { drop(count_ % 8); }

  // Bits consumed so far, invented ones included.
  uint64_t bits_consumed() const { return uint64_t{position_} * 8 - count_; }
  bool overrun() const { return bits_consumed() > uint64_t{length_} * 8; }
  // The input offset of the next whole byte (after align_to_byte).
  size_t byte_offset() const { return static_cast<size_t>((bits_consumed() + 7) / 8); }

  // After align_to_byte: the input bytes still unread from the current position.
  size_t bytes_left() const;
  // After align_to_byte: skips n bytes the caller has checked are there, handing them out.
  const uint8_t* skip_bytes(size_t n);

 private:
  void refill() {
    if (position_ + 8 <= length_) {
      uint64_t word;
      std::memcpy(&word, input_ + position_, 8);
      bits_ |= word << count_;
      position_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56) {
      uint64_t byte = position_ < length_ ? input_[position_] : 0;
      bits_ |= byte << count_;
      ++position_;
      count_ += 8;
    }
  }
  void reset_to(size_t offset) {
    position_ = offset;
    bits_ = 0;
    count_ = 0;
    refill();
  }

  const uint8_t* input_;
  size_t length_;
  size_t position_ = 0;  // next input byte to load (may pass length_ by the padding)
  uint64_t bits_ = 0;
  unsigned count_ = 0;
};

inline size_t BitReader::bytes_left() const {
  size_t offset = byte_offset();
  return offset < length_ ? length_ - offset : 0;
}

inline const uint8_t* BitReader::skip_bytes(size_t n) {
  size_t offset = byte_offset();
  reset_to(offset + n);
  return input_ + offset;
}

}  // namespace qel

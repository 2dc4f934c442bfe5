// output-sink.h: where decoders write: stores up to the buffer's capacity and counts past it.
#pragma once

#include <cstdint>
#include <cstring>

namespace qel {

// Decoders run to the end even when the buffer is too small, so one call answers the exact size
// needed. Bytes past the capacity are only counted: a match copies from earlier output, and
// everything after the first byte that did not fit lies past the capacity too, so no stored byte
// ever depends on an uncounted one. The count never passes `cap`: a write that would is refused.
class OutputSink {
 public:
  OutputSink(uint8_t* buffer, int64_t capacity, int64_t cap)
      : buffer_(buffer), capacity_(capacity < 0 ? 0 : capacity), cap_(cap) {}

  int64_t count() const { return count_; }
  bool overflowed() const { return count_ > capacity_; }
  // The stored bytes from `from` to the end, when all of them were stored.
  const uint8_t* stored_from(int64_t from) const { return buffer_ + from; }

  // Appends bytes; false when the cap would be passed.
  bool put(const uint8_t* bytes, int64_t n) {
    if (n > cap_ - count_) return false;
    int64_t room = capacity_ - count_;
    if (room > 0) std::memcpy(buffer_ + count_, bytes, static_cast<size_t>(n < room ? n : room));
    count_ += n;
    return true;
  }

  bool put_byte(uint8_t byte) {
    if (count_ >= cap_) return false;
    if (count_ < capacity_) buffer_[count_] = byte;
    ++count_;
    return true;
  }

  // Copies n bytes from `distance` back, byte by byte so that an overlap repeats the pattern.
  // The caller has checked that the distance stays inside the output; false past the cap.
  bool copy_back(int64_t distance, int64_t n) {
    if (n > cap_ - count_) return false;
    int64_t stored = capacity_ - count_;
    if (stored > n) stored = n;
    if (stored > 0) {
      uint8_t* to = buffer_ + count_;
      const uint8_t* from = to - distance;
      for (int64_t i = 0; i < stored; ++i) to[i] = from[i];
    }
    count_ += n;
    return true;
  }

 private:
  uint8_t* buffer_;
  int64_t capacity_;
  int64_t cap_;
  int64_t count_ = 0;
};

}  // namespace qel

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
    if (stored > 0) copy_within(buffer_ + count_, distance, stored, capacity_ - count_);
    count_ += n;
    return true;
  }

 private:
  // Copies n bytes from `distance` back to `to`, with `room` bytes of buffer from `to` on.
  // Eight bytes a step from a source eight or more behind, so no step reads what it writes: a
  // short distance first lays down whole patterns byte by byte until a whole number of them
  // spans eight. With room to spare the last step may write past n: those bytes are not yet
  // output and are written again before they are.
  static void copy_within(uint8_t* to, int64_t distance, int64_t n, int64_t room) {
    if (distance == 1) {
      std::memset(to, to[-1], static_cast<size_t>(n));
      return;
    }
    int64_t i = 0;
    int64_t step = distance;
    if (distance < 8) {
      step = distance * ((8 + distance - 1) / distance);
      for (; i < n && i < step; ++i) to[i] = to[i - distance];
    }
    int64_t whole = n + 8 <= room ? n : n - 7;
    for (; i < whole; i += 8) std::memcpy(to + i, to + i - step, 8);
    for (; i < n; ++i) to[i] = to[i - step];
  }

  uint8_t* buffer_;
  int64_t capacity_;
  int64_t cap_;
  int64_t count_ = 0;
};

}  // namespace qel

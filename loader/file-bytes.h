// file-bytes.h: a file's bytes, whole or a range of them, from regular files and from streams
// (pipes, FIFOs, devices, /proc files whose size reads as 0) alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "runtime/cell.h"

namespace qel {

// The most bytes one series holds, and so the most one read takes by default.
inline constexpr uint64_t kSeriesByteCeiling = INT32_MAX;

// Bytes read so far, in one buffer that grows by doubling while a stream is read; or, when
// `series` is set, straight onto the tail of that byte series (a binary! value without a second
// copy; nothing may collect meanwhile), `data` then unused.
struct FileBytes {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  size_t capacity = 0;
  NodeId series = 0;
  std::span<const uint8_t> bytes() const { return {data.get(), size}; }
  // Room for at least `more` bytes past what was taken (doubling when it must grow, else
  // exactly): where they go.
  uint8_t* room(size_t more);
  // Counts `got` bytes put into the room as taken.
  void took(size_t got);
};

enum class ReadStatus : uint8_t {
  ok,
  cannot_open,  // the path cannot be opened or read (a directory included)
  too_large,    // the bytes asked for pass the cap
};

struct ByteRange {
  uint64_t offset = 0;             // bytes passed over first
  std::optional<uint64_t> length;  // at most this many; none: to the end
};

// Reads the range of the file at the path into out. A regular file takes one allocation of the
// bytes it holds there and keeps the count actually read (it may shrink meanwhile); anything else
// is read in one pass of 64 KB steps, its offset read and dropped. More than `cap` bytes wanted
// is too_large, found before they are allocated.
ReadStatus read_file_bytes(const char* path, ByteRange range, uint64_t cap, FileBytes& out);

// The size of the regular file at the path; none for a missing path and for anything else.
std::optional<uint64_t> regular_file_size(const char* path);

}  // namespace qel

// file-bytes.cpp: reading with pread on regular files and a growing buffer on streams; every
// call is retried on EINTR and short counts are read on.
#include "loader/file-bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "loader/file-descriptor.h"
#include "runtime/series-buffer.h"
#include "runtime/series.h"

namespace qel {

namespace {

constexpr size_t kStreamStep = 65536;

// One read (pread at an offset when given), retried on EINTR; -1 on failure.
ssize_t read_some(int fd, uint8_t* into, size_t count, std::optional<uint64_t> offset) {
  for (;;) {
    ssize_t got = offset ? ::pread(fd, into, count, static_cast<off_t>(*offset)) : ::read(fd, into, count);
    if (got >= 0 || errno != EINTR) return got;
  }
}

// A regular file: its bytes in range, one allocation of what the size promises.
ReadStatus read_regular(int fd, uint64_t size, ByteRange range, uint64_t cap, FileBytes& out) {
  uint64_t available = size > range.offset ? size - range.offset : 0;
  uint64_t wanted = range.length ? std::min(*range.length, available) : available;
  if (wanted > cap) return ReadStatus::too_large;
  out.size = 0;
  uint8_t* into = out.room(static_cast<size_t>(wanted));
  for (uint64_t done = 0; done < wanted;) {
    ssize_t got = read_some(fd, into + done, wanted - done, range.offset + done);
    if (got < 0) return ReadStatus::cannot_open;
    if (got == 0) break;  // the file shrank: what was read counts
    done += static_cast<uint64_t>(got);
    out.took(static_cast<size_t>(got));
  }
  return ReadStatus::ok;
}

// Anything else: one pass, the offset read and dropped, ending at the length or the end.
ReadStatus read_stream(int fd, ByteRange range, uint64_t cap, FileBytes& out) {
  uint8_t dropped[kStreamStep];
  for (uint64_t skipped = 0; skipped < range.offset;) {
    ssize_t got = read_some(fd, dropped, std::min<uint64_t>(kStreamStep, range.offset - skipped), std::nullopt);
    if (got < 0) return ReadStatus::cannot_open;
    if (got == 0) break;
    skipped += static_cast<uint64_t>(got);
  }
  uint64_t limit = range.length.value_or(UINT64_MAX);
  out.size = 0;
  while (out.size < limit) {
    if (out.size == cap) {  // full: one byte more says whether the stream holds more
      ssize_t got = read_some(fd, dropped, 1, std::nullopt);
      if (got < 0) return ReadStatus::cannot_open;
      return got > 0 ? ReadStatus::too_large : ReadStatus::ok;
    }
    size_t step = static_cast<size_t>(std::min<uint64_t>({kStreamStep, limit - out.size, cap - out.size}));
    ssize_t got = read_some(fd, out.room(step), step, std::nullopt);
    if (got < 0) return ReadStatus::cannot_open;
    if (got == 0) break;
    out.took(static_cast<size_t>(got));
  }
  return ReadStatus::ok;
}

}  // namespace

uint8_t* FileBytes::room(size_t more) {
  if (series) {
    SeriesBuffer* buffer = series_buffer(series);
    if (buffer->tail + more > buffer->capacity) {
      // The first room is made to measure (a regular file's size); later ones double.
      int64_t needed = int64_t{buffer->tail - buffer->head} + static_cast<int64_t>(more);
      buffer = grow_series_copy(series, size ? std::max<int64_t>(int64_t{2} * buffer->capacity, needed) : needed);
    }
    return buffer->tail_address();
  }
  if (size + more > capacity) {
    size_t larger = std::max(capacity * 2, size + more);
    auto moved = std::make_unique_for_overwrite<uint8_t[]>(larger);
    if (size) std::memcpy(moved.get(), data.get(), size);
    data = std::move(moved);
    capacity = larger;
  }
  return data.get() + size;
}

void FileBytes::took(size_t got) {
  size += got;
  if (series) series_buffer(series)->tail += static_cast<uint32_t>(got);
}

ReadStatus read_file_bytes(const char* path, ByteRange range, uint64_t cap, FileBytes& out) {
  FileDescriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!file.is_open() || ::fstat(file.get(), &info) != 0 || S_ISDIR(info.st_mode)) return ReadStatus::cannot_open;
  if (S_ISREG(info.st_mode) && info.st_size > 0)
    return read_regular(file.get(), static_cast<uint64_t>(info.st_size), range, cap, out);
  return read_stream(file.get(), range, cap, out);
}

std::optional<uint64_t> regular_file_size(const char* path) {
  struct stat info {};
  if (::stat(path, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

}  // namespace qel

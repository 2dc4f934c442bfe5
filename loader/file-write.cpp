// file-write.cpp: the bytes are made whole first (a mold that raises opens nothing), then
// written with one loop over short counts and EINTR.
#include "loader/file-write.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <optional>

#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/url.h"
#include "loader/file-descriptor.h"
#include "loader/refinement-integers.h"
#include "runtime/action-entries.h"
#include "runtime/console-output.h"
#include "runtime/error-raise.h"
#include "runtime/os.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr char kLineEnd = '\n';

// Writes all the bytes.
bool write_all(int fd, std::string_view bytes) { return os_write_all(fd, bytes.data(), bytes.size()) == 0; }

// The mold of a value, made on the value stack and dropped again.
std::string molded_bytes(const Cell& value) {
  Cell* top = value_stack.top;
  std::string bytes = string_to_utf8(call_action(Act::Mold, std::array{value}));
  value_stack.top = top;
  return bytes;
}

// The bytes of the whole write.
std::string write_bytes(const Cell& data, const WriteRefinements& refinements, int64_t limit) {
  if (!refinements.lines) return value_to_bytes(data, limit);
  if (cell_type(data) != Type::block) return value_to_bytes(data, limit) + kLineEnd;
  std::string bytes;
  for (int64_t i = 0; i < block_length(data); ++i) (bytes += value_to_bytes(*block_cell_at(data, i), -1)) += kLineEnd;
  return bytes;
}

// Writes to the file, opened as the refinements ask; false on any failure.
bool write_file(const Cell& file, std::string_view bytes, const WriteRefinements& refinements,
                std::optional<int32_t> offset) {
  std::string path = file_to_os_path(file);
  int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
  if (refinements.append) flags |= O_APPEND;
  else if (!offset) flags |= O_TRUNC;
  FileDescriptor out(::open(path.c_str(), flags, 0666));
  if (!out.is_open()) return false;
  if (offset && !refinements.append && ::lseek(out.get(), *offset, SEEK_SET) < 0) return false;
  return write_all(out.get(), bytes);
}

}  // namespace

std::string value_to_bytes(const Cell& value, int64_t limit) {
  if (cell_type(value) == Type::string) return string_to_utf8(value, limit, false);
  if (cell_type(value) != Type::binary) return molded_bytes(value);
  const uint8_t* head = binary_head_address(value);
  int64_t length = binary_length(value);
  if (limit > 0 && limit < length) length = limit;
  return {reinterpret_cast<const char*>(head), static_cast<size_t>(length)};
}

void file_write_dispatch(const Cell& file, const Cell& data, const WriteRefinements& refinements) {
  std::optional<int32_t> length = refinement_integer(refinements.part, "part");
  std::optional<int32_t> offset = refinement_offset(refinements.seek);
  if (length && *length < 0) return;
  std::string bytes = write_bytes(data, refinements, length.value_or(-1));
  bool written;
  if (cell_type(file) == Type::none) {
    console_flush();  // what print staged goes out before these bytes
    written = write_all(STDOUT_FILENO, bytes);
  } else {
    written = write_file(file, bytes, refinements, offset);
  }
  if (!written) raise_error(error_id("access", "cannot-open"), file);
}

}  // namespace qel

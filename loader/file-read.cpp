// file-read.cpp: the refinements checked and mapped onto a byte range, the bytes read, then
// made into the value asked for.
#include "loader/file-read.h"

#include <optional>
#include <string>

#include "datatypes/series/binary.h"
#include "datatypes/series/url.h"
#include "loader/dir-listing.h"
#include "loader/refinement-integers.h"
#include "loader/text-from-bytes.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"

namespace qel {

namespace {

ByteRange read_range(const ReadRefinements& refinements) {
  std::optional<int32_t> length = refinement_integer(refinements.part, "part");
  std::optional<int32_t> offset = refinement_offset(refinements.seek);
  ByteRange range{static_cast<uint64_t>(offset.value_or(0)), std::nullopt};
  if (length && *length >= 0) range.length = static_cast<uint64_t>(*length);
  return range;
}

}  // namespace

Cell file_read_dispatch(const Cell& file, const ReadRefinements& refinements) {
  if (dir_name(file)) return os_read_dir(file);
  ByteRange range = read_range(refinements);
  std::string path = file_to_os_path(file);
  FileBytes bytes;
  GcRoot<Cell> binary;
  bool straight = refinements.binary && !refinements.lines;  // read into the binary! itself
  if (straight) {
    binary_make_at(*binary, 0);
    bytes.series = binary->w2;
  }
  switch (read_file_bytes(path.c_str(), range, file_read_cap, bytes)) {
    case ReadStatus::ok: break;
    case ReadStatus::cannot_open: raise_error(error_id("access", "cannot-open"), file);
    case ReadStatus::too_large: raise_error(error_id("internal", "limit-hit"), file);
  }
  return straight ? *binary : value_from_bytes(bytes.bytes(), refinements.binary, refinements.lines);
}

}  // namespace qel

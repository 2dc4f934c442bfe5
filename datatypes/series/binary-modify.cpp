// binary-modify.cpp: append, insert, change and trim on binaries.
//
// Each takes the bytes a value contributes in full before it changes the series, then splices
// them in once with their /dup copies: a value that shares the series' buffer contributes what
// it held before the change, and an error (a value refused, a size past the ceiling) leaves the
// series as it was.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "datatypes/series/binary.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "runtime/error-raise.h"

namespace qel {

namespace {

// Replaces `replaced` bytes at `position` with `copies` copies of the bytes, the bytes after the
// replaced span following them; answers the position after the copies.
int64_t splice_bytes(const Cell& series, int64_t position, int64_t replaced, const std::vector<uint8_t>& bytes,
                     int64_t copies) {
  int64_t n = static_cast<int64_t>(bytes.size());
  int64_t total = n * std::max<int64_t>(copies, 1);
  if (total > replaced) series_open_gap(series, position + replaced, total - replaced, Growth::doubled);
  if (total < replaced) series_cut_units(series, position + total, replaced - total);
  uint8_t* at = series_unit_address(series, position);
  if (n > 0) std::memcpy(at, bytes.data(), bytes.size());
  for (int64_t done = n; done < total;) {  // doubling copies of what stands there already
    int64_t step = std::min(done, total - done);
    std::memcpy(at + done, at, static_cast<size_t>(step));
    done += step;
  }
  return position + total;
}

// The bytes of a value for append and insert: a /part (when not negative) bounds them.
std::vector<uint8_t> contributed_bytes(const Cell& value, int32_t part, bool only, OtherValues others) {
  std::vector<uint8_t> bytes;
  binary_value_bytes(bytes, value, part >= 0 ? part : -1, only, others);
  return bytes;
}

// The bytes trim /with removes: a binary's or a text's (as UTF-8), or the byte of a char! or
// integer!.
std::vector<bool> removed_bytes(const Cell* with) {
  std::vector<bool> removed(256, false);
  if (!with) {
    removed[0] = true;
    return removed;
  }
  Type type = cell_type(*with);
  if (type == Type::char_ || type == Type::integer) {
    removed[binary_byte_of_value(*with)] = true;
    return removed;
  }
  if (type != Type::binary && !is_text_type(type)) raise_error(error_id("script", "invalid-arg"), *with);
  for (uint8_t byte : comparable_bytes(*with)) removed[byte] = true;
  return removed;
}

}  // namespace

void binary_append(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool notify) {
  int64_t length = series_total_length(series);
  bool told = notify && series_notify_before(series, SeriesChange::append, value, length, part);
  std::vector<uint8_t> bytes = contributed_bytes(value, part, only, OtherValues::refuse);
  if (bytes.empty()) return;
  length = series_total_length(series);
  splice_bytes(series, length, 0, bytes, dup);
  if (told) series_notify_after(series, SeriesChange::append, value, length, part < 0 ? 1 : part);
  series.w1 = 0;
}

void binary_insert(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool) {
  int64_t index = series_clamped_index(series);
  bool told = series_notify_before(series, SeriesChange::insert, value, index, part);
  std::vector<uint8_t> bytes = contributed_bytes(value, part, only, OtherValues::refuse);
  index = series_clamped_index(series);
  int64_t end = splice_bytes(series, index, 0, bytes, dup);
  series_set_index(series, end);
  if (told) series_notify_after(series, SeriesChange::insert, value, index, part < 0 ? 1 : part);
}

void binary_change(Cell& series, Cell& value, int32_t part, bool, int32_t dup) {
  int64_t index = series_clamped_index(series);
  int64_t rest = series_total_length(series) - index;
  if (part > rest) part = static_cast<int32_t>(rest);
  int64_t copies = std::max(dup, 1);
  int64_t announced = part >= 0 ? part : any_block_type(cell_type(value)) ? series_length_after(value) * copies : copies;
  Cell none = make_cell(Type::none);
  bool told = series_notify_before(series, SeriesChange::change, none, index, std::min(announced, rest));
  std::vector<uint8_t> bytes = contributed_bytes(value, -1, false, OtherValues::form);
  index = series_clamped_index(series);
  rest = series_total_length(series) - index;
  int64_t added = static_cast<int64_t>(bytes.size()) * copies;
  int64_t replaced = part >= 0 ? std::min<int64_t>(part, rest) : std::min(added, rest);
  int64_t end = splice_bytes(series, index, replaced, bytes, copies);
  series_set_index(series, std::min(end, series_total_length(series)));
  if (told) series_notify_after(series, SeriesChange::change, none, index, added);
}

void binary_trim(Cell& series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with) {
  if (auto_ || lines) raise_error(error_id("internal", "not-done"));
  std::vector<bool> removed = removed_bytes(all || with ? with : nullptr);
  Cell none = make_cell(Type::none);
  int64_t index = series_clamped_index(series);
  bool told = series_notify_before(series, SeriesChange::trim, none, index, series_length_after(series));
  index = series_clamped_index(series);
  std::vector<uint8_t> bytes = binary_copy_bytes(series);
  std::vector<uint8_t> kept;
  if (all || with) {
    std::copy_if(bytes.begin(), bytes.end(), std::back_inserter(kept), [&](uint8_t b) { return !removed[b]; });
  } else {
    auto begin = bytes.begin(), end = bytes.end();
    if (head || !tail)
      while (begin != end && *begin == 0) ++begin;
    if (tail || !head)
      while (end != begin && end[-1] == 0) --end;
    kept.assign(begin, end);
  }
  binary_truncate_at_index(series);
  binary_append_bytes(series, kept);
  if (told) series_notify_after(series, SeriesChange::trim, none, index, static_cast<int64_t>(kept.size()));
}

}  // namespace qel

// path-resolve.cpp: resolving the "." and ".." segments of a path, one pass over its code points.
#include "loader/path-resolve.h"

#include <string_view>
#include <vector>

#include "datatypes/series/string-core.h"
#include "runtime/gc-root.h"

namespace qel {

namespace {

using Segment = std::u32string_view;

// The pieces between the slashes: n slashes give n + 1 pieces, empty ones included.
std::vector<Segment> split_at_slashes(Segment path) {
  std::vector<Segment> pieces;
  for (size_t start = 0;;) {
    const size_t slash = path.find(U'/', start);
    pieces.push_back(path.substr(start, slash == Segment::npos ? Segment::npos : slash - start));
    if (slash == Segment::npos) return pieces;
    start = slash + 1;
  }
}

// The segments kept once each "." and ".." has done its work.
std::vector<Segment> kept_segments(const std::vector<Segment>& segments, bool absolute, bool file) {
  std::vector<Segment> kept;
  for (Segment segment : segments) {
    if (segment == U".") continue;
    if (segment == U"..") {
      if (!kept.empty() && kept.back() != U"..")
        kept.pop_back();
      else if (!absolute)
        kept.push_back(segment);  // a relative path keeps the levels it climbs above itself
      continue;
    }
    if (!segment.empty() || !file) kept.push_back(segment);
  }
  return kept;
}

}  // namespace

Cell path_resolve(const Cell& text, bool file) {
  const std::vector<uint32_t> code_points = text_code_points(string_text(text));
  Segment path(reinterpret_cast<const char32_t*>(code_points.data()), code_points.size());
  const bool absolute = !path.empty() && path.front() == U'/';
  if (absolute) path.remove_prefix(1);
  std::vector<Segment> segments = path.empty() ? std::vector<Segment>{} : split_at_slashes(path);
  // a last "/" splits off an empty piece that only says the path is a directory
  bool directory = !path.empty() && path.back() == U'/';
  if (directory) segments.pop_back();
  if (!segments.empty() && (segments.back() == U"." || segments.back() == U"..")) directory = true;
  const std::vector<Segment> kept = kept_segments(segments, absolute, file);

  GcRoot<Cell> result;
  string_make_at(*result, static_cast<int64_t>(code_points.size()) + 1);
  if (absolute) string_append_char(result->w2, '/');
  for (size_t i = 0; i < kept.size(); ++i) {
    for (char32_t c : kept[i]) string_append_char(result->w2, static_cast<uint32_t>(c));
    if (directory || i + 1 < kept.size()) string_append_char(result->w2, '/');
  }
  return *result;
}

}  // namespace qel

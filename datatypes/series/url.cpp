// url.cpp: url!'s registration, make and to from blocks, mold and path step.
#include "datatypes/series/url.h"

#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/percent-coding.h"
#include "datatypes/series/resource-io.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"

namespace qel {

namespace {

// The element of a block at a position from its head.
Cell element_at(const Cell& block, int64_t position) {
  return *reinterpret_cast<const Cell*>(series_unit_address(block, position));
}

// Joins the formed elements of a block into a new url!.
Cell joined_url(const Cell& spec) {
  int64_t first = series_clamped_index(spec), total = series_total_length(spec);
  if (first == total) raise_bad_to_arg(Type::url, spec);
  GcRoot<Cell> url(string_value(new_text_series(32, 1), 0, Type::url));
  auto append_element = [&](int64_t position) { string_form_onto(url->w2, element_at(spec, position), false, 0); };
  append_element(first);
  if (first + 1 < total) {
    series_append_ascii(url->w2, "://");
    append_element(first + 1);
  }
  int64_t next = first + 2;
  if (next < total && cell_type(element_at(spec, next)) == Type::integer) {
    series_append_ascii(url->w2, ":");
    append_element(next++);
  }
  for (; next < total; ++next) {
    series_append_ascii(url->w2, cell_type(element_at(spec, next)) == Type::issue ? "#" : "/");
    append_element(next);
  }
  return *url;
}

bool is_block_spec(const Cell& spec) {
  Type type = cell_type(spec);
  return type == Type::block || type == Type::paren || type == Type::hash;
}

}  // namespace

void url_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(url_make)
      .unsupported<Act::Random>()
      .unsupported<Act::Reflect>()
      .unsupported<Act::Sort>()
      .unsupported<Act::Trim>()
      .set<Act::To>(url_to)
      .set<Act::Mold>(url_mold)
      .set<Act::PathStep>(url_path_step)
      .set<Act::Open>(url_open)
      .set<Act::Read>(url_read)
      .set<Act::Write>(url_write);
  register_datatype(Type::url, Type::string, "url!", row);
}

Cell* url_make(Cell& type, Cell& spec, Type type_id) {
  if (type_id == Type::url && is_block_spec(spec)) return &(type = joined_url(spec));
  return string_make(type, spec, type_id);
}

Cell* url_to(Cell& type, Cell& spec, Type type_id) {
  if (type_id == Type::url && is_block_spec(spec)) return &(type = joined_url(spec));
  return string_to(type, spec, type_id);
}

int32_t url_mold(const Cell& value, Cell& output, bool, bool, bool, bool part, int32_t limit, int32_t) {
  std::string text = percent_encode_text(value, PercentTable::url_mold);
  if (part && limit < static_cast<int64_t>(text.size())) text.resize(static_cast<size_t>(std::max(limit, 0)));
  return output_text(output, text, limit);
}

Cell* url_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  if (new_value) raise_error(error_id("script", "bad-path-set"), step.path ? *step.path : value, element);
  GcRoot<Cell> joined(string_value(new_text_series(string_length(value) + 16, 1), 0, cell_type(value)));
  string_write_text(joined->w2, 0, string_text(value), TextMode::append);
  GcRoot<Cell> added(string_value(new_text_series(16, 1)));
  string_form_onto(added->w2, element, false, 0);
  bool base_slash = string_length(*joined) > 0 && string_char_at(*joined, string_length(*joined) - 1) == '/';
  bool added_slash = string_length(*added) > 0 && string_char_at(*added, 0) == '/';
  if (base_slash && added_slash) string_remove_units(joined->w2, string_total_length(joined->w2) - 1, 1);
  if (!base_slash && !added_slash) string_append_char(joined->w2, '/');
  string_write_text(joined->w2, 0, string_text(*added), TextMode::append);
  element = *joined;
  return &element;
}

}  // namespace qel

// percent-coding.cpp: percent-encoding by table, and percent-decoding through the checked UTF-8
// decoder.
#include "datatypes/series/percent-coding.h"

#include <algorithm>
#include <array>
#include <span>

#include "datatypes/scalars/hex-text.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "datatypes/series/utf8-decode.h"

namespace qel {

namespace {

using KeepTable = std::array<bool, 128>;

consteval KeepTable keep_table(PercentTable table) {
  KeepTable keep{};
  for (uint32_t c = 0; c < 128; ++c) {
    bool alphanumeric = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    keep[c] = alphanumeric || c == '-' || c == '.' || c == '_' || c == '~';
  }
  if (table == PercentTable::component) return keep;
  for (char c : std::string_view("!#$&'()*+,/:=?@")) keep[static_cast<uint8_t>(c)] = true;
  if (table == PercentTable::url_mold) keep['('] = keep[')'] = false;
  return keep;
}

constexpr KeepTable kKeepTables[] = {keep_table(PercentTable::component), keep_table(PercentTable::locator),
                                     keep_table(PercentTable::url_mold)};

// What decoding gives: the code points, or the bytes of the first ill-formed escaped sequence.
struct Decoded {
  std::vector<uint32_t> code_points;
  std::vector<uint8_t> ill_formed;
};

template <class Unit>
Decoded decode_units(std::span<const Unit> text) {
  Decoded decoded;
  decoded.code_points.reserve(text.size());
  const Unit* at = text.data();
  const Unit* end = at + text.size();
  while (at < end) {
    std::optional<uint8_t> lead = percent_decode_escape(at, end);
    if (lead) {
      unsigned length = utf8_sequence_length(*lead);
      if (length == 0) {
        decoded.code_points.push_back(*lead);
        at += 3;
        continue;
      }
      uint8_t bytes[4] = {*lead};
      unsigned k = 1;
      for (; k < length && end - at >= 3 * (k + 1); ++k) {
        std::optional<uint8_t> next = percent_decode_escape(at + 3 * k, end);
        if (!next) break;
        bytes[k] = *next;
      }
      if (k == length) {  // the escapes spell a whole sequence: it must be well-formed
        Utf8Step step = utf8_decode_checked(bytes, bytes + length);
        if (step.status != Utf8Status::ok || step.size != length) {
          decoded.ill_formed.assign(bytes, bytes + length);
          return decoded;
        }
        decoded.code_points.push_back(step.code_point);
        at += 3 * length;
        continue;
      }
    }
    decoded.code_points.push_back(static_cast<uint32_t>(*at++));  // a "%" of no escape stays
  }
  return decoded;
}

Decoded decode_text(UnitText text) {
  return visit_units(text, [](auto units) { return decode_units(units); });
}

// The code points in the narrowest unit that holds them all.
std::vector<uint8_t> units_of(const std::vector<uint32_t>& code_points, unsigned& unit) {
  uint32_t widest = 0;
  for (uint32_t c : code_points) widest = std::max(widest, c);
  unit = unit_for_code_point(widest);
  std::vector<uint8_t> units(code_points.size() * unit);
  for (size_t i = 0; i < code_points.size(); ++i) code_point_write(&units[i * unit], unit, code_points[i]);
  return units;
}

}  // namespace

bool percent_keeps(PercentTable table, uint8_t byte) {
  return byte < 128 && kKeepTables[static_cast<size_t>(table)][byte];
}

void percent_encode_utf8(std::string_view utf8, PercentTable table, std::string& out) {
  for (char c : utf8) {
    uint8_t byte = static_cast<uint8_t>(c);
    if (percent_keeps(table, byte)) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.append(byte_to_hex_text(byte).view());
    }
  }
}

std::string percent_encode_text(const Cell& text, PercentTable table) {
  std::string out;
  percent_encode_utf8(string_to_utf8(text), table, out);
  return out;
}

template <class Unit>
std::optional<uint8_t> percent_decode_escape(const Unit* at, const Unit* end) {
  if (end - at < 3 || at[0] != '%') return std::nullopt;
  int high = hex_digit_value(static_cast<uint32_t>(at[1])), low = hex_digit_value(static_cast<uint32_t>(at[2]));
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<uint8_t>(high << 4 | low);
}

template std::optional<uint8_t> percent_decode_escape(const uint8_t*, const uint8_t*);
template std::optional<uint8_t> percent_decode_escape(const uint16_t*, const uint16_t*);
template std::optional<uint8_t> percent_decode_escape(const uint32_t*, const uint32_t*);

std::optional<std::vector<uint32_t>> percent_decode(UnitText text) {
  Decoded decoded = decode_text(text);
  if (!decoded.ill_formed.empty()) return std::nullopt;
  return std::move(decoded.code_points);
}

Cell percent_decode_text(const Cell& text, Type type) {
  Decoded decoded = decode_text(string_text(text));
  if (!decoded.ill_formed.empty()) raise_invalid_utf8(decoded.ill_formed);
  unsigned unit;
  std::vector<uint8_t> units = units_of(decoded.code_points, unit);
  NodeId node = new_text_series(static_cast<int64_t>(decoded.code_points.size()), unit);
  string_write_text(node, 0, {units.data(), decoded.code_points.size(), unit}, TextMode::append);
  return string_value(node, 0, type);
}

bool percent_decode_in_place(const Cell& text) {
  std::optional<std::vector<uint32_t>> code_points = percent_decode(string_text(text));
  if (!code_points) return false;
  unsigned unit;
  std::vector<uint8_t> units = units_of(*code_points, unit);
  string_splice(text.w2, string_index(text), string_length(text), {units.data(), code_points->size(), unit}, 1);
  return true;
}

}  // namespace qel

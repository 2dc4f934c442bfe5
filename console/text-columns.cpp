// text-columns.cpp: the columns of characters and texts on a terminal's row.
#include "console/text-columns.h"

#include <algorithm>
#include <cstdint>

#include "datatypes/series/utf8-decode.h"

namespace qel {

namespace {

struct Range {
  char32_t first, last;
};

// Characters that take no column of their own: combining marks, joiners, variation selectors.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F}, {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31}, {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1160, 0x11FF}, {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF}, {0x200B, 0x200F}, {0x2060, 0x2064}, {0x20D0, 0x20FF}, {0xFE00, 0xFE0F},
    {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF}, {0xE0100, 0xE01EF},
};

// Characters a terminal shows two columns wide.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},   {0x23F0, 0x23F0},
    {0x23F3, 0x23F3},   {0x25FD, 0x25FE},   {0x2614, 0x2615},   {0x2648, 0x2653},   {0x267F, 0x267F},
    {0x2693, 0x2693},   {0x26A1, 0x26A1},   {0x26AA, 0x26AB},   {0x26BD, 0x26BE},   {0x26C4, 0x26C5},
    {0x26CE, 0x26CE},   {0x26D4, 0x26D4},   {0x26EA, 0x26EA},   {0x26F2, 0x26F3},   {0x26F5, 0x26F5},
    {0x26FA, 0x26FA},   {0x26FD, 0x26FD},   {0x2705, 0x2705},   {0x270A, 0x270B},   {0x2728, 0x2728},
    {0x274C, 0x274C},   {0x274E, 0x274E},   {0x2753, 0x2755},   {0x2757, 0x2757},   {0x2795, 0x2797},
    {0x27B0, 0x27B0},   {0x27BF, 0x27BF},   {0x2B1B, 0x2B1C},   {0x2B50, 0x2B50},   {0x2B55, 0x2B55},
    {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},
    {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},
    {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x16FE0, 0x16FE4}, {0x17000, 0x18AFF}, {0x1B000, 0x1B2FF},
    {0x1F004, 0x1F004}, {0x1F0CF, 0x1F0CF}, {0x1F18E, 0x1F18E}, {0x1F191, 0x1F19A}, {0x1F200, 0x1F2FF},
    {0x1F300, 0x1F64F}, {0x1F680, 0x1F6FF}, {0x1F7E0, 0x1F7EB}, {0x1F90C, 0x1F9FF}, {0x1FA70, 0x1FAFF},
    {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};

// Whether the code lies in one of the ranges, which are sorted and apart.
template <size_t N>
bool in_ranges(const Range (&ranges)[N], char32_t code) {
  const Range* after = std::upper_bound(ranges, ranges + N, code, [](char32_t c, const Range& r) { return c < r.first; });
  return after != ranges && code <= after[-1].last;
}

constexpr char kEscape = 27;
constexpr size_t kTabStop = 8;

// The length of the control sequence at the start of the text (ESC [ parameters final): up to
// and with its final byte, or the whole text when it ends first.
size_t control_sequence_length(std::string_view text) {
  size_t at = 2;
  while (at < text.size() && (static_cast<uint8_t>(text[at]) < 0x40 || static_cast<uint8_t>(text[at]) > 0x7E)) ++at;
  return std::min(at + 1, text.size());
}

}  // namespace

int character_columns(char32_t code) {
  if (code < 0x300) return 1;
  if (in_ranges(kZeroWidth, code)) return 0;
  return in_ranges(kWide, code) ? 2 : 1;
}

size_t text_columns(std::string_view utf8) {
  size_t columns = 0;
  for (size_t at = 0; at < utf8.size();) {
    const auto byte = static_cast<uint8_t>(utf8[at]);
    if (byte == kEscape && at + 1 < utf8.size() && utf8[at + 1] == '[') {
      at += control_sequence_length(utf8.substr(at));
    } else if (byte == '\t') {
      columns += kTabStop - columns % kTabStop;
      ++at;
    } else if (byte < 0x20 || byte == 0x7F) {
      ++at;
    } else {
      const auto* start = reinterpret_cast<const uint8_t*>(utf8.data()) + at;
      const Utf8Step step = utf8_decode_step(start, reinterpret_cast<const uint8_t*>(utf8.data()) + utf8.size());
      columns += step.status == Utf8Status::ok ? static_cast<size_t>(character_columns(step.code_point)) : 1;
      at += utf8_replacing_step_size(step);
    }
  }
  return columns;
}

}  // namespace qel

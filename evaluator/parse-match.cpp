// parse-match.cpp: literal matches, searches and repetitions of the parse engine, over block
// cells and over text in its unit width.
#include "evaluator/parse-match.h"

#include <emmintrin.h>
#include <climits>
#include <string.h>

#include <string>
#include <vector>

#include "datatypes/scalars/bitset.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/case-class.h"
#include "datatypes/series/series.h"
#include "datatypes/series/string-compare.h"
#include "datatypes/series/string-core.h"
#include "loader/lexer/lexer.h"
#include "runtime/action-lookup.h"
#include "runtime/error-raise.h"
#include "runtime/utf8.h"

namespace qel {

namespace {

// The input's text from its index to `end` (none when the index lies past it).
UnitText input_text(const Cell& input, int64_t end) {
  return string_text_part(input, std::max<int64_t>(0, end - series_clamped_index(input)));
}

// Vector compares of 16 bytes of units of one width.
template <class T>
__m128i splat(uint32_t v) {
  if constexpr (sizeof(T) == 1) return _mm_set1_epi8(static_cast<char>(v));
  else if constexpr (sizeof(T) == 2) return _mm_set1_epi16(static_cast<short>(v));
  else return _mm_set1_epi32(static_cast<int>(v));
}
template <class T>
__m128i equal_units(__m128i a, __m128i b) {
  if constexpr (sizeof(T) == 1) return _mm_cmpeq_epi8(a, b);
  else if constexpr (sizeof(T) == 2) return _mm_cmpeq_epi16(a, b);
  else return _mm_cmpeq_epi32(a, b);
}

// The mask of the units among 16 bytes at p that are one of the two members.
template <class T>
int member_mask(const T* p, __m128i a, __m128i b) {
  const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  return _mm_movemask_epi8(_mm_or_si128(equal_units<T>(chunk, a), equal_units<T>(chunk, b)));
}

// The two members of a class as units of T; false when neither can stand in such text.
template <class T>
bool members_as_units(const CaseClass& cls, uint32_t& a, uint32_t& b) {
  constexpr uint32_t kMax = static_cast<uint32_t>(static_cast<T>(~T{0}));
  a = cls.first <= kMax ? cls.first : cls.second;
  b = cls.second <= kMax ? cls.second : a;
  return a <= kMax;
}

// Where the first unit of the class stands in n units, or -1: 16 bytes at a time for a class of
// two members, unit by unit when the class needs mapping.
template <class T>
int64_t find_member(const T* p, size_t n, const CaseClass& cls) {
  uint32_t a, b;
  size_t i = 0;
  if (!cls.mapped) {
    if (!members_as_units<T>(cls, a, b)) return -1;
    const __m128i va = splat<T>(a), vb = splat<T>(b);
    for (; i + 16 / sizeof(T) <= n; i += 16 / sizeof(T))
      if (int mask = member_mask(p + i, va, vb)) return static_cast<int64_t>(i + __builtin_ctz(mask) / sizeof(T));
  }
  for (; i < n; ++i)
    if (cls.holds(p[i])) return static_cast<int64_t>(i);
  return -1;
}

// How many of n units from the start are members of the class.
template <class T>
size_t count_members(const T* p, size_t n, const CaseClass& cls) {
  uint32_t a, b;
  size_t i = 0;
  if (!cls.mapped && members_as_units<T>(cls, a, b)) {
    const __m128i va = splat<T>(a), vb = splat<T>(b);
    for (; i + 16 / sizeof(T) <= n; i += 16 / sizeof(T))
      if (int mask = member_mask(p + i, va, vb); mask != 0xFFFF) return i + __builtin_ctz(~mask) / sizeof(T);
  }
  while (i < n && cls.holds(p[i])) ++i;
  return i;
}

// Units from the start of the text equal to the code point, at most `max`.
int64_t count_chars(UnitText text, uint32_t c, bool fold, int64_t max) {
  const CaseClass cls = case_class_of(c, fold);
  const size_t limit = max < 0 ? text.length : std::min<size_t>(text.length, static_cast<size_t>(max));
  return visit_units(text, [&](auto units) { return static_cast<int64_t>(count_members(units.data(), limit, cls)); });
}

// The offset of the first place where the needle stands in the text, or -1: candidates found by
// the class of the needle's first code point, then the rest compared.
int64_t find_text(UnitText text, UnitText needle, bool fold) {
  if (needle.length == 0) return 0;
  if (needle.length > text.length) return -1;
  const CaseClass first = case_class_of(code_point_read(needle.data, needle.unit), fold);
  const size_t last_start = text.length - needle.length;
  const int32_t op = fold ? kCompareFind : kCompareStrictEqual;
  return visit_units(text, [&](auto units) {
    for (size_t at = 0; at <= last_start; ++at) {
      const int64_t found = find_member(units.data() + at, last_start + 1 - at, first);
      if (found < 0) return int64_t{-1};
      at += static_cast<size_t>(found);
      const UnitText here{text.data + (at << unit_shift(text.unit)), needle.length, text.unit};
      if (needle.length == 1 || compare_text(here, needle, op, true) == 0) return static_cast<int64_t>(at);
    }
    return int64_t{-1};
  });
}

// The offset of the first unit equal to the code point, or -1.
int64_t find_char(UnitText text, uint32_t c, bool fold) {
  const CaseClass cls = case_class_of(c, fold);
  return visit_units(text, [&](auto units) { return find_member(units.data(), units.size(), cls); });
}

// A bitset read for a scan: its bytes, how many, and what lies beyond them.
struct BitsetBits {
  const uint8_t* bits;
  uint32_t bytes;
  bool negated;

  explicit BitsetBits(const Cell& bitset)
      : bits(bitset_bits_head(bitset.w2)), bytes(bitset_byte_count(bitset.w2)), negated(bitset_negated(bitset.w2)) {}
  bool has(uint32_t n) const { return (n >> 3) < bytes ? (bits[n >> 3] & (0x80 >> (n & 7))) != 0 : negated; }
};

// Units of text or bytes of binary input from its index to `end`, in their width.
UnitText input_units(const Cell& input, int64_t end) {
  if (parse_text_input(input)) return input_text(input, end);
  const int64_t index = series_clamped_index(input);
  return {series_unit_address(input, index), static_cast<size_t>(std::max<int64_t>(0, end - index)), 1};
}

// How many units from the start are members of the bitset, at most `max` (-1: no maximum).
int64_t count_in_bitset(UnitText text, const Cell& bitset, int64_t max) {
  const BitsetBits set(bitset);
  const size_t limit = max < 0 ? text.length : std::min<size_t>(text.length, static_cast<size_t>(max));
  return visit_units(text, [&](auto units) {
    size_t n = 0;
    while (n < limit && set.has(units[n])) ++n;
    return static_cast<int64_t>(n);
  });
}

// The offset of the first unit that is a member of the bitset, or -1.
int64_t find_in_bitset(UnitText text, const Cell& bitset) {
  const BitsetBits set(bitset);
  return visit_units(text, [&](auto units) {
    for (size_t n = 0; n < units.size(); ++n)
      if (set.has(units[n])) return static_cast<int64_t>(n);
    return int64_t{-1};
  });
}

// Whether a literal is matched as text on text input: the text types but tag!, and char!.
bool text_literal(Type type) { return is_text_type(type) || type == Type::char_; }

// A tag's text within its angle brackets, as code points: what a tag matches in text input.
std::u32string bracketed(const Cell& tag) {
  const UnitText text = string_text(tag);
  std::u32string units(text.length + 2, U'<');
  for (size_t i = 0; i < text.length; ++i) units[i + 1] = code_point_read(text.data + (i << unit_shift(text.unit)), text.unit);
  units.back() = U'>';
  return units;
}

UnitText text_of_units(const std::u32string& units) {
  return {reinterpret_cast<const uint8_t*>(units.data()), units.size(), 4};
}

// The units a text or char literal matches at the start of the text, or -1.
int64_t match_text_at(UnitText text, const Cell& value, int32_t op) {
  if (cell_type(value) == Type::char_) return count_chars(text, value.w2, !compare_code_keeps_case(op), 1) == 1 ? 1 : -1;
  const std::u32string tag = cell_type(value) == Type::tag ? bracketed(value) : std::u32string();
  const UnitText needle = cell_type(value) == Type::tag ? text_of_units(tag) : string_text(value);
  return compare_text(text, needle, op, true) == 0 ? static_cast<int64_t>(needle.length) : -1;
}

// The bytes a literal stands for in binary input: a binary's, a text's UTF-8, a char's UTF-8.
std::vector<uint8_t> literal_bytes(const Cell& value) {
  const Type type = cell_type(value);
  if (type == Type::char_) {
    uint8_t utf8[4];
    return std::vector<uint8_t>(utf8, utf8 + utf8_encode(value.w2, utf8));
  }
  if (type != Type::binary && !is_text_type(type)) raise_error(error_id("script", "parse-rule"), value);
  return comparable_bytes(value);
}

// The first place of the literal's bytes in binary input, from the index before `end`.
std::optional<ParseFound> find_bytes(const Cell& input, int64_t end, const Cell& value) {
  const int64_t index = series_clamped_index(input);
  const std::vector<uint8_t> needle = literal_bytes(value);
  if (needle.empty()) return ParseFound{index, index};
  if (end - index < static_cast<int64_t>(needle.size())) return std::nullopt;
  const uint8_t* from = series_unit_address(input, index);
  const void* found = memmem(from, static_cast<size_t>(end - index), needle.data(), needle.size());
  if (!found) return std::nullopt;
  const int64_t at = index + (static_cast<const uint8_t*>(found) - from);
  return ParseFound{at, at + static_cast<int64_t>(needle.size())};
}

}  // namespace

bool parse_text_input(const Cell& input) { return is_text_type(cell_type(input)); }

int64_t parse_scan_datatype(const Cell& input, int64_t end, const Cell& rule) {
  const int64_t index = series_clamped_index(input);
  if (index >= end) return -1;
  Cell out;
  LexerRequest request;
  request.one = request.scan = true;
  const LexerAnswer answer =
      lexer_transcode(out, {series_unit_address(input, index), static_cast<size_t>(end - index)}, request);
  if (answer.type <= 0 || static_cast<Type>(answer.type) == Type::error) return -1;
  return types_select(rule, static_cast<Type>(answer.type)) ? std::max<int64_t>(answer.consumed, 1) : -1;
}

bool parse_compare(const Cell& element, const Cell& rule, int32_t op) {
  const Type type = cell_type(rule);
  if (type == Type::lit_word || type == Type::lit_path)
    return compare_values(rule, element, op == kCompareStrictEqual ? kComparePathCase : kComparePath);
  return compare_values(element, rule, op);
}

int64_t parse_match_literal(const Cell& input, int64_t end, const Cell& value, int32_t op) {
  const int64_t index = series_clamped_index(input);
  if (cell_type(value) == Type::bitset && series_kind(cell_type(input)) != SeriesKind::block)
    return count_in_bitset(input_units(input, end), value, 1) == 1 ? 1 : -1;
  if (parse_text_input(input)) {
    if (!text_literal(cell_type(value))) return -1;
    return match_text_at(input_text(input, end), value, op);
  }
  if (cell_type(input) == Type::binary) {
    const int64_t matched = binary_match_at(input, value, op);
    return matched <= end - index ? matched : -1;  // a match reaching past the limit is none
  }
  if (index >= end) return -1;
  return parse_compare(*block_cell_at(input, index), value, op) ? 1 : -1;
}

std::optional<ParseFound> parse_find_value(const Cell& input, int64_t end, const Cell& value, int32_t op) {
  const int64_t index = series_clamped_index(input);
  if (cell_type(value) == Type::bitset && series_kind(cell_type(input)) != SeriesKind::block) {
    const int64_t at = find_in_bitset(input_units(input, end), value);
    if (at < 0) return std::nullopt;
    return ParseFound{index + at, index + at + 1};
  }
  if (cell_type(input) == Type::binary) return find_bytes(input, end, value);
  if (!parse_text_input(input)) {
    for (int64_t at = index; at < end; ++at)
      if (parse_compare(*block_cell_at(input, at), value, op)) return ParseFound{at, at + 1};
    return std::nullopt;
  }
  const bool fold = !compare_code_keeps_case(op);
  const UnitText text = input_text(input, end);
  if (cell_type(value) == Type::char_) {
    const int64_t at = find_char(text, value.w2, fold);
    if (at < 0) return std::nullopt;
    return ParseFound{index + at, index + at + 1};
  }
  if (!text_literal(cell_type(value))) raise_error(error_id("script", "parse-rule"), value);
  const std::u32string tag = cell_type(value) == Type::tag ? bracketed(value) : std::u32string();
  const UnitText needle = cell_type(value) == Type::tag ? text_of_units(tag) : string_text(value);
  if (needle.length == 0) return ParseFound{index, index};
  const int64_t at = find_text(text, needle, fold);
  if (at < 0) return std::nullopt;
  return ParseFound{index + at, index + at + static_cast<int64_t>(needle.length)};
}

ParseRepeated parse_repeat_value(const Cell& input, int64_t end, const Cell& value, int32_t op, int64_t max) {
  int64_t index = series_clamped_index(input);
  if (cell_type(value) == Type::bitset && series_kind(cell_type(input)) != SeriesKind::block) {
    const int64_t count = count_in_bitset(input_units(input, end), value, max);
    return {count, index + count};
  }
  if (parse_text_input(input) && cell_type(value) == Type::char_) {
    const int64_t count = count_chars(input_text(input, end), value.w2, !compare_code_keeps_case(op), max);
    return {count, index + count};
  }
  Cell at = input;
  int64_t count = 0;
  while (max < 0 || count < max) {
    series_set_index(at, index);
    const int64_t matched = parse_match_literal(at, end, value, op);
    if (matched < 0) break;
    // an empty text matches at once, as often as asked, without moving
    if (matched == 0) return {max < 0 ? INT32_MAX : max, index};
    ++count;
    index += matched;
  }
  return {count, index};
}

}  // namespace qel

// lexer-plain-walk.h: the plain scan's fast recogniser of its commonest tokens (words, integers,
// decimals, strings, comments), one specialised loop per kind chosen by the first byte.
//
// Its byte sets are derived from the transition table at compile time, and it answers only
// tokens whose whole shape it has seen; anything else (an unusual byte, a token running into
// the input's end) is left to the table walk from the same position, which stays the authority.
#pragma once

#include <emmintrin.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "loader/lexer/lexer-state.h"
#include "loader/lexer/lexer-tables.h"

namespace qel {

// A token the fast recogniser is sure of, as the table walk from the start state finds it.
struct PlainWalk {
  const uint8_t* start;  // after the blanks, newlines and control bytes before it
  const uint8_t* end;    // the first byte not consumed (a string's closing quote)
  int64_t line;          // the line at the end
  uint32_t flags;        // class flags over it: all of a number's, all a word's or a string's check reads
  uint8_t type;          // token type; kNotPlain when the table walk must decide
};

inline constexpr uint8_t kNotPlain = kTokenEnd;  // the recogniser never answers the end token

namespace plain_walk_detail {

inline constexpr uint8_t kWordState = 52;
inline constexpr uint8_t kIntegerState = 23;
inline constexpr uint8_t kSignState = 47;
inline constexpr uint8_t kPointState = 24;
inline constexpr uint8_t kFractionState = 25;
inline constexpr uint8_t kStringState = 2;
inline constexpr uint8_t kCommentState = 1;

// What a byte may do in the recogniser's loops (bits of kByteRoles).
enum : uint16_t {
  kSkipped = 1,        // passed before a token: blank, newline, control byte
  kWordBody = 2,       // keeps a word a word, ASCII and without a colon
  kWordEnd = 4,        // ends a word, not consumed
  kDigit = 8,          // a digit of an integer or a fraction, from the start, a sign or a point
  kIntegerEnd = 16,    // ends an integer, not consumed
  kPoint = 32,         // turns an integer into a decimal
  kFractionEnd = 64,   // ends a decimal's fraction, not consumed
};

// What the first byte of a token starts (kByteStarts).
enum : uint8_t { kStartsOther, kStartsWord, kStartsNumber, kStartsSign, kStartsString, kStartsComment };

constexpr uint8_t next_of(uint8_t state, int byte) { return kTransitionTable[state][kCharClassTable[byte] & 0xFF]; }
constexpr uint32_t flags_of(int byte) { return kCharClassTable[byte] & kCharFlagMask; }
constexpr uint8_t final_of(uint8_t token) { return kFirstFinalState + token; }

inline constexpr std::array<uint16_t, 256> kByteRoles = [] {
  std::array<uint16_t, 256> roles{};
  for (int b = 0; b < 256; ++b) {
    bool ascii = b < 0x80;
    uint16_t role = 0;
    if (next_of(0, b) == 0) role |= kSkipped;
    if (ascii && next_of(kWordState, b) == kWordState && !(flags_of(b) & kFlagColon)) role |= kWordBody;
    if (next_of(kWordState, b) == final_of(kTokenWord)) role |= kWordEnd;
    if (ascii && flags_of(b) == 0 && next_of(0, b) == kIntegerState && next_of(kSignState, b) == kIntegerState &&
        next_of(kIntegerState, b) == kIntegerState && next_of(kPointState, b) == kFractionState &&
        next_of(kFractionState, b) == kFractionState)
      role |= kDigit;
    if (next_of(kIntegerState, b) == final_of(kTokenInteger)) role |= kIntegerEnd;
    if (next_of(kIntegerState, b) == kPointState) role |= kPoint;
    if (next_of(kFractionState, b) == final_of(kTokenFloat)) role |= kFractionEnd;
    roles[b] = role;
  }
  return roles;
}();

// What a token's first byte starts, for the ASCII bytes that start a recognised kind.
constexpr uint8_t start_of(int b) {
  uint8_t next = next_of(0, b);
  if (b >= 0x80) return kStartsOther;
  if (next == kWordState) return kStartsWord;
  if (kByteRoles[b] & kDigit) return kStartsNumber;
  if (next == kSignState) return kStartsSign;
  if (next == kStringState) return kStartsString;
  if (next == kCommentState) return kStartsComment;
  return kStartsOther;
}

inline constexpr std::array<uint8_t, 256> kByteStarts = [] {
  std::array<uint8_t, 256> starts{};
  for (int b = 0; b < 256; ++b) starts[b] = start_of(b);
  return starts;
}();

// The bytes the string and comment bodies stop at, as the SSE2 compares below find them.
constexpr bool stops_string(int b) { return b == '"' || b == '^' || b == '\n' || b == 0 || b >= 0x80; }
constexpr bool stops_comment(int b) { return b == '\n' || b == 0 || b == 0xC0 || b == 0xC1 || b >= 0xF8; }

// Every byte the compares pass keeps the string (without caret or UTF-8 flags) or the comment
// going; the quote ends the string and the line end the comment.
consteval bool bodies_match_the_table() {
  for (int b = 0; b < 256; ++b) {
    if (!stops_string(b) &&
        (next_of(kStringState, b) != kStringState || (flags_of(b) & (kFlagCaret | kFlagNonAscii))))
      return false;
    if (!stops_comment(b) && next_of(kCommentState, b) != kCommentState) return false;
  }
  return next_of(kStringState, '"') == final_of(kTokenString) &&
         next_of(kCommentState, '\n') == final_of(kTokenComment);
}
static_assert(bodies_match_the_table());

// The first byte from `p` the string body stops at, or null when it is not within the bytes
// readable 16 at a time.
inline const uint8_t* string_stop(const uint8_t* p, const uint8_t* end) {
  const __m128i quote = _mm_set1_epi8('"'), caret = _mm_set1_epi8('^'), newline = _mm_set1_epi8('\n');
  for (; end - p >= 16; p += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, caret)),
                                 _mm_or_si128(_mm_cmpeq_epi8(x, newline), _mm_cmpeq_epi8(x, _mm_setzero_si128())));
    uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(stops) | _mm_movemask_epi8(x));  // high bit: >= 0x80
    if (mask) return p + __builtin_ctz(mask);
  }
  return nullptr;
}

// The first byte from `p` the comment body stops at, or null as for string_stop.
inline const uint8_t* comment_stop(const uint8_t* p, const uint8_t* end) {
  const __m128i newline = _mm_set1_epi8('\n'), high = _mm_set1_epi8(static_cast<char>(0xF8));
  const __m128i pair_mask = _mm_set1_epi8(static_cast<char>(0xFE)), pair = _mm_set1_epi8(static_cast<char>(0xC0));
  for (; end - p >= 16; p += 16) {
    __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(x, newline), _mm_cmpeq_epi8(x, _mm_setzero_si128()));
    __m128i bad = _mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(x, high), x),
                               _mm_cmpeq_epi8(_mm_and_si128(x, pair_mask), pair));  // 0xF8-0xFF, 0xC0, 0xC1
    uint32_t mask = static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(ends, bad)));
    if (mask) return p + __builtin_ctz(mask);
  }
  return nullptr;
}

// Within an 8-byte word, the high bit of each byte in [low, high] (bounds below 0x80): the low
// seven bits of a byte are raised so that no sum carries into the next byte.
constexpr uint64_t bytes_within(uint64_t bytes, uint8_t low, uint8_t high) {
  constexpr uint64_t ones = 0x0101010101010101, highs = ones * 0x80;
  uint64_t seven = bytes & ~highs;
  uint64_t at_least_low = seven + ones * (0x80 - low);
  uint64_t above_high = seven + ones * (0x7F - high);
  return at_least_low & ~above_high & ~bytes & highs;
}

// The first byte from `p` outside [low, high], or `end`; eight bytes at a time while eight are
// readable, so that a short run costs no branch per byte.
inline const uint8_t* pass_range(const uint8_t* p, const uint8_t* end, uint8_t low, uint8_t high) {
  for (; end - p >= 8; p += 8) {
    uint64_t bytes;
    std::memcpy(&bytes, p, 8);
    uint64_t outside = ~bytes_within(bytes, low, high) & 0x8080808080808080;
    if (outside) return p + __builtin_ctzll(outside) / 8;
  }
  while (p < end && *p >= low && *p <= high) ++p;
  return p;
}

// The first byte from `p` without `role`, or `end`.
[[gnu::always_inline]] inline const uint8_t* pass_role(const uint8_t* p, const uint8_t* end, uint16_t role) {
  while (p < end && (kByteRoles[*p] & role)) ++p;
  return p;
}

// The byte ranges the word and number loops pass eight at a time have those loops' roles.
consteval bool ranges_have_their_roles() {
  for (int b = 0; b < 256; ++b) {
    if ((b >= '0' && b <= '9') != bool(kByteRoles[b] & kDigit)) return false;
    if (b >= 'a' && b <= 'z' && !(kByteRoles[b] & kWordBody)) return false;
  }
  return true;
}
static_assert(ranges_have_their_roles());

// A number from its first digit at `digits` (after its sign, if any): an integer, or a decimal
// of digits around one point; ended by a byte that ends it, which `at` is moved to. ORs the
// point's flags into `flags`.
inline uint8_t number_type(const uint8_t* digits, const uint8_t* end, const uint8_t*& at, uint32_t& flags) {
  const uint8_t* p = pass_range(digits + 1, end, '0', '9');
  if (p == end) return kNotPlain;
  uint16_t role = kByteRoles[*p];
  at = p;
  if (role & kIntegerEnd) return kTokenInteger;
  if (!(role & kPoint) || end - p < 2 || !(kByteRoles[p[1]] & kDigit)) return kNotPlain;
  flags |= flags_of(*p);
  at = p = pass_range(p + 2, end, '0', '9');
  if (p < end && (kByteRoles[*p] & kFractionEnd)) return kTokenFloat;
  return kNotPlain;
}

}  // namespace plain_walk_detail

// Recognises the token the table walk from `p` in the normal start state, on `line`, would
// find, when it is a word, an integer, a decimal, a string or a comment the recogniser is sure
// of, and a byte follows it. Answers type kNotPlain otherwise.
[[gnu::always_inline]] inline PlainWalk lexer_plain_walk(const uint8_t* p, const uint8_t* const end, int64_t line) {
  using namespace plain_walk_detail;
  for (; p < end && (kByteRoles[*p] & kSkipped); ++p) line += *p == '\n';
  PlainWalk walk{p, p, line, 0, kNotPlain};
  if (p == end) return walk;
  const uint8_t* at = p;
  switch (kByteStarts[*p]) {
    case kStartsWord:
      at = pass_role(pass_range(p + 1, end, 'a', 'z'), end, kWordBody);  // lower-case letters first
      if (at < end && (kByteRoles[*at] & kWordEnd)) walk.type = kTokenWord;
      break;
    case kStartsNumber:
      walk.type = number_type(p, end, at, walk.flags);
      break;
    case kStartsSign:
      walk.flags = flags_of(*p);
      if (end - p >= 2 && (kByteRoles[p[1]] & kDigit)) walk.type = number_type(p + 1, end, at, walk.flags);
      break;
    case kStartsString:
      at = string_stop(p + 1, end);
      if (at && *at == '"' && end - at >= 2) walk.type = kTokenString;
      break;
    case kStartsComment:
      at = comment_stop(p + 1, end);
      if (at && *at == '\n') walk.type = kTokenComment;
      break;
    default:
      break;
  }
  walk.end = at;
  return walk;
}

}  // namespace qel

// lexer-plain-walk.h: the plain scan's fast recogniser of its commonest tokens (words, integers,
// decimals, strings, comments), chosen by one multiway jump on the first byte: words and numbers
// are classified in one 16-byte window without a branch on which they are (their kinds come in
// random order, so such a branch would be mispredicted), strings and comments are passed 16
// bytes at a time. The next token's walk never waits for a token's type, only for its end.
//
// Its byte sets are derived from the transition table at compile time, and it answers only
// tokens whose whole shape it has seen and which a plain scan passes; anything else (an unusual
// byte, a token running into the input's end) is left to the table walk from the same position,
// which stays the authority.
#pragma once

#include <emmintrin.h>

#include <array>
#include <cstdint>

#include "loader/lexer/lexer-state.h"
#include "loader/lexer/lexer-tables.h"
#include "loader/lexer/token-handlers.h"

namespace qel {

// A token the fast recogniser is sure of, as the table walk from the start state finds it.
struct PlainWalk {
  const uint8_t* start;  // after the blanks, newlines and control bytes before it
  const uint8_t* end;    // the first byte not consumed (a string's closing quote)
  const uint8_t* next;   // where the next token's walk starts: past a closing quote
  int64_t line;          // the line at the end
  uint8_t type;          // token type; kNotPlain when the table walk must decide
  uint8_t alone;         // for kNotPlain: the final state of a token its first byte makes alone
                         // ([ ] ( ) { } , NUL, a byte no token starts with), else 0
};

inline constexpr uint8_t kNotPlain = kTokenEnd;  // the recogniser never answers the end token

namespace plain_walk_detail {

// The state after `byte` in `state`, the byte's flags and a token type's final state.
constexpr uint8_t next_of(uint8_t state, int byte) { return kTransitionTable[state][kCharClassTable[byte] & 0xFF]; }
constexpr uint32_t flags_of(int byte) { return kCharClassTable[byte] & kCharFlagMask; }
constexpr uint8_t final_of(uint8_t token) { return kFirstFinalState + token; }

// The states the recognised kinds are read in, as the table enters them.
inline constexpr uint8_t kWordState = next_of(0, 'a');
inline constexpr uint8_t kIntegerState = next_of(0, '1');
inline constexpr uint8_t kSignState = next_of(0, '-');
inline constexpr uint8_t kPointState = next_of(kIntegerState, '.');
inline constexpr uint8_t kFractionState = next_of(kPointState, '1');
inline constexpr uint8_t kStringState = next_of(0, '"');
inline constexpr uint8_t kCommentState = next_of(0, ';');

// What a byte may do in the recogniser's loops (bits of kByteRoles).
enum : uint16_t {
  kSkipped = 1,        // passed before a token: blank, newline, control byte
  kWordBody = 2,       // keeps a word a word, ASCII and without a colon or an apostrophe
  kWordEnd = 4,        // ends a word, not consumed
  kDigit = 8,          // a digit of an integer or a fraction, from the start, a sign or a point
  kIntegerEnd = 16,    // ends an integer, not consumed
  kPoint = 32,         // turns an integer into a decimal
  kFractionEnd = 64,   // ends a decimal's fraction, not consumed
};

// What the first byte of a token starts (kByteStarts).
enum : uint8_t { kStartsWord, kStartsNumber, kStartsSign, kStartsString, kStartsComment, kStartsOther, kIsSkipped };

// The roles of every byte, from the transitions of the states above.
inline constexpr std::array<uint16_t, 256> kByteRoles = [] {
  std::array<uint16_t, 256> roles{};
  for (int b = 0; b < 256; ++b) {
    bool ascii = b < 0x80;
    uint16_t role = 0;
    if (next_of(0, b) == 0) role |= kSkipped;
    if (ascii && next_of(kWordState, b) == kWordState && !(flags_of(b) & (kFlagColon | kFlagApostrophe)))
      role |= kWordBody;
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

// What a token's first byte starts, for the ASCII bytes that start a recognised kind; a byte
// passed before a token is kIsSkipped.
constexpr uint8_t start_of(int b) {
  uint8_t next = next_of(0, b);
  if (next == 0) return kIsSkipped;
  if (b >= 0x80) return kStartsOther;
  if (next == kWordState) return kStartsWord;
  if (kByteRoles[b] & kDigit) return kStartsNumber;
  if (next == kSignState) return kStartsSign;
  if (next == kStringState) return kStartsString;
  if (next == kCommentState) return kStartsComment;
  return kStartsOther;
}

// What every byte starts.
inline constexpr std::array<uint8_t, 256> kByteStarts = [] {
  std::array<uint8_t, 256> starts{};
  for (int b = 0; b < 256; ++b) starts[b] = start_of(b);
  return starts;
}();

// The final state a byte makes alone from the start state, else 0.
inline constexpr std::array<uint8_t, 256> kByteAlone = [] {
  std::array<uint8_t, 256> alone{};
  for (int b = 0; b < 256; ++b) alone[b] = is_final_state(next_of(0, b)) ? next_of(0, b) : 0;
  return alone;
}();

// The skipped bytes carry no flags, so a token made alone has none.
consteval bool skipped_bytes_carry_no_flags() {
  for (int b = 0; b < 256; ++b)
    if ((kByteRoles[b] & kSkipped) && flags_of(b)) return false;
  return true;
}
static_assert(skipped_bytes_carry_no_flags());

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

// The first byte from `p` whose bit `stops_of` sets in the movemask of a 16-byte load, or null
// when there is none within the bytes readable 16 at a time.
template <class StopsOf>
[[gnu::always_inline]] inline const uint8_t* first_stop(const uint8_t* p, const uint8_t* end, StopsOf stops_of) {
  for (; end - p >= 16; p += 16) {
    uint32_t mask = stops_of(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
    if (mask) return p + __builtin_ctz(mask);
  }
  return nullptr;
}

// The first byte from `p` the string body stops at, or null as for first_stop.
inline const uint8_t* string_stop(const uint8_t* p, const uint8_t* end) {
  const __m128i quote = _mm_set1_epi8('"'), caret = _mm_set1_epi8('^'), newline = _mm_set1_epi8('\n');
  return first_stop(p, end, [&](__m128i x) {
    __m128i stops = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, caret)),
                                 _mm_or_si128(_mm_cmpeq_epi8(x, newline), _mm_cmpeq_epi8(x, _mm_setzero_si128())));
    return static_cast<uint32_t>(_mm_movemask_epi8(stops) | _mm_movemask_epi8(x));  // high bit: >= 0x80
  });
}

// The first byte from `p` the comment body stops at, or null as for first_stop.
inline const uint8_t* comment_stop(const uint8_t* p, const uint8_t* end) {
  const __m128i newline = _mm_set1_epi8('\n'), high = _mm_set1_epi8(static_cast<char>(0xF8));
  const __m128i pair_mask = _mm_set1_epi8(static_cast<char>(0xFE)), pair = _mm_set1_epi8(static_cast<char>(0xC0));
  return first_stop(p, end, [&](__m128i x) {
    __m128i ends = _mm_or_si128(_mm_cmpeq_epi8(x, newline), _mm_cmpeq_epi8(x, _mm_setzero_si128()));
    __m128i bad = _mm_or_si128(_mm_cmpeq_epi8(_mm_max_epu8(x, high), x),
                               _mm_cmpeq_epi8(_mm_and_si128(x, pair_mask), pair));  // 0xF8-0xFF, 0xC0, 0xC1
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_or_si128(ends, bad)));
  });
}

// The bytes a word or number window passes: lower-case letters, digits, the point, the signs
// and "?". Every one keeps a word a word; digits and the point are all a number may hold.
constexpr bool in_window(int b) {
  return (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '.' || b == '+' || b == '-' || b == '?';
}

// The window's digits are the table's digits, its other bytes keep a word going, and its point
// turns an integer into a decimal.
consteval bool window_bytes_have_their_roles() {
  for (int b = 0; b < 256; ++b) {
    if ((b >= '0' && b <= '9') != bool(kByteRoles[b] & kDigit)) return false;
    if (in_window(b) && !(kByteRoles[b] & kWordBody)) return false;
  }
  return bool(kByteRoles['.'] & kPoint);
}
static_assert(window_bytes_have_their_roles());

// The bytes of `x` within [low, high], as a compare mask (unsigned: the offset from `low` is at
// most high - low).
inline __m128i bytes_within(__m128i x, char low, char high) {
  __m128i offset = _mm_sub_epi8(x, _mm_set1_epi8(low));
  return _mm_cmpeq_epi8(_mm_min_epu8(offset, _mm_set1_epi8(static_cast<char>(high - low))), offset);
}

// The token a window holds, the role of the byte that ends it and the flags its check reads,
// by its first byte's kind (a word, a number, a sign) and whether a number holds no point.
struct WindowToken {
  uint8_t type;
  uint16_t ends;
  uint32_t flags;
};
inline constexpr WindowToken kWindowTokens[3][2] = {
    {{kTokenWord, kWordEnd, 0}, {kTokenWord, kWordEnd, 0}},
    {{kTokenFloat, kFractionEnd, flags_of('.')}, {kTokenInteger, kIntegerEnd, 0}},
    {{kTokenFloat, kFractionEnd, flags_of('.') | flags_of('-')}, {kTokenInteger, kIntegerEnd, flags_of('-')}},
};
static_assert(flags_of('+') == flags_of('-'));

// A word or number from `p`, with 16 bytes readable there: its bytes are classified at once, so
// that its length costs no branch. Answers its type, and its end in `at`, when it lies within
// the window, ends at a byte that ends it as the table walk would, and passes plainly (a
// number as the handler table lets it pass unchecked); else kNotPlain.
[[gnu::always_inline]] inline uint8_t window_type(const uint8_t* p, uint8_t starts, const uint8_t*& at) {
  __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  __m128i digit = bytes_within(x, '0', '9'), point = _mm_cmpeq_epi8(x, _mm_set1_epi8('.'));
  __m128i signs = _mm_or_si128(_mm_cmpeq_epi8(x, _mm_set1_epi8('+')), _mm_cmpeq_epi8(x, _mm_set1_epi8('-')));
  __m128i marks = _mm_or_si128(signs, _mm_cmpeq_epi8(x, _mm_set1_epi8('?')));
  __m128i passed = _mm_or_si128(_mm_or_si128(bytes_within(x, 'a', 'z'), digit), _mm_or_si128(point, marks));
  uint32_t length = static_cast<uint32_t>(__builtin_ctz(~static_cast<uint32_t>(_mm_movemask_epi8(passed))));
  at = p + length;  // within the window when the length is below 16
  uint32_t sign = starts == kStartsSign;
  uint32_t within = (1u << length) - 1, last = within ^ (within >> 1);
  // A number's bytes after its sign that are not digits: none, or one point before the last.
  uint32_t digits = static_cast<uint32_t>(_mm_movemask_epi8(digit));
  uint32_t others = within & ~digits & ~sign;
  uint32_t integer = others == 0;
  uint32_t points = static_cast<uint32_t>(_mm_movemask_epi8(point));
  uint32_t decimal = ((others & (others - 1)) == 0) & ((others & ~points) == 0) & ((others & last) == 0);
  uint32_t leads = (digits >> sign) & 1;  // a digit after the sign
  uint32_t shaped = (starts == kStartsWord) | (leads & (integer | decimal));
  const WindowToken& token = kWindowTokens[starts][integer];
  const TokenHandlers& handlers = token_handlers(token.type);
  uint32_t passes = (length < 16) & shaped & ((kByteRoles[p[length & 15]] & token.ends) != 0) &
                    ((token.flags & handlers.checked_flags) == 0) & (length <= handlers.longest);
  return passes ? token.type : kNotPlain;
}

}  // namespace plain_walk_detail

// Recognises the token the table walk from `p` in the normal start state, on
// `line`, would find, when it is a word, an integer, a decimal, a string or a comment the
// recogniser is sure of, a plain scan passes it without its handlers (words and strings of plain
// ASCII, numbers the handler table lets pass unchecked) and a byte follows it. Answers type
// kNotPlain otherwise. One multiway jump on the first byte chooses between the skipped bytes and
// the kinds, so that a token right after another ("]" after a value) costs one guess, not two.
[[gnu::always_inline]] inline PlainWalk lexer_plain_walk(const uint8_t* p, const uint8_t* const end, int64_t line) {
  using namespace plain_walk_detail;
  auto not_plain = [&](uint8_t alone = 0) { return PlainWalk{p, p, p, line, kNotPlain, alone}; };
  if (p == end) return not_plain();
  const uint8_t* at;
  for (;;) {
    uint8_t starts = kByteStarts[*p];
    switch (starts) {
      case kIsSkipped:
        do line += *p++ == '\n';
        while (p < end && (kByteRoles[*p] & kSkipped));
        if (p == end) return not_plain();
        continue;
      case kStartsWord:
      case kStartsNumber:
      case kStartsSign: {  // no branch on which: their kinds come in random order
        if (end - p < 16) return not_plain();
        uint8_t type = window_type(p, starts, at);
        return {p, at, at, line, type, 0};  // the next walk does not wait for the type
      }
      case kStartsString:
        at = string_stop(p + 1, end);
        if (at && *at == '"' && end - at >= 2) return {p, at, at + 1, line, kTokenString, 0};
        return not_plain();
      case kStartsComment:
        at = comment_stop(p + 1, end);
        if (at && *at == '\n') return {p, at, at, line, kTokenComment, 0};
        return not_plain();
      default:
        return not_plain(kByteAlone[*p]);
    }
  }
}

}  // namespace qel

// utf8-decode.h: decoding UTF-8 one sequence at a time, and the counters built on it.
//
// Well-formedness is one rule for every decoder of the system: a deterministic automaton over
// byte classes that accepts exactly the shortest forms of U+0000-U+D7FF and U+E000-U+10FFFF.
// Overlong forms, surrogates (ED A0-BF ..) and anything above U+10FFFF are ill-formed. Every
// decoder works on a bounded span [p, end) and never reads at or past end.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace qel {

// 256 byte classes, then the transitions: row `state` (a multiple of 12) and column `class`
// give the next state at 256 + state + class. State 0 accepts, 12 rejects.
// clang-format off
inline constexpr uint8_t kUtf8Dfa[364] = {
    // byte classes: 00-7F 0, 80-8F 1, 90-9F 9, A0-BF 7, C0-C1 8, C2-DF 2, E0 10, E1-EC 3,
    // ED 4, EE-EF 3, F0 11, F1-F3 6, F4 5, F5-FF 8
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 00
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 10
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 20
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 30
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 40
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 50
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 60
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 70
    1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1,  // 80
    9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9,  // 90
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // A0
    7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7, 7,  // B0
    8, 8, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // C0
    2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2,  // D0
    10, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 4, 3, 3,  // E0
    11, 6, 6, 6, 5, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8,  // F0
    // transitions, classes c0-c11 per row
     0, 12, 24, 36, 60, 96, 84, 12, 12, 12, 48, 72,  // state 0
    12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // state 12
    12,  0, 12, 12, 12, 12, 12,  0, 12,  0, 12, 12,  // state 24: one continuation left
    12, 24, 12, 12, 12, 12, 12, 24, 12, 24, 12, 12,  // state 36: two left
    12, 12, 12, 12, 12, 12, 12, 24, 12, 12, 12, 12,  // state 48: after E0, A0-BF only
    12, 24, 12, 12, 12, 12, 12, 12, 12, 24, 12, 12,  // state 60: after ED, 80-9F only
    12, 12, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,  // state 72: after F0, 90-BF only
    12, 36, 12, 12, 12, 12, 12, 36, 12, 36, 12, 12,  // state 84: three left
    12, 36, 12, 12, 12, 12, 12, 12, 12, 12, 12, 12,  // state 96: after F4, 80-8F only
};
// clang-format on

inline constexpr uint32_t kUtf8Accept = 0;
inline constexpr uint32_t kUtf8Reject = 12;

enum class Utf8Status : uint8_t {
  ok,          // a well-formed sequence
  ill_formed,  // no well-formed sequence starts here
  cut_short,   // the span ends inside a sequence whose bytes so far are well-formed
};

// One decoding step: the code point (0 unless ok), the bytes the step covers and its status.
// An ill-formed step covers the bytes up to and including the one that made it ill-formed (a
// bad lead: one byte; a bad continuation: the lead and the bad byte); a cut-short one the rest
// of the span.
struct Utf8Step {
  uint32_t code_point;
  uint32_t size;
  Utf8Status status;
};

// Decodes the sequence at p through the automaton; p < end.
[[gnu::always_inline]] inline Utf8Step utf8_decode_step(const uint8_t* p, const uint8_t* end) {
  uint32_t byte = p[0];
  uint32_t byte_class = kUtf8Dfa[byte];
  uint32_t code_point = (0xFFu >> byte_class) & byte;
  uint32_t state = kUtf8Dfa[256 + byte_class];
  uint32_t size = 1;
  while (state > kUtf8Reject) {
    if (p + size == end) return {0, size, Utf8Status::cut_short};
    byte = p[size++];
    code_point = (byte & 0x3F) | code_point << 6;
    state = kUtf8Dfa[256 + state + kUtf8Dfa[byte]];
  }
  if (state == kUtf8Reject) return {0, size, Utf8Status::ill_formed};
  return {code_point, size, Utf8Status::ok};
}

// The bytes a step moves over where ill-formed input reads as U+FFFD: the byte that broke a
// sequence is read again, as it may start the next one.
inline uint32_t utf8_replacing_step_size(const Utf8Step& step) {
  return step.status == Utf8Status::ill_formed && step.size > 1 ? step.size - 1 : step.size;
}

// What the automaton allows after each byte as a lead: the sequence length (0 when no sequence
// starts with it) and the range of the second byte; every later byte must be 80-BF. Derived
// from kUtf8Dfa by the compiler, so the checked decoder keeps the automaton's rule while it
// reads a sequence without walking the automaton.
struct Utf8Lead {
  uint8_t length;
  uint8_t second_low;
  uint8_t second_high;
};

// The state the automaton enters on byte b in state s.
constexpr uint32_t utf8_next_state(uint32_t s, uint8_t b) { return kUtf8Dfa[256 + s + kUtf8Dfa[b]]; }

// Builds the lead table, checking that the automaton has the shape it describes.
consteval std::array<Utf8Lead, 256> utf8_lead_table() {
  std::array<Utf8Lead, 256> table{};
  for (uint32_t lead = 0; lead < 256; ++lead) {
    uint32_t state = utf8_next_state(kUtf8Accept, static_cast<uint8_t>(lead));
    if (state == kUtf8Accept) table[lead] = {1, 0, 0};
    if (state == kUtf8Accept || state == kUtf8Reject) continue;
    uint32_t low = 256, high = 0, after = kUtf8Reject;
    for (uint32_t b = 0; b < 256; ++b) {
      uint32_t next = utf8_next_state(state, static_cast<uint8_t>(b));
      if (next == kUtf8Reject) continue;
      if (low == 256) low = b, after = next;
      if (b != high + 1 && high != 0) throw "the second byte's range has a gap";
      if (next != after) throw "the second byte leads to different states";
      high = b;
    }
    uint8_t length = 2;
    for (; after != kUtf8Accept; ++length) {
      uint32_t next = kUtf8Reject;
      for (uint32_t b = 0; b < 256; ++b) {
        bool accepted = utf8_next_state(after, static_cast<uint8_t>(b)) != kUtf8Reject;
        if (accepted != (b >= 0x80 && b <= 0xBF)) throw "a later byte is not exactly 80-BF";
        if (accepted) next = utf8_next_state(after, static_cast<uint8_t>(b));
      }
      after = next;
    }
    table[lead] = {length, static_cast<uint8_t>(low), static_cast<uint8_t>(high)};
  }
  return table;
}

inline constexpr std::array<Utf8Lead, 256> kUtf8Leads = utf8_lead_table();

// The checked decoder of loading, char! make and percent-decoding: the automaton's verdict,
// and U+FFFE, well-formed as it is, refused as ill-formed; p < end. An ill-formed sequence
// covers the bytes the automaton would have read.
[[gnu::always_inline]] inline Utf8Step utf8_decode_checked(const uint8_t* p, const uint8_t* end) {
  uint32_t lead = p[0];
  Utf8Lead rule = kUtf8Leads[lead];
  if (rule.length == 1) return {lead, 1, Utf8Status::ok};
  if (rule.length == 0) return {0, 1, Utf8Status::ill_formed};
  size_t available = static_cast<size_t>(end - p);
  uint32_t b1 = available > 1 ? p[1] : rule.second_low;
  if (b1 < rule.second_low || b1 > rule.second_high) return {0, 2, Utf8Status::ill_formed};
  uint32_t b2 = available > 2 ? p[2] : 0x80;
  if (rule.length > 2 && (b2 & 0xC0) != 0x80) return {0, 3, Utf8Status::ill_formed};
  uint32_t b3 = available > 3 ? p[3] : 0x80;
  if (rule.length > 3 && (b3 & 0xC0) != 0x80) return {0, 4, Utf8Status::ill_formed};
  if (available < rule.length) return {0, static_cast<uint32_t>(available), Utf8Status::cut_short};
  if (rule.length == 2) return {(lead & 0x1F) << 6 | (b1 & 0x3F), 2, Utf8Status::ok};
  if (rule.length == 3) {
    uint32_t code_point = (lead & 0x0F) << 12 | (b1 & 0x3F) << 6 | (b2 & 0x3F);
    if (code_point == 0xFFFE) return {0, 3, Utf8Status::ill_formed};
    return {code_point, 3, Utf8Status::ok};
  }
  return {(lead & 0x07) << 18 | (b1 & 0x3F) << 12 | (b2 & 0x3F) << 6 | (b3 & 0x3F), 4, Utf8Status::ok};
}

// What the lexer's decoder answers: the address after the sequence and its code point, -1 for
// an ill-formed or cut-short one.
struct Utf8Char {
  const uint8_t* next;
  int32_t code_point;
};

// Decodes one sequence at p for the lexer; p < end.
inline Utf8Char utf8_decode_char(const uint8_t* p, const uint8_t* end) {
  Utf8Step step = utf8_decode_step(p, end);
  int32_t code_point = step.status == Utf8Status::ok ? static_cast<int32_t>(step.code_point) : -1;
  return {p + step.size, code_point};
}

// Counts the decoding steps (code points, each ill-formed stretch counting as one) in [start, end).
size_t utf8_count_chars(const uint8_t* start, const uint8_t* end);

// The address after at most n decoding steps from p, never past end.
const uint8_t* utf8_skip_chars(const uint8_t* p, const uint8_t* end, size_t n);

// The first byte in [p, end) where no well-formed sequence starts; end when there is none.
const uint8_t* utf8_first_ill_formed(const uint8_t* p, const uint8_t* end);

// The length a lead byte announces: 4 for F0-FF, 3 for E0-EF, 2 for C0-DF, 0 below C0.
constexpr unsigned utf8_sequence_length(uint8_t lead) {
  return lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
}

// The bytes an invalid-utf8 error shows: up to four from p, only those before end.
std::span<const uint8_t> utf8_error_bytes(const uint8_t* p, const uint8_t* end);

}  // namespace qel

// base-codecs.cpp: the base 2, 16, 58 and 64 encoders and decoders.
#include "datatypes/series/base-codecs.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

#include "runtime/quit.h"

namespace qel {

namespace {

constexpr std::string_view kHexDigits = "0123456789ABCDEF";
constexpr std::string_view kBase58Digits = "123456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
constexpr std::string_view kBase64Digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// What a code point below 128 is to a decoder: a digit's value (below 64) or one of these.
constexpr uint8_t kBlank = 64;
constexpr uint8_t kComment = 65;
constexpr uint8_t kPad = 66;
constexpr uint8_t kBad = 255;

using DecodeTable = std::array<uint8_t, 128>;

// The table of a base: its digits (upper and lower case alike for base 16), ";" and its blanks;
// "=" only in base 64.
consteval DecodeTable decode_table(int32_t base) {
  DecodeTable table{};
  table.fill(kBad);
  bool wide_blanks = base == 2 || base == 16;
  for (uint32_t c = 0; c <= 0x20; ++c)
    if (wide_blanks || c == 8 || c == 9 || c == 10 || c == 12 || c == 13 || c == 0x20) table[c] = kBlank;
  if (!wide_blanks) table['\''] = kBlank;
  table[';'] = kComment;
  std::string_view digits = base == 2 ? "01" : base == 16 ? kHexDigits : base == 58 ? kBase58Digits : kBase64Digits;
  for (size_t i = 0; i < digits.size(); ++i) table[static_cast<uint8_t>(digits[i])] = static_cast<uint8_t>(i);
  if (base == 16)
    for (uint32_t c = 'a'; c <= 'f'; ++c) table[c] = static_cast<uint8_t>(c - 'a' + 10);
  if (base == 64) table['='] = kPad;
  return table;
}

constexpr DecodeTable kBase2Table = decode_table(2);
constexpr DecodeTable kBase16Table = decode_table(16);
constexpr DecodeTable kBase58Table = decode_table(58);
constexpr DecodeTable kBase64Table = decode_table(64);

// What the reader answers besides a digit's value.
constexpr int32_t kEnd = -1;
constexpr int32_t kInvalid = -2;
constexpr int32_t kPadding = -3;

// Reads the digits of a text one at a time, past blanks and comments.
template <class Unit>
class DigitReader {
 public:
  DigitReader(std::span<const Unit> text, const DecodeTable& table)
      : at_(text.data()), end_(text.data() + text.size()), table_(table) {}

  // The next digit's value, or kEnd, kInvalid or kPadding.
  int32_t next() {
    while (at_ < end_) {
      uint32_t c = *at_++;
      uint8_t kind = c < 128 ? table_[c] : kBad;
      if (kind < 64) return kind;
      if (kind == kBlank) continue;
      if (kind == kComment) {
        while (at_ < end_ && *at_ != '\n') ++at_;
        continue;
      }
      return kind == kPad ? kPadding : kInvalid;
    }
    return kEnd;
  }

  // Where reading stands: the fast loops read plain digits straight from it.
  const Unit*& at() { return at_; }
  const Unit* end() const { return end_; }
  const DecodeTable& table() const { return table_; }

 private:
  const Unit* at_;
  const Unit* end_;
  const DecodeTable& table_;
};

// The value of the unit as a digit of the table, or kBad.
template <class Unit>
inline uint8_t digit_of(const DecodeTable& table, Unit c) {
  return static_cast<uint32_t>(c) < 128 ? table[static_cast<uint32_t>(c)] : kBad;
}

// --- Bases 2 and 16 -------------------------------------------------------------------------------

// Groups of `per_byte` digits of `bits` bits each make one byte, high digit first.
template <class Unit>
std::optional<size_t> decode_fixed_groups(std::span<const Unit> text, uint8_t* out, const DecodeTable& table,
                                          unsigned bits, unsigned per_byte) {
  DigitReader<Unit> reader(text, table);
  uint8_t* write = out;
  uint32_t byte = 0;
  unsigned count = 0;
  for (;;) {
    if (count == 0 && bits == 4) {  // plain pairs of hex digits without the reader
      const Unit*& at = reader.at();
      while (reader.end() - at >= 2) {
        uint8_t high = digit_of(table, at[0]), low = digit_of(table, at[1]);
        if ((high | low) >= 16) break;
        *write++ = static_cast<uint8_t>(high << 4 | low);
        at += 2;
      }
    }
    int32_t digit = reader.next();
    if (digit == kEnd) break;
    if (digit < 0) return std::nullopt;
    byte = byte << bits | static_cast<uint32_t>(digit);
    if (++count == per_byte) {
      *write++ = static_cast<uint8_t>(byte);
      byte = 0;
      count = 0;
    }
  }
  if (count != 0) return std::nullopt;
  return static_cast<size_t>(write - out);
}

uint8_t* encode_base2(std::span<const uint8_t> bytes, uint8_t* out) {
  for (uint8_t byte : bytes)
    for (int bit = 7; bit >= 0; --bit) *out++ = static_cast<uint8_t>('0' + ((byte >> bit) & 1));
  return out;
}

uint8_t* encode_base16(std::span<const uint8_t> bytes, uint8_t* out) {
  for (uint8_t byte : bytes) {
    *out++ = static_cast<uint8_t>(kHexDigits[byte >> 4]);
    *out++ = static_cast<uint8_t>(kHexDigits[byte & 15]);
  }
  return out;
}

// --- Base 64 --------------------------------------------------------------------------------------

uint8_t* encode_base64(std::span<const uint8_t> bytes, uint8_t* out) {
  const uint8_t* in = bytes.data();
  size_t n = bytes.size();
  auto digit = [](uint32_t v) { return static_cast<uint8_t>(kBase64Digits[v & 63]); };
  for (; n >= 3; n -= 3, in += 3) {
    uint32_t group = uint32_t{in[0]} << 16 | uint32_t{in[1]} << 8 | in[2];
    out[0] = digit(group >> 18);
    out[1] = digit(group >> 12);
    out[2] = digit(group >> 6);
    out[3] = digit(group);
    out += 4;
  }
  if (n > 0) {
    uint32_t group = uint32_t{in[0]} << 16 | (n == 2 ? uint32_t{in[1]} << 8 : 0);
    out[0] = digit(group >> 18);
    out[1] = digit(group >> 12);
    out[2] = n == 2 ? digit(group >> 6) : '=';
    out[3] = '=';
    out += 4;
  }
  return out;
}

// After the first "=" of a group of `count` digits: the rest of the padding, then only blanks
// and comments. Answers the bytes the group gives, or -1.
template <class Unit>
int32_t base64_padded_tail(DigitReader<Unit>& reader, unsigned count) {
  if (count < 2) return -1;
  if (count == 2 && reader.next() != kPadding) return -1;
  if (reader.next() != kEnd) return -1;
  return static_cast<int32_t>(count) - 1;
}

template <class Unit>
std::optional<size_t> decode_base64(std::span<const Unit> text, uint8_t* out) {
  DigitReader<Unit> reader(text, kBase64Table);
  uint8_t* write = out;
  uint32_t group = 0;
  unsigned count = 0;
  for (;;) {
    if (count == 0) {  // whole groups of plain digits without the reader
      const Unit*& at = reader.at();
      while (reader.end() - at >= 4) {
        uint8_t a = digit_of(kBase64Table, at[0]), b = digit_of(kBase64Table, at[1]);
        uint8_t c = digit_of(kBase64Table, at[2]), d = digit_of(kBase64Table, at[3]);
        if ((a | b | c | d) >= 64) break;
        uint32_t whole = uint32_t{a} << 18 | uint32_t{b} << 12 | uint32_t{c} << 6 | d;
        write[0] = static_cast<uint8_t>(whole >> 16);
        write[1] = static_cast<uint8_t>(whole >> 8);
        write[2] = static_cast<uint8_t>(whole);
        write += 3;
        at += 4;
      }
    }
    int32_t digit = reader.next();
    if (digit == kEnd) break;
    if (digit == kInvalid) return std::nullopt;
    if (digit == kPadding) {
      int32_t tail = base64_padded_tail(reader, count);
      if (tail < 0) return std::nullopt;
      group <<= 6 * (4 - count);
      for (int32_t k = 0; k < tail; ++k) *write++ = static_cast<uint8_t>(group >> (16 - 8 * k));
      return static_cast<size_t>(write - out);
    }
    group = group << 6 | static_cast<uint32_t>(digit);
    if (++count == 4) {
      write[0] = static_cast<uint8_t>(group >> 16);
      write[1] = static_cast<uint8_t>(group >> 8);
      write[2] = static_cast<uint8_t>(group);
      write += 3;
      group = 0;
      count = 0;
    }
  }
  if (count != 0) return std::nullopt;
  return static_cast<size_t>(write - out);
}

// --- Base 58 --------------------------------------------------------------------------------------

// The number is worked in 32-bit limbs, least significant first, five base-58 digits at a time:
// 58^5 is the largest power of 58 below 2^32.
constexpr uint32_t kBase58Chunk = 656356768;  // 58^5
constexpr unsigned kBase58ChunkDigits = 5;

// The bytes as limbs, least significant first.
std::vector<uint32_t> limbs_of(std::span<const uint8_t> bytes) {
  std::vector<uint32_t> limbs((bytes.size() + 3) / 4, 0);
  for (size_t i = 0; i < bytes.size(); ++i) {
    size_t from_end = bytes.size() - 1 - i;
    limbs[from_end / 4] |= uint32_t{bytes[i]} << (8 * (from_end % 4));
  }
  return limbs;
}

// Divides the limbs by d in place (the top zero limbs dropped) and answers the remainder.
uint32_t divide_limbs(std::vector<uint32_t>& limbs, uint32_t d) {
  uint64_t remainder = 0;
  for (size_t i = limbs.size(); i-- > 0;) {
    uint64_t current = remainder << 32 | limbs[i];
    limbs[i] = static_cast<uint32_t>(current / d);
    remainder = current % d;
  }
  while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
  return static_cast<uint32_t>(remainder);
}

// limbs = limbs x m + add.
void multiply_add_limbs(std::vector<uint32_t>& limbs, uint32_t m, uint32_t add) {
  uint64_t carry = add;
  for (uint32_t& limb : limbs) {
    uint64_t current = uint64_t{limb} * m + carry;
    limb = static_cast<uint32_t>(current);
    carry = current >> 32;
  }
  if (carry) limbs.push_back(static_cast<uint32_t>(carry));
}

uint8_t* encode_base58(std::span<const uint8_t> bytes, uint8_t* out) {
  size_t zeros = 0;
  while (zeros < bytes.size() && bytes[zeros] == 0) ++zeros;
  out = std::fill_n(out, zeros, static_cast<uint8_t>('1'));
  std::vector<uint32_t> limbs = limbs_of(bytes.subspan(zeros));
  while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
  std::vector<uint8_t> digits;  // least significant first
  while (!limbs.empty()) {
    uint32_t chunk = divide_limbs(limbs, kBase58Chunk);
    for (unsigned k = 0; k < kBase58ChunkDigits; ++k, chunk /= 58) digits.push_back(static_cast<uint8_t>(chunk % 58));
  }
  while (!digits.empty() && digits.back() == 0) digits.pop_back();  // the last chunk's leading zeros
  for (size_t i = digits.size(); i-- > 0;) *out++ = static_cast<uint8_t>(kBase58Digits[digits[i]]);
  return out;
}

template <class Unit>
std::optional<size_t> decode_base58(std::span<const Unit> text, uint8_t* out) {
  DigitReader<Unit> reader(text, kBase58Table);
  size_t zeros = 0;
  int32_t digit = reader.next();
  for (; digit == 0; digit = reader.next()) ++zeros;
  std::vector<uint32_t> limbs;
  uint32_t chunk = 0, scale = 1;
  for (; digit >= 0; digit = reader.next()) {
    chunk = chunk * 58 + static_cast<uint32_t>(digit);
    scale *= 58;
    if (scale == kBase58Chunk) {
      multiply_add_limbs(limbs, scale, chunk);
      chunk = 0;
      scale = 1;
    }
  }
  if (digit != kEnd) return std::nullopt;
  if (scale != 1) multiply_add_limbs(limbs, scale, chunk);
  while (!limbs.empty() && limbs.back() == 0) limbs.pop_back();
  uint8_t* write = std::fill_n(out, zeros, uint8_t{0});
  bool started = false;
  for (size_t i = limbs.size(); i-- > 0;) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      uint8_t byte = static_cast<uint8_t>(limbs[i] >> shift);
      started = started || byte != 0;
      if (started) *write++ = byte;
    }
  }
  return static_cast<size_t>(write - out);
}

}  // namespace

uint64_t base_encoded_size(int32_t base, uint64_t n) {
  switch (base) {
    case 2: return n * 8;
    case 16: return n * 2;
    case 58: return n * 2;
    case 64: return (n + 2) / 3 * 4;
  }
  fatal_no_match_switch();
}

uint8_t* base_encode(int32_t base, std::span<const uint8_t> bytes, uint8_t* out) {
  switch (base) {
    case 2: return encode_base2(bytes, out);
    case 16: return encode_base16(bytes, out);
    case 58: return encode_base58(bytes, out);
    case 64: return encode_base64(bytes, out);
  }
  fatal_no_match_switch();
}

uint64_t base_decoded_capacity(int32_t base, uint64_t n) {
  switch (base) {
    case 2: return n / 8;
    case 16: return n / 2;
    case 58: return n;  // a digit holds less than a byte; each leading "1" one byte
    case 64: return (n + 3) / 4 * 3;
  }
  fatal_no_match_switch();
}

template <class Unit>
std::optional<size_t> base_decode_units(int32_t base, std::span<const Unit> text, uint8_t* out) {
  switch (base) {
    case 2: return decode_fixed_groups(text, out, kBase2Table, 1, 8);
    case 16: return decode_fixed_groups(text, out, kBase16Table, 4, 2);
    case 58: return decode_base58(text, out);
    case 64: return decode_base64(text, out);
  }
  fatal_no_match_switch();
}

template std::optional<size_t> base_decode_units(int32_t, std::span<const uint8_t>, uint8_t*);
template std::optional<size_t> base_decode_units(int32_t, std::span<const uint16_t>, uint8_t*);
template std::optional<size_t> base_decode_units(int32_t, std::span<const uint32_t>, uint8_t*);

std::optional<size_t> base_decode(int32_t base, UnitText text, uint8_t* out) {
  return visit_units(text, [&](auto units) { return base_decode_units(base, units, out); });
}

}  // namespace qel

// The UTF-8 decoders: the lexer's automaton, the checked decoder, the counters, and a sweep
// against the C library's converter.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <vector>

#include "datatypes/series/utf8-decode.h"
#include "tests/series/text-fixtures.h"

namespace qel {
namespace {

struct DecodeRow {
  Bytes bytes;
  int32_t code_point;  // what the automaton answers, -1 when ill-formed or cut short
  size_t advance;      // bytes the automaton's step covers
  Utf8Status checked;  // the checked decoder's verdict
};

TEST(Utf8Decode, OneSequenceEachWay) {
  const DecodeRow rows[] = {
      {{0x41}, 0x41, 1, Utf8Status::ok},
      {{0xC3, 0xA9}, 0xE9, 2, Utf8Status::ok},
      {{0xED, 0x9F, 0xBF}, 0xD7FF, 3, Utf8Status::ok},
      {{0xEF, 0xBF, 0xBF}, 0xFFFF, 3, Utf8Status::ok},
      {{0xEF, 0xBF, 0xBE}, 0xFFFE, 3, Utf8Status::ill_formed},  // the checked decoder refuses U+FFFE
      {{0xF0, 0x9F, 0x98, 0x80}, 0x1F600, 4, Utf8Status::ok},
      {{0xF4, 0x8F, 0xBF, 0xBF}, 0x10FFFF, 4, Utf8Status::ok},
      {{0x80}, -1, 1, Utf8Status::ill_formed},                   // a bad lead is one byte
      {{0xFE, 0x41}, -1, 1, Utf8Status::ill_formed},
      {{0xC0, 0xAF}, -1, 1, Utf8Status::ill_formed},             // overlong "/"
      {{0xC0, 0x80}, -1, 1, Utf8Status::ill_formed},             // overlong NUL
      {{0xC1, 0xBF}, -1, 1, Utf8Status::ill_formed},
      {{0xE0, 0x9F, 0xBF}, -1, 2, Utf8Status::ill_formed},       // a bad continuation: lead and it
      {{0xF0, 0x8F, 0xBF, 0xBF}, -1, 2, Utf8Status::ill_formed},
      {{0xED, 0xA0, 0x80}, -1, 2, Utf8Status::ill_formed},       // U+D800
      {{0xED, 0xB0, 0x80}, -1, 2, Utf8Status::ill_formed},       // U+DC00
      {{0xF4, 0x90, 0x80, 0x80}, -1, 2, Utf8Status::ill_formed}, // above U+10FFFF
      {{0xC3, 0x28}, -1, 2, Utf8Status::ill_formed},
      {{0xE2, 0x82, 0x28}, -1, 3, Utf8Status::ill_formed},
      {{0xF0, 0x9F, 0x98}, -1, 3, Utf8Status::cut_short},        // the span ends inside it
      {{0xE2}, -1, 1, Utf8Status::cut_short},
      {{0xE2, 0x28}, -1, 2, Utf8Status::ill_formed},             // cut, but already ill-formed
  };
  for (const DecodeRow& row : rows) {
    SCOPED_TRACE(::testing::PrintToString(row.bytes));
    const uint8_t* start = row.bytes.data();
    const uint8_t* end = start + row.bytes.size();
    Utf8Char decoded = utf8_decode_char(start, end);
    EXPECT_EQ(decoded.code_point, row.code_point);
    EXPECT_EQ(decoded.next, start + row.advance);
    Utf8Step checked = utf8_decode_checked(start, end);
    EXPECT_EQ(checked.status, row.checked);
    if (row.checked == Utf8Status::ok) {
      EXPECT_EQ(checked.code_point, static_cast<uint32_t>(row.code_point));
    }
  }
}

TEST(Utf8Decode, CountersStayInsideTheSpan) {
  const Bytes text = {0x61, 0xC3, 0xA9, 0x80, 0xE2, 0x82, 0xAC, 0xF0, 0x9F, 0x98};
  const uint8_t* start = text.data();
  const uint8_t* end = start + text.size();
  EXPECT_EQ(utf8_count_chars(start, end), 5u);  // a, é, bad byte, €, cut-short tail
  EXPECT_EQ(utf8_count_chars(start, start), 0u);
  EXPECT_EQ(utf8_skip_chars(start, end, 2), start + 3);
  EXPECT_EQ(utf8_skip_chars(start, end, 4), start + 7);
  EXPECT_EQ(utf8_skip_chars(start, end, 99), end);
  EXPECT_EQ(utf8_error_bytes(start + 7, end).size(), 3u);
  EXPECT_EQ(utf8_error_bytes(start, end).size(), 4u);
}

TEST(Utf8Decode, SequenceLengthFromTheLead) {
  const std::pair<uint8_t, unsigned> rows[] = {{0x00, 0}, {0x7F, 0}, {0x80, 0}, {0xBF, 0}, {0xC0, 2},
                                               {0xDF, 2}, {0xE0, 3}, {0xEF, 3}, {0xF0, 4}, {0xFF, 4}};
  for (auto [lead, length] : rows) EXPECT_EQ(utf8_sequence_length(lead), length) << int(lead);
}

// How a decoder, or the converter, read a whole byte sequence: the code points before the stop,
// where it stopped and why.
struct Reading {
  uint32_t code_points[4] = {};
  size_t count = 0;
  size_t stop = 0;  // byte offset of the first sequence not decoded; the length when all were
  Utf8Status why = Utf8Status::ok;
  bool operator==(const Reading& other) const {
    return count == other.count && stop == other.stop && why == other.why &&
           std::equal(code_points, code_points + count, other.code_points);
  }
};

enum class Decoder { automaton, checked };

Reading read_ours(const uint8_t* bytes, size_t size, Decoder decoder) {
  Reading reading;
  const uint8_t* p = bytes;
  const uint8_t* end = bytes + size;
  while (p < end) {
    if (decoder == Decoder::automaton) {
      Utf8Char decoded = utf8_decode_char(p, end);
      if (decoded.code_point < 0) {
        reading.why = Utf8Status::ill_formed;  // the automaton tells no reason
        break;
      }
      reading.code_points[reading.count++] = static_cast<uint32_t>(decoded.code_point);
      p = decoded.next;
    } else {
      Utf8Step step = utf8_decode_checked(p, end);
      if (step.status != Utf8Status::ok) {
        reading.why = step.status;
        break;
      }
      reading.code_points[reading.count++] = step.code_point;
      p += step.size;
    }
  }
  reading.stop = static_cast<size_t>(p - bytes);
  return reading;
}

// The converter's reading, taken as the checked decoder would give it: U+FFFE refused, and
// for the automaton any stop is "ill-formed".
Reading read_converter(iconv_t converter, const uint8_t* bytes, size_t size, Decoder decoder) {
  char out[16];
  char* in_p = const_cast<char*>(reinterpret_cast<const char*>(bytes));
  char* out_p = out;
  size_t in_left = size;
  size_t out_left = sizeof out;
  iconv(converter, nullptr, nullptr, nullptr, nullptr);
  size_t result = iconv(converter, &in_p, &in_left, &out_p, &out_left);
  Reading reading;
  reading.count = (sizeof out - out_left) / 4;
  for (size_t i = 0; i < reading.count; ++i) {
    const auto* u = reinterpret_cast<const uint8_t*>(out + 4 * i);
    reading.code_points[i] = u[0] | u[1] << 8 | u[2] << 16 | static_cast<uint32_t>(u[3]) << 24;
  }
  reading.stop = static_cast<size_t>(reinterpret_cast<const uint8_t*>(in_p) - bytes);
  if (result == static_cast<size_t>(-1)) reading.why = errno == EINVAL ? Utf8Status::cut_short : Utf8Status::ill_formed;
  if (decoder == Decoder::automaton && reading.why == Utf8Status::cut_short) reading.why = Utf8Status::ill_formed;
  if (decoder == Decoder::checked) {
    size_t offset = 0;
    for (size_t i = 0; i < reading.count; ++i) {
      uint32_t c = reading.code_points[i];
      if (c == 0xFFFE) {
        reading.count = i;
        reading.stop = offset;
        reading.why = Utf8Status::ill_formed;
        break;
      }
      offset += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
    }
  }
  return reading;
}

// Compares both decoders with the converter on every sequence of `length` bytes whose first
// byte lies in [first_lead, last_lead].
void sweep(size_t length, unsigned first_lead, unsigned last_lead) {
  iconv_t converter = iconv_open("UTF-32LE", "UTF-8");
  ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
  size_t disagreements = 0;
  uint8_t bytes[4];
  const uint32_t tails = 1u << (8 * (length - 1));
  for (unsigned lead = first_lead; lead <= last_lead; ++lead) {
    for (uint32_t tail = 0; tail < tails; ++tail) {
      bytes[0] = static_cast<uint8_t>(lead);
      for (size_t i = 1; i < length; ++i) bytes[i] = static_cast<uint8_t>(tail >> (8 * (length - 1 - i)));
      for (Decoder decoder : {Decoder::automaton, Decoder::checked}) {
        Reading ours = read_ours(bytes, length, decoder);
        Reading theirs = read_converter(converter, bytes, length, decoder);
        // A tail the converter calls incomplete may already be ill-formed for our rule (F5 ..).
        if (theirs.why == Utf8Status::cut_short && ours.why == Utf8Status::ill_formed) theirs.why = ours.why;
        if (ours == theirs) continue;
        if (++disagreements <= 5) ADD_FAILURE() << "differs on " << ::testing::PrintToString(Bytes(bytes, bytes + length));
      }
    }
  }
  iconv_close(converter);
  EXPECT_EQ(disagreements, 0u);
}

TEST(Utf8DecodeSweep, EverySequenceOfOneOrTwoBytes) {
  sweep(1, 0x00, 0xFF);
  sweep(2, 0x00, 0xFF);
}

class Utf8DecodeSweepOfThree : public ::testing::TestWithParam<unsigned> {};

TEST_P(Utf8DecodeSweepOfThree, EverySequenceWithTheseLeads) { sweep(3, GetParam(), GetParam() + 0x3F); }

INSTANTIATE_TEST_SUITE_P(Leads, Utf8DecodeSweepOfThree, ::testing::Values(0x00u, 0x40u, 0x80u, 0xC0u));

class Utf8DecodeSweepOfFour : public ::testing::TestWithParam<unsigned> {};

TEST_P(Utf8DecodeSweepOfFour, EverySequenceWithThisLead) { sweep(4, GetParam(), GetParam()); }

INSTANTIATE_TEST_SUITE_P(Leads, Utf8DecodeSweepOfFour, ::testing::Values(0xF0u, 0xF1u, 0xF2u, 0xF3u, 0xF4u));

}  // namespace
}  // namespace qel

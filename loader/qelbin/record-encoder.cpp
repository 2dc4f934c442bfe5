// record-encoder.cpp: writing values as the record variant's 32-bit little-endian words.
#include <cstring>
#include <vector>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/tuple.h"
#include "evaluator/error.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "loader/qelbin/qelbin-encode-support.h"
#include "loader/qelbin/qelbin-encoder.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin-records.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/contexts.h"
#include "runtime/series.h"

namespace qel {

namespace {

void put_word(std::vector<uint8_t>& out, uint32_t w) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(w >> (8 * i)));
}

class RecordEncoder : public QelbinEncoder {
 public:
  RecordEncoder() { symbols_.name_alignment = 8; }

  // The records of the value; then the header before them.
  std::vector<uint8_t> image_header(const Cell& v) override {
    value(v);
    std::vector<uint8_t> out(kQelbinMagic.begin(), kQelbinMagic.end());
    out.push_back(kQelbinVersion);
    out.push_back(symbols_.size() ? kFlagSymbols : 0);
    put_word(out, 1);
    put_word(out, static_cast<uint32_t>(body_.size()));
    if (symbols_.size()) {
      put_word(out, static_cast<uint32_t>(symbols_.size()));
      put_word(out, static_cast<uint32_t>(symbols_.names().size()));
      for (uint32_t offset : symbols_.offsets()) put_word(out, offset);
      out.insert(out.end(), symbols_.names().begin(), symbols_.names().end());
    }
    return out;
  }

 private:
  void word(uint32_t w) { put_word(body_, w); }
  // The header word of the value's record: its type, the new-line marker and the flags.
  void header(const Cell& v, uint32_t flags, Type type = Type::none_id) {
    const Type written = type == Type::none_id ? cell_type(v) : type;
    word(static_cast<uint32_t>(written) | flags | (v.header & kNewLineFlag ? kRecordNewLine : 0));
  }
  // n bytes and zeros to a multiple of 4.
  void padded(const uint8_t* p, uint64_t n) {
    body_.insert(body_.end(), p, p + n);
    while (body_.size() % 4) body_.push_back(0);
  }
  // A double high word first, after a type-0 word when the body is not 8-byte aligned.
  void aligned_double(const Cell& v) {
    if (body_.size() % 8) word(kRecordSkip);
    header(v, 0);
    high_first(payload_f64(v));
  }
  void high_first(double x) {
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    word(static_cast<uint32_t>(bits >> 32));
    word(static_cast<uint32_t>(bits));
  }
  void path(std::span<const int32_t> indexes) {
    word(kRecordCopy);
    word(static_cast<uint32_t>(indexes.size()));
    for (int32_t index : indexes) word(static_cast<uint32_t>(index));
  }

  void scalar(const Cell& v) override {
    switch (cell_type(v)) {
      case Type::logic: case Type::datatype: return header(v, 0), word(v.w1);
      case Type::char_: case Type::integer: return header(v, 0), word(v.w2);
      case Type::float_: case Type::percent: case Type::time: return aligned_double(v);
      case Type::pair: return header(v, 0), word(v.w2), word(v.w3);
      case Type::point2d: return header(v, 0), word(v.w1), word(v.w2);
      case Type::typeset: case Type::point3d: return header(v, 0), word(v.w1), word(v.w2), word(v.w3);
      case Type::date: return header(v, 0), word(v.w1), high_first(date_time(v));
      case Type::tuple:
        return header(v, static_cast<uint32_t>(tuple_length(v)) << kRecordSizeShift), word(v.w1), word(v.w2),
               word(v.w3);
      case Type::money:
        header(v, money_negative_bit(v) ? kRecordNegative : 0);
        return padded(reinterpret_cast<const uint8_t*>(&v) + 4, 1 + kMoneyAmountBytes);
      case Type::issue: return header(v, 0), word(symbols_.index(v.w2));
      default: return header(v, 0);  // unset!, none!
    }
  }

  // The global slot is found again by the symbol when the word is read, so none is written.
  void global_word(const Cell& v) override {
    header(v, kRecordDefinition);
    word(symbols_.index(v.w2));
    word(kUnresolved);
  }
  void word_reference(const Cell& v, std::span<const int32_t> at) override {
    header(v, kRecordReference);
    word(symbols_.index(v.w2));
    word(v.w3);
    path(at);
  }
  void word_before_owner(const Cell& v, const Cell& owner) override {
    header(v, 0);
    word(symbols_.index(v.w2));
    word(v.w3);
    header(make_cell(cell_type(owner)), cell_type(owner) == Type::object && owner.w3 != 0 ? kRecordHooks : 0);
  }
  void native_header(const Cell& v) override {
    header(v, 0);
    word(v.w1);
  }
  void op_header(const Cell& v) override {
    header(v, static_cast<uint32_t>(op_wrapped_type(v)) << kRecordWrappedShift, Type::op);
  }
  void error_header(const Cell& v) override {
    header(v, 0);
    word(error_field(v, ErrorField::code).w2);
  }
  void spec_block_header() override {
    word(static_cast<uint32_t>(Type::block));
    word(0);
  }

  // The header and the leading words a record of the type has whether or not it is a reference.
  void series_header(const Cell& v, uint32_t flags) {
    const Type type = cell_type(v);
    uint32_t size = 0;
    if (type == Type::vector || (type >= Type::string && type <= Type::url) || type == Type::tag ||
        type == Type::email || type == Type::ref || type == Type::binary)
      size = series_buffer(v.w2)->unit() << kRecordSizeShift;
    if (type == Type::bitset && bitset_negated(v.w2)) flags |= kRecordComplemented;
    if (type == Type::object && v.w3 != 0) flags |= kRecordHooks;
    header(v, flags | size);
    const bool headless = type == Type::bitset || type == Type::map || type == Type::object || type == Type::function;
    if (!headless) word(v.w1);
  }
  void reference(const Cell& v, std::span<const int32_t> at) override {
    series_header(v, kRecordReference);
    path(at);
  }
  void full_header(const Cell& v) override { series_header(v, 0); }

  void byte_content(const Cell& v) override {
    if (cell_type(v) == Type::image) {
      word(v.w3);
      const std::span<const uint8_t> pixels = qelbin_image_bytes(v);
      return padded(pixels.data(), pixels.size());
    }
    const uint32_t unit = series_buffer(v.w2)->unit();
    const uint32_t units = qelbin_series_units(v.w2);
    word(units);
    if (cell_type(v) == Type::vector) word(v.w3);
    padded(qelbin_series_bytes(v.w2), uint64_t{units} * unit);
  }

  void record_count(uint32_t n) override { word(n); }

  void object_header(const Cell& object) override {
    word(object.w2);
    if (object.w3 != 0) {
      word(static_cast<uint32_t>(qelbin_hook_index(object, 0)));
      word(static_cast<uint32_t>(qelbin_hook_index(object, 1)));
    }
  }
  void function_rooms(const Cell& function) override {
    const Cell body = *function_more_cell(function, kMoreBody);
    word(qelbin_series_units(function.w2));
    word(cell_type(body) == Type::block ? qelbin_series_units(body.w2) - body.w1 : 0);
  }
  void context_header(NodeId context, uint8_t flags) override {
    uint32_t header_word = static_cast<uint32_t>(Type::context) | uint32_t{flags & 3u} << kRecordContextKindShift;
    if (flags & 8) header_word |= kRecordContextFlag;
    if (flags & 4) header_word |= kRecordContextOnStack;
    if (flags & 16) header_word |= kRecordContextValues;
    word(header_word);
    const uint32_t n = context_length(context);
    word(n);
    for (uint32_t i = 0; i < n; ++i) word(symbols_.index(context_word_at(context, i)->w2));
  }
};

}  // namespace

Cell qelbin_encode_records(const Cell& value) {
  RecordEncoder encoder;
  return qelbin_encoded(encoder, value);
}

}  // namespace qel

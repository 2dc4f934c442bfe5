// compact-encoder.cpp: writing values as the compact variant's records: a type byte with the
// type's flag F, varints, and the shortest form of each number that gives it back.
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/tuple.h"
#include "evaluator/error.h"
#include "evaluator/function.h"
#include "loader/qelbin/qelbin-encode-support.h"
#include "loader/qelbin/qelbin-encoder.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"

namespace qel {

namespace {

void put_varint(std::vector<uint8_t>& out, uint32_t v) {
  while (v >= 0x80) {
    out.push_back(static_cast<uint8_t>(v | 0x80));
    v >>= 7;
  }
  out.push_back(static_cast<uint8_t>(v));
}

class CompactEncoder : public QelbinEncoder {
 public:
  // The records of the value; then the header before them.
  std::vector<uint8_t> image_header(const Cell& v) override {
    value(v);
    return header(kQelbinVersion, symbols_.size() != 0, 1);
  }

  // The definitions, the records of each module block at the top level; then the boot image
  // around them.
  std::vector<uint8_t> boot_image(const Cell& definitions, std::span<const Cell> modules) {
    const Cell* pairs = series_buffer(definitions.w2)->head_cell();
    for (uint32_t i = 0; i + 1 < series_buffer_length(definitions.w2); i += 2) definition(pairs[i], pairs[i + 1]);
    for (const Cell& module : modules) value(module);
    std::vector<uint8_t> image = header(kQelbinBootVersion, true, static_cast<uint32_t>(modules.size()));
    image.insert(image.end(), body_.begin(), body_.end());
    return image;
  }

 private:
  // The header: the symbol table when asked for or needed.
  std::vector<uint8_t> header(uint8_t version, bool symbol_table, uint32_t roots) {
    std::vector<uint8_t> out(kQelbinMagic.begin(), kQelbinMagic.end());
    out.push_back(version);
    out.push_back(symbol_table ? kFlagCompact | kFlagSymbols : kFlagCompact);
    put_varint(out, roots);
    put_varint(out, static_cast<uint32_t>(body_.size()));
    if (symbol_table) {
      put_varint(out, static_cast<uint32_t>(symbols_.size()));
      put_varint(out, static_cast<uint32_t>(symbols_.names().size()));
      for (uint32_t offset : symbols_.offsets())
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(offset >> (8 * i)));
      out.insert(out.end(), symbols_.names().begin(), symbols_.names().end());
    }
    return out;
  }

  // A definition: the prefix, the word, its value; neither counts as a record of the block.
  void definition(const Cell& word, const Cell& v) {
    byte(kPrefixDefinition);
    const int32_t counter = references_.counter();
    value(word);
    value(v);
    references_.set_counter(counter);
  }

  // --- Primitives ----------------------------------------------------------------------------

  void byte(uint8_t b) { body_.push_back(b); }
  void varint(uint32_t v) { put_varint(body_, v); }
  void zigzag(int32_t v) { varint((static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31)); }
  void raw32(uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
  }
  void bytes(const uint8_t* p, size_t n) { body_.insert(body_.end(), p, p + n); }
  void symbol(uint32_t id) { varint(symbols_.index(id)); }
  void double_halves(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    raw32(static_cast<uint32_t>(bits));
    raw32(static_cast<uint32_t>(bits >> 32));
  }
  void path(std::span<const int32_t> indexes) {
    varint(static_cast<uint32_t>(indexes.size()));
    for (int32_t index : indexes) varint(static_cast<uint32_t>(index));
  }
  // The new-line prefix, then the type id with F: one byte below 63, else 63 and a varint.
  void type_byte(const Cell& v, Type type, bool f) {
    if (v.header & kNewLineFlag) byte(kPrefixNewLine);
    const uint32_t id = static_cast<uint32_t>(type);
    const uint8_t flag = f ? kTypeFlagF : 0;
    if (id < kTypeIdEscape) {
      byte(flag | static_cast<uint8_t>(id));
    } else {
      byte(flag | kTypeIdEscape);
      varint(id);
    }
  }

  // --- Scalars -------------------------------------------------------------------------------

  void scalar(const Cell& v) override {
    const Type type = cell_type(v);
    switch (type) {
      case Type::integer: return integer(v, payload_i32(v, 2));
      case Type::logic:
        if (v.header & kNewLineFlag) byte(kPrefixNewLine);
        return byte(v.w1 ? kShortTrue : kShortFalse);
      case Type::datatype: return type_byte(v, type, false), varint(v.w1);
      case Type::char_: return type_byte(v, type, false), varint(v.w2);
      case Type::float_: case Type::time: return number(v, 2147483000.0, 1);
      case Type::percent: return number(v, 21474836.0, 100);
      case Type::pair: return type_byte(v, type, false), zigzag(payload_i32(v, 2)), zigzag(payload_i32(v, 3));
      case Type::point2d: return type_byte(v, type, false), raw32(v.w1), raw32(v.w2);
      case Type::point3d: return type_byte(v, type, false), raw32(v.w1), raw32(v.w2), raw32(v.w3);
      case Type::date: {
        const bool has_time = date_has_time(v.w1);
        type_byte(v, type, has_time);
        raw32(v.w1);
        if (has_time) double_halves(date_time(v));
        return;
      }
      case Type::typeset: {
        const uint8_t* bits = reinterpret_cast<const uint8_t*>(&v) + 4;
        uint8_t n = 12;
        while (n > 0 && bits[n - 1] == 0) --n;
        type_byte(v, type, false);
        byte(n);
        return bytes(bits, n);
      }
      case Type::tuple: {
        const int length = tuple_length(v);
        type_byte(v, type, length != 3);
        if (length != 3) byte(static_cast<uint8_t>(length));
        return bytes(tuple_bytes(v), static_cast<size_t>(length));
      }
      case Type::money:
        type_byte(v, type, money_negative_bit(v));
        return bytes(reinterpret_cast<const uint8_t*>(&v) + 4, 1 + kMoneyAmountBytes);
      case Type::issue: return type_byte(v, type, false), symbol(v.w2);
      default: return type_byte(v, type, false);  // unset!, none!
    }
  }

  void integer(const Cell& v, int32_t n) {
    if (n >= 0 && n <= 63) {
      if (v.header & kNewLineFlag) byte(kPrefixNewLine);
      byte(static_cast<uint8_t>(kShortIntegerFirst + n));
    } else {
      type_byte(v, Type::integer, false);
      zigzag(n);
    }
  }

  // float! and time! (scale 1) or percent! (scale 100): the short form when the scaled value
  // is a 32-bit integer that gives the value back, -0.0 excepted.
  void number(const Cell& v, double limit, double scale) {
    const double x = payload_f64(v);
    if (x >= -limit && x <= limit && !(x == 0 && std::signbit(x))) {
      const int32_t n = static_cast<int32_t>(scale == 1 ? x : std::round(x * scale));  // half away from zero
      if (scale == 1 ? static_cast<double>(n) == x : n / scale == x) {
        type_byte(v, cell_type(v), true);
        return zigzag(n);
      }
    }
    type_byte(v, cell_type(v), false);
    double_halves(x);
  }

  // --- Words, built-in code, errors ----------------------------------------------------------

  void global_word(const Cell& v) override {
    type_byte(v, cell_type(v), false);
    symbol(v.w2);
  }
  void word_reference(const Cell& v, std::span<const int32_t> at) override {
    if (v.header & kNewLineFlag) byte(kPrefixNewLine);
    byte(kPrefixReference);
    type_byte(make_cell(cell_type(v)), cell_type(v), true);
    symbol(v.w2);
    zigzag(static_cast<int32_t>(v.w3));
    path(at);
  }
  void word_before_owner(const Cell& v, const Cell& owner) override {
    type_byte(v, cell_type(v), true);
    symbol(v.w2);
    zigzag(static_cast<int32_t>(v.w3));
    type_byte(make_cell(cell_type(owner)), cell_type(owner), cell_type(owner) == Type::object && owner.w3 != 0);
  }
  void native_header(const Cell& v) override {
    type_byte(v, cell_type(v), false);
    varint(v.w1);
  }
  void op_header(const Cell& v) override { type_byte(v, Type::op, false); }
  void error_header(const Cell& v) override {
    type_byte(v, Type::error, false);
    varint(error_field(v, ErrorField::code).w2);
  }
  void spec_block_header() override { byte(static_cast<uint8_t>(Type::block)); }

  // --- Series, objects, functions ------------------------------------------------------------

  // The type byte (F: a head index follows, a complemented bitset, an object with change
  // handlers) and the head.
  void series_header(const Cell& v) {
    const Type type = cell_type(v);
    const bool context_keyed = type == Type::object || type == Type::function;
    const bool head_flag = type != Type::bitset && type != Type::map && !context_keyed;
    const bool f = head_flag ? v.w1 != 0
                             : (type == Type::bitset && bitset_negated(v.w2)) || (type == Type::object && v.w3 != 0);
    type_byte(v, type, f);
    if (head_flag && f) varint(v.w1);
  }
  void reference(const Cell& v, std::span<const int32_t> at) override {
    if (v.header & kNewLineFlag) byte(kPrefixNewLine);
    byte(kPrefixReference);
    Cell plain = v;
    value_clear_flag_30(plain);
    series_header(plain);
    path(at);
  }
  void full_header(const Cell& v) override { series_header(v); }

  void byte_content(const Cell& v) override {
    const Type type = cell_type(v);
    if (type == Type::image) {
      varint(v.w3 & 0xFFFF);
      varint(v.w3 >> 16);
      const std::span<const uint8_t> pixels = qelbin_image_bytes(v);
      return bytes(pixels.data(), pixels.size());
    }
    const uint32_t unit = series_buffer(v.w2)->unit();
    const uint32_t units = qelbin_series_units(v.w2);
    if (type == Type::binary || type == Type::bitset) {
      varint(units);
    } else if (type == Type::vector) {
      byte(static_cast<uint8_t>(v.w3 << 2 | static_cast<uint32_t>(std::countr_zero(unit))));
      varint(units);
    } else {
      varint(units << 2 | static_cast<uint32_t>(std::countr_zero(unit)));
    }
    bytes(qelbin_series_bytes(v.w2), uint64_t{units} * unit);
  }

  void record_count(uint32_t n) override { varint(n); }

  void object_header(const Cell& object) override {
    zigzag(static_cast<int32_t>(object.w2));
    if (object.w3 != 0) {
      zigzag(qelbin_hook_index(object, 0));
      zigzag(qelbin_hook_index(object, 1));
    }
  }
  void function_rooms(const Cell& function) override {
    const Cell body = *function_more_cell(function, kMoreBody);
    varint(qelbin_series_units(function.w2));
    varint(cell_type(body) == Type::block ? qelbin_series_units(body.w2) - body.w1 : 0);
  }
  void context_header(NodeId context, uint8_t flags) override {
    byte(static_cast<uint8_t>(Type::context));
    byte(flags);
    const uint32_t n = context_length(context);
    varint(n);
    for (uint32_t i = 0; i < n; ++i) symbol(context_word_at(context, i)->w2);
  }
};

}  // namespace

Cell qelbin_encode_compact(const Cell& value) {
  CompactEncoder encoder;
  return qelbin_encoded(encoder, value);
}

std::vector<uint8_t> qelbin_encode_boot_image(const Cell& definitions, std::span<const Cell> modules) {
  NoGcScope no_collection;  // the encoder reads cells in place
  CompactEncoder encoder;
  return encoder.boot_image(definitions, modules);
}

}  // namespace qel

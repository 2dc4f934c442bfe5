// compact-encoder.cpp: writing values as the compact variant's records.
//
// Series, objects, functions and words' contexts are written in full the first time and as a
// reference to that first occurrence afterwards, so shared and cyclic values come back shared.
// Series are written whole from the start of their buffer, with the head index beside them.
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/series/binary.h"
#include "evaluator/error.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "loader/qelbin/qelbin-encode-support.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin-references.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"

namespace qel {

namespace {

class CompactEncoder {
 public:
  // The records of the value; then the image around them.
  std::vector<uint8_t> image(const Cell& value) {
    this->value(value);
    std::vector<uint8_t> out(kQelbinMagic.begin(), kQelbinMagic.end());
    out.push_back(kQelbinVersion);
    out.push_back(symbols_.size() ? kFlagCompact | kFlagSymbols : kFlagCompact);
    varint(out, 1);
    varint(out, static_cast<uint32_t>(body_.size()));
    if (symbols_.size()) {
      varint(out, static_cast<uint32_t>(symbols_.size()));
      varint(out, static_cast<uint32_t>(symbols_.names().size()));
      for (uint32_t offset : symbols_.offsets())
        for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(offset >> (8 * i)));
      out.insert(out.end(), symbols_.names().begin(), symbols_.names().end());
    }
    out.insert(out.end(), body_.begin(), body_.end());
    return out;
  }

 private:
  // --- Primitives ----------------------------------------------------------------------------

  static void varint(std::vector<uint8_t>& out, uint32_t v) {
    while (v >= 0x80) {
      out.push_back(static_cast<uint8_t>(v | 0x80));
      v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
  }
  void byte(uint8_t b) { body_.push_back(b); }
  void varint(uint32_t v) { varint(body_, v); }
  void zigzag(int32_t v) { varint((static_cast<uint32_t>(v) << 1) ^ static_cast<uint32_t>(v >> 31)); }
  void raw32(uint32_t v) {
    for (int i = 0; i < 4; ++i) byte(static_cast<uint8_t>(v >> (8 * i)));
  }
  void bytes(const uint8_t* p, size_t n) { body_.insert(body_.end(), p, p + n); }
  void type_byte(Type type, bool f) {
    const uint32_t id = static_cast<uint32_t>(type);
    const uint8_t flag = f ? kTypeFlagF : 0;
    if (id < kTypeIdEscape) {
      byte(flag | static_cast<uint8_t>(id));
    } else {
      byte(flag | kTypeIdEscape);
      varint(id);
    }
  }
  void path(std::span<const int32_t> indexes) {
    varint(static_cast<uint32_t>(indexes.size()));
    for (int32_t index : indexes) varint(static_cast<uint32_t>(index));
  }
  void symbol(uint32_t id) { varint(symbols_.index(id)); }
  void double_halves(double v) {
    uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    raw32(static_cast<uint32_t>(bits));
    raw32(static_cast<uint32_t>(bits >> 32));
  }

  // --- One value -----------------------------------------------------------------------------

  void value(const Cell& v) {
    check_stack_headroom();
    qelbin_refuse_unwritable(v);
    if (v.header & kNewLineFlag) byte(kPrefixNewLine);
    const Type type = cell_type(v);
    switch (type) {
      case Type::integer: integer(payload_i32(v, 2)); break;
      case Type::logic: byte(v.w1 ? kShortTrue : kShortFalse); break;
      case Type::unset: case Type::none: type_byte(type, false); break;
      case Type::datatype: type_byte(type, false), varint(v.w1); break;
      case Type::char_: type_byte(type, false), varint(v.w2); break;
      case Type::float_: case Type::time: number(v, 2147483000.0, 1); break;
      case Type::percent: number(v, 21474836.0, 100); break;
      case Type::pair: type_byte(type, false), zigzag(payload_i32(v, 2)), zigzag(payload_i32(v, 3)); break;
      case Type::point2d: type_byte(type, false), raw32(v.w1), raw32(v.w2); break;
      case Type::point3d: type_byte(type, false), raw32(v.w1), raw32(v.w2), raw32(v.w3); break;
      case Type::date: date(v); break;
      case Type::typeset: typeset(v); break;
      case Type::tuple: tuple(v); break;
      case Type::money:
        type_byte(type, money_negative_bit(v));
        bytes(reinterpret_cast<const uint8_t*>(&v) + 4, 1 + kMoneyAmountBytes);
        break;
      case Type::issue: type_byte(type, false), symbol(v.w2); break;
      case Type::word: case Type::set_word: case Type::lit_word: case Type::get_word: case Type::refinement:
        word(v);
        break;
      case Type::native: case Type::action: native(v); break;
      case Type::op: op(v); return;  // the wrapped record counted the op!
      case Type::error: error(v); break;
      default: referenced(v); return;  // counted by referenced()
    }
    references_.count();
  }

  void integer(int32_t n) {
    if (n >= 0 && n <= 63) {
      byte(static_cast<uint8_t>(kShortIntegerFirst + n));
    } else {
      type_byte(Type::integer, false);
      zigzag(n);
    }
  }

  // float! and time! (scale 1) or percent! (scale 100): the short form when the scaled value
  // is a 32-bit integer that gives the value back, -0.0 excepted.
  void number(const Cell& v, double limit, double scale) {
    const double x = payload_f64(v);
    const Type type = cell_type(v);
    if (x >= -limit && x <= limit && !(x == 0 && std::signbit(x))) {
      const double scaled = scale == 1 ? x : std::round(x * scale);  // half away from zero
      const int32_t n = static_cast<int32_t>(scaled);
      if ((scale == 1 ? static_cast<double>(n) == x : n / scale == x)) {
        type_byte(type, true);
        zigzag(n);
        return;
      }
    }
    type_byte(type, false);
    double_halves(x);
  }

  void date(const Cell& v) {
    const bool has_time = date_has_time(v.w1);
    type_byte(Type::date, has_time);
    raw32(v.w1);
    if (has_time) double_halves(date_time(v));
  }

  void typeset(const Cell& v) {
    const uint8_t* bits = reinterpret_cast<const uint8_t*>(&v) + 4;
    uint8_t n = 12;
    while (n > 0 && bits[n - 1] == 0) --n;
    type_byte(Type::typeset, false);
    byte(n);
    bytes(bits, n);
  }

  void tuple(const Cell& v) {
    const int length = tuple_length(v);
    type_byte(Type::tuple, length != 3);
    if (length != 3) byte(static_cast<uint8_t>(length));
    bytes(tuple_bytes(v), static_cast<size_t>(length));
  }

  // --- Words ---------------------------------------------------------------------------------

  void word(const Cell& v) {
    const Type type = cell_type(v);
    if (qelbin_word_binding(v) == WordBinding::global) {
      type_byte(type, false);
      symbol(v.w2);
      return;
    }
    const NodeId context = v.w1;
    if (const auto found = references_.find(context)) {
      byte(kPrefixReference);
      type_byte(type, true);
      symbol(v.w2);
      zigzag(static_cast<int32_t>(v.w3));
      path(*found);
      return;
    }
    const Cell owner = qelbin_word_owner(v);
    if (cell_type(owner) == Type::error) raise_error(error_id("access", "no-codec"), v);
    type_byte(type, true);
    symbol(v.w2);
    zigzag(static_cast<int32_t>(v.w3));
    references_.push(context);
    const bool object = cell_type(owner) == Type::object;
    type_byte(cell_type(owner), object && owner.w3 != 0);
    if (object) object_fields(owner);
    else function_fields(owner);
    references_.pop();
  }

  // --- Built-in code and errors --------------------------------------------------------------

  void native(const Cell& v) {
    type_byte(cell_type(v), false);
    varint(v.w1);
    // The spec's records count under the native's own index, and its block is never a
    // reference target: a reference would name the native, not a block.
    spec_block(v.w2);
    references_.uncount();
  }

  void spec_block(NodeId spec) {
    references_.push(0);
    type_byte(Type::block, false);
    cells(spec);
    references_.pop();
    references_.count();
  }

  void op(const Cell& v) {
    type_byte(Type::op, false);
    Cell wrapped = v;
    wrapped.header = static_cast<uint32_t>(op_wrapped_type(v));
    value(wrapped);
  }

  void error(const Cell& v) {
    references_.push(v.w1);
    type_byte(Type::error, false);
    varint(error_field(v, ErrorField::code).w2);
    for (ErrorField field : {ErrorField::arg1, ErrorField::arg2, ErrorField::arg3, ErrorField::near, ErrorField::where,
                             ErrorField::stack})
      value(error_field(v, field));
    references_.pop();
  }

  // --- Series, objects, functions ------------------------------------------------------------

  // Values written once and referenced after: the series types, bitset!, map!, object! and
  // function!.
  void referenced(const Cell& v) {
    const Type type = cell_type(v);
    const bool context_keyed = type == Type::object || type == Type::function;
    const NodeId key = context_keyed ? v.w1 : v.w2;
    const bool head_flag = type != Type::bitset && type != Type::map && !context_keyed;
    const bool f = head_flag ? v.w1 != 0
                             : (type == Type::bitset && bitset_negated(v.w2)) || (type == Type::object && v.w3 != 0);
    const auto found = references_.find(key);
    if (found) byte(kPrefixReference);
    type_byte(type, f);
    if (head_flag && f) varint(v.w1);
    if (found) {
      path(*found);
      references_.count();
      return;
    }
    references_.push(key);
    content(v);
    references_.pop();
    references_.count();
  }

  void content(const Cell& v) {
    switch (cell_type(v)) {
      case Type::block: case Type::paren: case Type::path: case Type::lit_path: case Type::set_path:
      case Type::get_path: case Type::hash: cells(v.w2); return;
      case Type::string: case Type::file: case Type::url: case Type::tag: case Type::email: case Type::ref: {
        const uint32_t unit = series_buffer(v.w2)->unit();
        const uint32_t units = qelbin_series_units(v.w2);
        varint(units << 2 | static_cast<uint32_t>(std::countr_zero(unit)));
        bytes(qelbin_series_bytes(v.w2), uint64_t{units} * unit);
        return;
      }
      case Type::binary: case Type::bitset: {
        const uint32_t n = qelbin_series_units(v.w2);
        varint(n);
        bytes(qelbin_series_bytes(v.w2), n);
        return;
      }
      case Type::vector: {
        const uint32_t size = series_buffer(v.w2)->unit();
        byte(static_cast<uint8_t>(v.w3 << 2 | static_cast<uint32_t>(std::countr_zero(size))));
        const uint32_t count = qelbin_series_units(v.w2);
        varint(count);
        bytes(qelbin_series_bytes(v.w2), uint64_t{count} * size);
        return;
      }
      case Type::map:
        varint(qelbin_map_record_count(v));
        qelbin_map_live_pairs(v, [&](const Cell& key, const Cell& item) {
          value(key);
          value(item);
        });
        return;
      case Type::object: return object_fields(v);
      case Type::function: return function_fields(v);
      default: raise_error(error_id("access", "no-codec"), v);
    }
  }

  // n and the cells of a block series from its start.
  void cells(NodeId node) {
    const uint32_t n = qelbin_series_units(node);
    varint(n);
    for (uint32_t i = 0; i < n; ++i) value(series_buffer(node)->head_cell()[i]);
  }

  void context_record(NodeId context) {
    type_byte(Type::context, false);
    const uint8_t flags = qelbin_context_flags(context);
    byte(flags);
    const uint32_t n = context_length(context);
    varint(n);
    for (uint32_t i = 0; i < n; ++i) symbol(context_word_at(context, i)->w2);
    if (flags & kContextValuesBit)
      for (uint32_t i = 0; i < n; ++i) value(series_buffer(context_cell(context).w2)->head_cell()[i]);
  }

  // After the type byte of an object (or a word's owner object): class id, the handler
  // indexes, the context record.
  void object_fields(const Cell& object) {
    if (cell_type(object) != Type::object) raise_error(error_id("access", "no-codec"), object);
    zigzag(static_cast<int32_t>(object.w2));
    if (object.w3 != 0) {
      zigzag(qelbin_hook_index(object, 0));
      zigzag(qelbin_hook_index(object, 1));
    }
    context_record(object.w1);
  }

  // After a function's type byte: the rooms, the context record, then the spec and the body as
  // its records 0 and 1.
  void function_fields(const Cell& function) {
    const Cell body = *function_more_cell(function, kMoreBody);
    varint(qelbin_series_units(function.w2));
    varint(cell_type(body) == Type::block ? qelbin_series_units(body.w2) - body.w1 : 0);
    context_record(function.w1);
    const int32_t counter = references_.counter();
    references_.set_counter(0);
    value(make_cell(Type::block, 0, function.w2));
    value(cell_type(body) == Type::block ? body : make_cell(Type::block, 0, empty_block()));
    references_.set_counter(counter);
  }

  // A function without a body writes an empty one.
  NodeId empty_block() {
    if (!empty_) empty_ = new_cell_series(1);
    return empty_;
  }

  std::vector<uint8_t> body_;
  QelbinSymbolList symbols_;
  QelbinReferences references_;
  NodeId empty_ = 0;
};

// A new binary! of the bytes.
Cell binary_of(const std::vector<uint8_t>& bytes) {
  const NodeId node = new_byte_series(static_cast<int64_t>(bytes.size()));
  SeriesBuffer* buffer = series_buffer(node);
  std::memcpy(buffer->head_address(), bytes.data(), bytes.size());
  buffer->tail = buffer->head + static_cast<uint32_t>(bytes.size());
  return make_cell(Type::binary, 0, node);
}

}  // namespace

Cell qelbin_encode_compact(const Cell& value) {
  std::vector<uint8_t> image;
  {
    NoGcScope no_collection;  // the encoder reads cells in place and keeps nodes in its tables
    image = CompactEncoder().image(value);
  }
  return binary_of(image);
}

}  // namespace qel

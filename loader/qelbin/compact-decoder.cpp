// compact-decoder.cpp: reading the compact variant's records into values.
//
// A record is any number of prefix bytes (new line, reference, definition), a type byte and its
// payload, in which every number is a varint. The builder makes and places the values.
#include <cstring>

#include "datatypes/scalars/char.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/series/map.h"
#include "loader/qelbin/qelbin-builder.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin-paths.h"
#include "loader/qelbin/qelbin-values.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "datatypes/scalars/bitset.h"

namespace qel {

namespace {

// The prefixes of one record.
struct Prefixes {
  bool new_line = false;
  bool reference = false;
  bool definition = false;
};

class CompactDecoder : public QelbinBuilder {
 public:
  using QelbinBuilder::QelbinBuilder;

 private:
  // --- One record --------------------------------------------------------------------------

  void record(const Cell& parent) override {
    check_stack_headroom();
    Prefixes prefixes;
    const uint8_t* type_at;
    uint8_t b;
    for (;;) {
      type_at = in_.position();
      b = in_.byte();
      if (b == kPrefixNewLine) prefixes.new_line = true;
      else if (b == kPrefixReference) prefixes.reference = true;
      else if (b == kPrefixDefinition && !s_.codec_mode) prefixes.definition = true;
      else break;
    }
    const uint32_t before = cells_in(parent);
    if (b >= kShortIntegerFirst) {
      if (prefixes.reference || prefixes.definition) in_.fail_at(type_at);
      short_form(parent, b, type_at);
    } else {
      uint32_t id = b & kTypeIdMask;
      if (id == kTypeIdEscape) id = static_cast<uint32_t>(in_.varint());
      if (id == 0 || (prefixes.definition && !(id >= 15 && id <= 20))) in_.fail_at(type_at);
      payload(parent, id, (b & kTypeFlagF) != 0, prefixes, type_at);
    }
    if (prefixes.new_line && cells_in(parent) > before) cell_at(parent, before).header |= kNewLineFlag;
  }

  void short_form(const Cell& parent, uint8_t b, const uint8_t* at) {
    if (b <= kShortIntegerLast) scalar(parent, make_cell(Type::integer, 0, b - kShortIntegerFirst));
    else if (b == kShortTrue || b == kShortFalse) scalar(parent, make_cell(Type::logic, b == kShortTrue));
    else if (b == kCopyRecord) scalar(parent, reference(at));
    else in_.fail_at(at);
  }

  // The value of a reference path read here.
  Cell reference(const uint8_t* at) {
    const int32_t n = in_.varint();
    if (n < 1 || n > kMaxPathLength || static_cast<uint64_t>(n) > in_.left()) in_.fail_at(at);
    s_.path.resize(static_cast<size_t>(n));
    for (int32_t& index : s_.path) index = in_.varint();
    return resolve(at);
  }

  int64_t head_index(bool f) { return f ? in_.varint() : 0; }

  void payload(const Cell& parent, uint32_t id, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const Type type = static_cast<Type>(id);
    switch (id) {
      case 1: {
        const int32_t datatype = in_.varint();
        if (!qelbin_datatype_ok(datatype)) in_.fail_at(at);
        return scalar(parent, datatype_cell(static_cast<Type>(datatype)));
      }
      case 2: case 3: return scalar(parent, make_cell(type));
      case 10: {
        const int32_t code_point = in_.varint();
        if (!qelbin_char_ok(code_point)) in_.fail_at(at);
        Cell made;
        return scalar(parent, *char_make_at(made, static_cast<uint32_t>(code_point)));
      }
      case 11: return scalar(parent, make_cell(Type::integer, 0, static_cast<uint32_t>(in_.zigzag())));
      case 12: case 38: case 43: return number(parent, type, f);
      case 37: {
        const int32_t x = in_.zigzag();
        Cell made{};
        return scalar(parent, *pair_make_at(made, x, in_.zigzag()));
      }
      case 51: case 52: return point_value(parent, type);
      case 47: return date(parent, f, at);
      case 33: return typeset(parent, at);
      case 39: return tuple(parent, f, at);
      case 49: return money(parent, f, at);
      case 20: return scalar(parent, make_cell(Type::issue, global_context(), read_symbol(), kUnresolved));
      case 15: case 16: case 17: case 18: case 19: return word(parent, type, f, prefixes, at);
      case 5: case 6: case 25: case 26: case 27: case 28: case 36: {
        const int64_t head = head_index(f);
        if (prefixes.reference) return scalar(parent, reference_as(type, reference(at), head, at));
        return block_value(parent, type, head, in_.count(), at);
      }
      case 7: case 8: case 9: case 44: case 45: case 50: return text(parent, type, f, prefixes, at);
      case 41: {
        const int64_t head = head_index(f);
        if (prefixes.reference) return scalar(parent, reference_as(type, reference(at), head, at));
        const uint32_t n = static_cast<uint32_t>(in_.count());
        return scalar(parent, with_head(make_cell(type, 0, units_series(in_.take(n), n, 1, at)), head, at));
      }
      case 30: {
        if (prefixes.reference) return scalar(parent, reference_as(type, reference(at), 0, at));
        const uint32_t n = static_cast<uint32_t>(in_.count());
        const NodeId node = units_series(in_.take(n), n, 1, at);
        if (f) series_buffer(node)->flags |= kBitsetNegated;
        return scalar(parent, make_cell(Type::bitset, 0, node));
      }
      case 35: return vector(parent, f, prefixes, at);
      case 53: {
        const int64_t head = head_index(f);
        if (prefixes.reference) return scalar(parent, reference_as(type, reference(at), head, at));
        const int32_t width = in_.varint();
        return image_value(parent, head, width, in_.varint(), at);
      }
      case 40: {
        if (prefixes.reference) return scalar(parent, reference_as(type, reference(at), 0, at));
        return map_value(parent, in_.count(), at);
      }
      case 14: return context_value(parent, context_header(at), at);
      case 32: {
        if (prefixes.reference) return scalar(parent, owner_reference(type, reference(at), at));
        return object_fields(&parent, f, at, [](NodeId) {});
      }
      case 24: {
        if (prefixes.reference) return scalar(parent, owner_reference(type, reference(at), at));
        return function_fields(&parent, at, [](NodeId) {});
      }
      case 21: case 22: return native_value(parent, type, in_.varint(), at);
      case 23: return op_value(parent, at);
      case 34: return error_value(parent, in_.varint(), at);
      case 29: case 31: case 46: case 48: case 54:
        raise_error(error_id("access", "no-codec"), datatype_cell(type));
      default: in_.fail_at(at);
    }
  }

  // --- Scalars -------------------------------------------------------------------------------

  double raw_double() {
    const uint64_t low = in_.raw32();
    const uint64_t bits = low | uint64_t{in_.raw32()} << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  void number(const Cell& parent, Type type, bool f) {
    double value;
    if (f) {
      const int32_t n = in_.zigzag();
      value = type == Type::percent ? n / 100.0 : static_cast<double>(n);
    } else {
      value = raw_double();
    }
    Cell made = make_cell(type);
    set_payload_f64(made, value);
    scalar(parent, made);
  }

  void date(const Cell& parent, bool f, const uint8_t* at) {
    const uint32_t word = in_.raw32();
    if (f != date_has_time(word)) in_.fail_at(at);
    const double time = f ? raw_double() : 0;
    if (!qelbin_date_ok(word, time)) in_.fail_at(at);
    Cell made;
    scalar(parent, *date_set(made, word, time));
  }

  void typeset(const Cell& parent, const uint8_t* at) {
    const uint8_t n = in_.byte();
    if (n > 12) in_.fail_at(at);
    Cell made = make_cell(Type::typeset);
    std::memcpy(reinterpret_cast<uint8_t*>(&made) + 4, in_.take(n), n);
    if (!qelbin_typeset_ok(made)) in_.fail_at(at);
    scalar(parent, made);
  }

  void tuple(const Cell& parent, bool f, const uint8_t* at) {
    const uint8_t n = f ? in_.byte() : 3;
    if (n < 1 || n > kTupleMaxLength) in_.fail_at(at);
    const uint8_t* bytes = in_.take(n);
    Cell made{};
    scalar(parent, *tuple_make_at(made, {bytes, n}));
  }

  void money(const Cell& parent, bool f, const uint8_t* at) {
    const uint8_t* bytes = in_.take(1 + kMoneyAmountBytes);
    if (!qelbin_money_ok(bytes[0], bytes + 1)) in_.fail_at(at);
    Cell made;
    scalar(parent, *money_make_at(made, f, bytes[0], bytes + 1));
  }

  uint32_t read_symbol() {
    const uint8_t* at = in_.position();
    return symbol_at(in_.varint(), at);
  }

  // --- Words ---------------------------------------------------------------------------------

  void word(const Cell& parent, Type type, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const uint32_t symbol = read_symbol();
    const uint32_t position = cells_in(parent);
    if (!f) {
      scalar(parent, global_word(type, symbol));
    } else if (!s_.codec_mode) {
      const int32_t literal = in_.varint();
      scalar(parent, literal_word(type, symbol, literal, in_.zigzag(), at));
    } else {
      const int32_t slot = in_.zigzag();
      if (prefixes.reference) {
        scalar(parent, bound_word(type, symbol, qelbin_owner_context(reference(at)), slot, false, at));
      } else {
        const uint8_t owner = in_.byte();
        const uint8_t owner_id = owner & kTypeIdMask;
        if (owner_id != 32 && owner_id != 24) in_.fail_at(at);
        word_before_owner(parent, type, symbol, slot, at, [&](const std::function<void(NodeId)>& place) {
          if (owner_id == 32) object_fields(nullptr, (owner & kTypeFlagF) != 0, at, place);
          else function_fields(nullptr, at, place);
        });
      }
    }
    if (prefixes.definition) definition(parent, position, at);
  }

  // --- Series --------------------------------------------------------------------------------

  void text(const Cell& parent, Type type, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const int64_t head = head_index(f);
    if (prefixes.reference) return scalar(parent, reference_as(type, reference(at), head, at));
    const int32_t l = in_.varint();
    if (l < 0 || (l & 3) == 3) in_.fail_at(at);
    const uint64_t units = static_cast<uint32_t>(l) >> 2, unit = 1u << (l & 3);
    if (units * unit > in_.left()) in_.fail_at(at);
    const NodeId node = units_series(in_.take(units * unit), units, static_cast<uint32_t>(unit), at);
    scalar(parent, with_head(make_cell(type, 0, node), head, at));
  }

  void vector(const Cell& parent, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const int64_t head = head_index(f);
    if (prefixes.reference) return scalar(parent, reference_as(Type::vector, reference(at), head, at));
    const uint8_t e = in_.byte();
    const uint32_t size = 1u << (e & 3);
    const int32_t count = in_.varint();
    if (count < 0 || uint64_t(count) * size > in_.left()) in_.fail_at(at);
    vector_value(parent, head, e >> 2, size, in_.take(uint64_t(count) * size), static_cast<uint64_t>(count), at);
  }

  // --- Contexts, objects, functions ----------------------------------------------------------

  QelbinContextHeader context_header(const uint8_t* at) {
    QelbinContextHeader header;
    header.flags = in_.byte();
    if (header.flags & ~0x1F) in_.fail_at(at);
    const int32_t n = in_.count();
    header.symbols.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) header.symbols.push_back(read_symbol());
    return header;
  }

  // After an object's type byte: class id, the handler indexes (found again by name), then a
  // context record.
  void object_fields(const Cell* parent, bool hooks, const uint8_t* at, const std::function<void(NodeId)>& place) {
    const int32_t class_id = in_.zigzag();
    if (hooks) {
      in_.zigzag();
      in_.zigzag();
    }
    if ((in_.byte() & kTypeIdMask) != 14) in_.fail_at(at);
    object_value(parent, class_id, hooks, context_header(at), at, place);
  }

  // After a function's type byte: the rooms (no more than the bytes left), then its context
  // record, spec and body.
  void function_fields(const Cell* parent, const uint8_t* at, const std::function<void(NodeId)>& place) {
    in_.count();
    in_.count();
    if ((in_.byte() & kTypeIdMask) != 14) in_.fail_at(at);
    function_value(parent, context_header(at), at, place);
  }

  NodeId function_block(Cell& function, bool spec, const uint8_t* at) override {
    bool reference_prefix = false;
    uint8_t b;
    for (;;) {
      b = in_.byte();
      if (b == kPrefixReference) reference_prefix = true;
      else if (b != kPrefixNewLine) break;
    }
    if ((b & 0x80) || (b & kTypeIdMask) != 5) in_.fail_at(at);
    if (b & kTypeFlagF) in_.varint();  // the head is dropped
    if (reference_prefix) {
      const Cell target = reference(at);
      if (cell_type(target) != Type::block) in_.fail_at(at);
      return target.w2;
    }
    return function_block_records(function, spec, in_.count());
  }
};

}  // namespace

void qelbin_decode_compact_body(QelbinDecodeState& state) { CompactDecoder(state).body(); }

}  // namespace qel

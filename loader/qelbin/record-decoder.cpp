// record-decoder.cpp: reading the record variant's records into values.
//
// Every record is a run of 32-bit little-endian words whose first word is a header: the type id
// in bits 0-7, the new-line marker in bit 31, and per type a reference flag (bit 19), a unit
// or element size or tuple length (bits 8-15) and the flags below. The builder makes and
// places the values.
#include <cstring>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/char.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/tuple.h"
#include "evaluator/eval-support.h"
#include "loader/qelbin/qelbin-builder.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin-paths.h"
#include "loader/qelbin/qelbin-records.h"
#include "loader/qelbin/qelbin-values.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"

namespace qel {

namespace {

class RecordDecoder : public QelbinBuilder {
 public:
  using QelbinBuilder::QelbinBuilder;

 private:
  int32_t word() { return static_cast<int32_t>(in_.raw32()); }
  // A count of things stored after it, each at least `size` bytes: 0 or more and fitting.
  int64_t count(uint64_t size) {
    const int32_t n = word();
    in_.require(n >= 0 && static_cast<uint64_t>(n) * size <= in_.left());
    return n;
  }
  // n bytes and their padding to a multiple of 4.
  const uint8_t* padded(uint64_t n) {
    in_.require(n <= in_.left());
    const uint8_t* bytes = in_.take(n);
    in_.take((4 - n % 4) % 4);
    return bytes;
  }

  // --- One record --------------------------------------------------------------------------

  void record(const Cell& parent) override {
    check_stack_headroom();
    const uint8_t* at = in_.position();
    uint32_t header = in_.raw32();
    while ((header & 0xFF) == kRecordSkip) {  // a type-0 record: the next one stands in its place
      at = in_.position();
      header = in_.raw32();
    }
    const uint32_t before = cells_in(parent);
    payload(parent, header, at);
    if ((header & kRecordNewLine) && cells_in(parent) > before) cell_at(parent, before).header |= kNewLineFlag;
  }

  // A reference path after a record's leading words: the skipped type-255 word, then the path.
  Cell reference_after(const uint8_t* at) {
    in_.raw32();
    return path(at);
  }
  Cell path(const uint8_t* at) {
    const int64_t n = count(4);
    if (n < 1 || n > kMaxPathLength) in_.fail_at(at);
    s_.path.resize(static_cast<size_t>(n));
    for (int32_t& index : s_.path) index = word();
    return resolve(at);
  }

  double high_first_double() {
    const uint64_t high = in_.raw32();
    const uint64_t bits = high << 32 | in_.raw32();
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
  }

  uint32_t read_symbol() {
    const uint8_t* at = in_.position();
    return symbol_at(word(), at);
  }

  void payload(const Cell& parent, uint32_t header, const uint8_t* at) {
    const uint32_t id = header & 0xFF;
    const Type type = static_cast<Type>(id);
    const bool reference = header & kRecordReference;
    switch (id) {
      case 1: {
        const int32_t datatype = word();
        if (!qelbin_datatype_ok(datatype)) in_.fail_at(at);
        return scalar(parent, datatype_cell(static_cast<Type>(datatype)));
      }
      case 2: case 3: return scalar(parent, make_cell(type));
      case 4: {
        const uint32_t truth = in_.raw32();
        if (truth > 1) in_.fail_at(at);
        return scalar(parent, make_cell(Type::logic, truth));
      }
      case 10: {
        const int32_t code_point = word();
        if (!qelbin_char_ok(code_point)) in_.fail_at(at);
        Cell made;
        return scalar(parent, *char_make_at(made, static_cast<uint32_t>(code_point)));
      }
      case 11: return scalar(parent, make_cell(Type::integer, 0, in_.raw32()));
      case 12: case 38: case 43: {
        Cell made = make_cell(type);
        set_payload_f64(made, high_first_double());
        return scalar(parent, made);
      }
      case 33: {
        Cell made = make_cell(Type::typeset);
        made.w1 = in_.raw32();
        made.w2 = in_.raw32();
        made.w3 = in_.raw32();
        if (!qelbin_typeset_ok(made)) in_.fail_at(at);
        return scalar(parent, made);
      }
      case 37: {
        const int32_t x = word();
        Cell made{};
        return scalar(parent, *pair_make_at(made, x, word()));
      }
      case 47: {
        const uint32_t date = in_.raw32();
        const double time = high_first_double();
        if (!qelbin_date_ok(date, time)) in_.fail_at(at);
        Cell made;
        return scalar(parent, *date_set(made, date, time));
      }
      case 51: case 52: return point_value(parent, type);
      case 15: case 16: case 17: case 18: case 19: return word_record(parent, type, header, at);
      case 20: return scalar(parent, make_cell(Type::issue, global_context(), read_symbol(), kUnresolved));
      case 5: case 6: case 25: case 26: case 27: case 28: case 36: {
        const int32_t head = word();
        if (reference) return scalar(parent, reference_as(type, reference_after(at), head, at));
        return block_value(parent, type, head, count(4), at);
      }
      case 7: case 8: case 9: case 44: case 45: case 50: case 41: return text(parent, type, header, at);
      case 30: {
        if (reference) return scalar(parent, reference_as(type, reference_after(at), 0, at));
        const int64_t n = count(1);
        const NodeId node = units_series(padded(static_cast<uint64_t>(n)), static_cast<uint64_t>(n), 1, at);
        if (header & kRecordComplemented) series_buffer(node)->flags |= kBitsetNegated;
        return scalar(parent, make_cell(Type::bitset, 0, node));
      }
      case 35: {
        const int32_t head = word();
        if (reference) return scalar(parent, reference_as(type, reference_after(at), head, at));
        const uint32_t size = (header >> 8) & 0xFF;
        if (size == 0) in_.fail_at(at);
        const int64_t n = count(size);
        const int32_t element = word();
        const uint8_t* data = padded(static_cast<uint64_t>(n) * size);
        return vector_value(parent, head, element, size, data, static_cast<uint64_t>(n), at);
      }
      case 53: {
        const int32_t head = word();
        if (reference) return scalar(parent, reference_as(type, reference_after(at), head, at));
        const uint32_t size = in_.raw32();
        return image_value(parent, head, size & 0xFFFF, size >> 16, at);
      }
      case 40: {
        if (reference) return scalar(parent, reference_as(type, reference_after(at), 0, at));
        return map_value(parent, count(4), at);
      }
      case 14: return context_value(parent, context_fields(header), at);
      case 32: {
        if (reference) return scalar(parent, owner_reference(type, reference_after(at), at));
        return object_fields(&parent, header, at, [](NodeId) {});
      }
      case 24: {
        if (reference) return scalar(parent, owner_reference(type, reference_after(at), at));
        return function_fields(&parent, at, [](NodeId) {});
      }
      case 21: case 22: return native_value(parent, type, word(), at);
      case 23: {
        op_value(parent, at);
        if (op_wrapped_type(cell_at(parent, cells_in(parent) - 1)) != static_cast<Type>((header >> 16) & 0xFF))
          in_.fail_at(at);
        return;
      }
      case 34: return error_value(parent, word(), at);
      case 39: {
        const uint32_t length = (header >> 8) & 0xFF;
        if (length < 1 || length > kTupleMaxLength) in_.fail_at(at);
        const uint8_t* bytes = in_.take(12);
        Cell made{};
        return scalar(parent, *tuple_make_at(made, {bytes, length}));
      }
      case 49: {
        const uint8_t* bytes = in_.take(1 + kMoneyAmountBytes);
        if (!qelbin_money_ok(bytes[0], bytes + 1)) in_.fail_at(at);
        Cell made;
        return scalar(parent, *money_make_at(made, (header & kRecordNegative) != 0, bytes[0], bytes + 1));
      }
      case kRecordCopy: return scalar(parent, path(at));
      case 29: case 31: case 46: case 48: case 54:
        raise_error(error_id("access", "no-codec"), datatype_cell(type));
      default: in_.fail_at(at);
    }
  }

  void text(const Cell& parent, Type type, uint32_t header, const uint8_t* at) {
    const int32_t head = word();
    if (header & kRecordReference) return scalar(parent, reference_as(type, reference_after(at), head, at));
    const uint32_t unit = type == Type::binary ? 1 : (header >> 8) & 0xFF;
    if (unit != 1 && unit != 2 && unit != 4) in_.fail_at(at);
    const int64_t length = count(unit);
    const uint8_t* data = padded(static_cast<uint64_t>(length) * unit);
    scalar(parent, with_head(make_cell(type, 0, units_series(data, static_cast<uint64_t>(length), unit, at)), head, at));
  }

  // --- Words ---------------------------------------------------------------------------------

  void word_record(const Cell& parent, Type type, uint32_t header, const uint8_t* at) {
    const uint32_t symbol = read_symbol();
    const uint32_t position = cells_in(parent);
    if (!s_.codec_mode) {
      const int32_t literal = word();
      const int32_t slot = word();
      scalar(parent, literal == -1 ? global_word(type, symbol) : literal_word(type, symbol, literal, slot, at));
      if (header & kRecordDefinition) definition(parent, position, at);
      return;
    }
    const int32_t slot = word();
    if (header & kRecordReference) {
      scalar(parent, bound_word(type, symbol, qelbin_owner_context(reference_after(at)), slot, false, at));
    } else if (header & kRecordDefinition) {
      scalar(parent, global_word(type, symbol));
    } else {
      const uint32_t owner = in_.raw32();
      if ((owner & 0xFF) != 32 && (owner & 0xFF) != 24) in_.fail_at(at);
      word_before_owner(parent, type, symbol, slot, at, [&](const std::function<void(NodeId)>& place) {
        if ((owner & 0xFF) == 32) object_fields(nullptr, owner, at, place);
        else function_fields(nullptr, at, place);
      });
    }
  }

  // --- Contexts, objects, functions ----------------------------------------------------------

  // A context record's fields after its header word.
  QelbinContextHeader context_fields(uint32_t header) {
    QelbinContextHeader fields;
    fields.flags = static_cast<uint8_t>((header >> kRecordContextKindShift) & 3);
    if (header & kRecordContextFlag) fields.flags |= 8;
    if (header & kRecordContextOnStack) fields.flags |= 4;
    if (header & kRecordContextValues) fields.flags |= 16;
    const int64_t n = count(4);
    fields.symbols.reserve(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) fields.symbols.push_back(read_symbol());
    return fields;
  }

  QelbinContextHeader context_record(const uint8_t* at) {
    const uint32_t header = in_.raw32();
    if ((header & 0xFF) != 14) in_.fail_at(at);
    return context_fields(header);
  }

  void object_fields(const Cell* parent, uint32_t header, const uint8_t* at, const std::function<void(NodeId)>& place) {
    const int32_t class_id = word();
    const bool hooks = header & kRecordHooks;
    if (hooks) {
      word();  // the handler fields are found again by name
      word();
    }
    object_value(parent, class_id, hooks, context_record(at), at, place);
  }

  void function_fields(const Cell* parent, const uint8_t* at, const std::function<void(NodeId)>& place) {
    count(4);  // spec room
    count(4);  // body room
    function_value(parent, context_record(at), at, place);
  }

  NodeId function_block(Cell& function, bool spec, const uint8_t* at) override {
    const uint32_t header = in_.raw32();
    if ((header & 0xFF) != 5) in_.fail_at(at);
    word();  // the head is dropped
    if (header & kRecordReference) {
      const Cell target = reference_after(at);
      if (cell_type(target) != Type::block) in_.fail_at(at);
      return target.w2;
    }
    return function_block_records(function, spec, count(4));
  }
};

}  // namespace

void qelbin_decode_record_body(QelbinDecodeState& state) { RecordDecoder(state).body(); }

}  // namespace qel

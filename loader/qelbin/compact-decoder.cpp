// compact-decoder.cpp: reading the compact variant's records into values.
//
// A record is any number of prefix bytes (new line, reference, definition), a type byte and its
// payload. Each record appends its value to the block it is read into; a container's cell
// stands in its parent before its own records are read, so a record inside may refer to it
// through a reference path. Nothing is evaluated: values are made, checked and stored.
#include <cstring>

#include "datatypes/scalars/bitset.h"
#include "datatypes/scalars/char.h"
#include "datatypes/scalars/coordinates.h"
#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/tuple.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/hash.h"
#include "datatypes/series/map.h"
#include "datatypes/series/vector.h"
#include "evaluator/error.h"
#include "evaluator/function.h"
#include "loader/qelbin/qelbin-decoder.h"
#include "loader/qelbin/qelbin-format.h"
#include "loader/qelbin/qelbin-paths.h"
#include "loader/qelbin/qelbin-values.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr bool word_family(uint32_t id) { return id >= 15 && id <= 19; }

// The cells of a block series so far.
uint32_t cells_in(const Cell& block) { return series_buffer_length(block.w2); }
Cell& cell_at(const Cell& block, uint32_t i) { return series_buffer(block.w2)->head_cell()[i]; }

Cell new_block(int64_t room, Type type = Type::block) {
  Cell block;
  block_make_at(block, room);
  set_value_type_byte(block, type);
  return block;
}

// The prefixes and type byte of one record.
struct Prefixes {
  bool new_line = false;
  bool reference = false;
  bool definition = false;
};

// A context record's fields before its values: the kind, its flags and the words.
struct ContextHeader {
  uint8_t flags = 0;
  std::vector<uint32_t> symbols;
  uint32_t kind() const { return flags & kContextKindBits; }
  bool on_stack() const { return flags & kContextStackBit; }
  bool flag() const { return flags & kContextFlagBit; }
  bool values_follow() const { return (flags & kContextValuesBit) && !on_stack(); }
};

class CompactDecoder {
 public:
  explicit CompactDecoder(QelbinDecodeState& state) : s_(state), in_(state.input) {}

  void body() {
    while (!in_.at_end()) record(s_.root);
  }

 private:
  // --- One record --------------------------------------------------------------------------

  void record(const Cell& parent) {
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
      if (id == 0 || (prefixes.definition && !(word_family(id) || id == 20))) in_.fail_at(type_at);
      payload(parent, id, (b & kTypeFlagF) != 0, prefixes, type_at);
    }
    if (prefixes.new_line && cells_in(parent) > before) cell_at(parent, before).header |= kNewLineFlag;
  }

  void short_form(const Cell& parent, uint8_t b, const uint8_t* at) {
    Cell& made = *block_append_fresh_slot(parent);
    if (b <= kShortIntegerLast) made = make_cell(Type::integer, 0, b - kShortIntegerFirst);
    else if (b == kShortTrue || b == kShortFalse) made = make_cell(Type::logic, b == kShortTrue);
    else if (b == kCopyRecord) made = reference(at);
    else in_.fail_at(at);
  }

  // The value of a reference path read here.
  Cell reference(const uint8_t* at) {
    const int32_t n = in_.varint();
    if (n < 1 || n > kMaxPathLength || static_cast<uint64_t>(n) > in_.left()) in_.fail_at(at);
    s_.path.resize(static_cast<size_t>(n));
    for (int32_t& index : s_.path) index = in_.varint();
    return qelbin_resolve_path(s_.root, s_.base, s_.path, in_, at);
  }

  // A reference record's target retyped as the record's own series type, at its head index.
  Cell reference_as(Type type, int64_t head, const uint8_t* at) {
    Cell target = reference(at);
    if (!qelbin_reference_fits(type, cell_type(target))) in_.fail_at(at);
    target.header = static_cast<uint32_t>(type) | (target.header & ~kTypeByteMask & ~kNewLineFlag);
    return with_head(target, head, at);
  }

  Cell with_head(Cell series, int64_t head, const uint8_t* at) {
    if (head > series_buffer_length(series.w2)) in_.fail_at(at);
    series.w1 = static_cast<uint32_t>(head);
    return series;
  }

  int64_t head_index(bool f) {
    if (!f) return 0;
    const int32_t head = in_.varint();
    in_.require(head >= 0);
    return head;
  }

  void payload(const Cell& parent, uint32_t id, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const Type type = static_cast<Type>(id);
    switch (id) {
      case 1: {
        const int32_t datatype = in_.varint();
        if (!qelbin_datatype_ok(datatype)) in_.fail_at(at);
        *block_append_fresh_slot(parent) = datatype_cell(static_cast<Type>(datatype));
        return;
      }
      case 2: case 3: *block_append_fresh_slot(parent) = make_cell(type); return;
      case 10: {
        const int32_t code_point = in_.varint();
        if (!qelbin_char_ok(code_point)) in_.fail_at(at);
        char_make_at(*block_append_fresh_slot(parent), static_cast<uint32_t>(code_point));
        return;
      }
      case 11: *block_append_fresh_slot(parent) = make_cell(Type::integer, 0, static_cast<uint32_t>(in_.zigzag())); return;
      case 12: case 38: case 43: return number(parent, type, f);
      case 37: {
        const int32_t x = in_.zigzag();
        pair_make_at(*block_append_fresh_slot(parent), x, in_.zigzag());
        return;
      }
      case 51: case 52: {
        Cell point = make_cell(type);
        point.w1 = in_.raw32();
        point.w2 = in_.raw32();
        if (type == Type::point3d) point.w3 = in_.raw32();
        *block_append_fresh_slot(parent) = point;
        return;
      }
      case 47: return date(parent, f, at);
      case 33: return typeset(parent, at);
      case 39: return tuple(parent, f, at);
      case 49: return money(parent, f, at);
      case 20: {
        const uint32_t symbol = read_symbol();
        *block_append_fresh_slot(parent) = make_cell(Type::issue, global_context(), symbol, kUnresolved);
        return;
      }
      case 15: case 16: case 17: case 18: case 19: return word(parent, type, f, prefixes, at);
      case 5: case 6: case 25: case 26: case 27: case 28: case 36: return block(parent, type, f, prefixes, at);
      case 7: case 8: case 9: case 44: case 45: case 50: return text(parent, type, f, prefixes, at);
      case 41: return binary(parent, f, prefixes, at);
      case 30: return bitset(parent, f, prefixes, at);
      case 35: return vector(parent, f, prefixes, at);
      case 40: return map(parent, prefixes, at);
      case 14: return context_record(parent, at);
      case 32: return object(parent, f, prefixes, at);
      case 24: return function(parent, prefixes, at);
      case 21: case 22: return native(parent, type, at);
      case 23: return op(parent, at);
      case 34: return error(parent, at);
      case 29: case 31: case 46: case 48: case 54:
        raise_error(error_id("access", "no-codec"), datatype_cell(type));
      default: in_.fail_at(at);
    }
  }

  // --- Scalars -------------------------------------------------------------------------------

  void number(const Cell& parent, Type type, bool f) {
    double value;
    if (f) {
      const int32_t n = in_.zigzag();
      value = type == Type::percent ? n / 100.0 : static_cast<double>(n);
    } else {
      const uint64_t low = in_.raw32();
      const uint64_t bits = low | uint64_t{in_.raw32()} << 32;
      std::memcpy(&value, &bits, sizeof value);
    }
    Cell& made = *block_append_fresh_slot(parent);
    made = make_cell(type);
    set_payload_f64(made, value);
  }

  void date(const Cell& parent, bool f, const uint8_t* at) {
    const uint32_t word = in_.raw32();
    if (f != date_has_time(word)) in_.fail_at(at);
    double time = 0;
    if (f) {
      const uint64_t low = in_.raw32();
      const uint64_t bits = low | uint64_t{in_.raw32()} << 32;
      std::memcpy(&time, &bits, sizeof time);
    }
    if (!qelbin_date_ok(word, time)) in_.fail_at(at);
    date_set(*block_append_fresh_slot(parent), word, time);
  }

  void typeset(const Cell& parent, const uint8_t* at) {
    const uint8_t n = in_.byte();
    if (n > 12) in_.fail_at(at);
    Cell made = make_cell(Type::typeset);
    std::memcpy(reinterpret_cast<uint8_t*>(&made) + 4, in_.take(n), n);
    if (!qelbin_typeset_ok(made)) in_.fail_at(at);
    *block_append_fresh_slot(parent) = made;
  }

  void tuple(const Cell& parent, bool f, const uint8_t* at) {
    const uint8_t n = f ? in_.byte() : 3;
    if (n < 1 || n > kTupleMaxLength) in_.fail_at(at);
    const uint8_t* bytes = in_.take(n);
    Cell made{};
    tuple_make_at(made, {bytes, n});
    *block_append_fresh_slot(parent) = made;
  }

  void money(const Cell& parent, bool f, const uint8_t* at) {
    const uint8_t* bytes = in_.take(1 + kMoneyAmountBytes);
    if (!qelbin_money_ok(bytes[0], bytes + 1)) in_.fail_at(at);
    money_make_at(*block_append_fresh_slot(parent), f, bytes[0], bytes + 1);
  }

  uint32_t read_symbol() {
    const uint8_t* at = in_.position();
    return s_.symbols.symbol(in_.varint(), in_, at);
  }

  // --- Words ---------------------------------------------------------------------------------

  void word(const Cell& parent, Type type, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const uint32_t symbol = read_symbol();
    const uint32_t position = cells_in(parent);
    if (!f) {
      *block_append_fresh_slot(parent) = make_cell(type, global_context(), symbol, kUnresolved);
    } else if (!s_.codec_mode) {
      literal_context_word(parent, type, symbol, at);
    } else {
      codec_word(parent, type, symbol, prefixes, at);
    }
    if (prefixes.definition) definition(parent, position, at);
  }

  // The word bound into the context at the slot; the slot must lie inside the context and hold
  // the word's symbol (-1, when allowed, looks the symbol up).
  Cell bound_word(Type type, uint32_t symbol, NodeId context, int64_t slot, bool lookup, const uint8_t* at) {
    if (context == 0) in_.fail_at(at);
    if (slot == -1 && lookup) {
      const int32_t found = context_find_word(context, symbol, true);
      return make_cell(type, context, symbol, found < 0 ? kUnresolved : static_cast<uint32_t>(found));
    }
    if (slot < 0 || slot >= context_length(context) ||
        symbol_canonical(context_word_at(context, static_cast<uint32_t>(slot))->w2) != symbol_canonical(symbol))
      in_.fail_at(at);
    return make_cell(type, context, symbol, static_cast<uint32_t>(slot));
  }

  // Normal mode: the context is an earlier context literal of the image.
  void literal_context_word(const Cell& parent, Type type, uint32_t symbol, const uint8_t* at) {
    const int32_t literal = in_.varint();
    const int32_t slot = in_.zigzag();
    if (literal < 0 || int64_t{s_.base} + literal >= cells_in(s_.root)) in_.fail_at(at);
    const Cell owner = cell_at(s_.root, s_.base + static_cast<uint32_t>(literal));
    if (cell_type(owner) != Type::object) in_.fail_at(at);
    *block_append_fresh_slot(parent) = bound_word(type, symbol, owner.w1, slot, true, at);
  }

  // Codec mode: the context is reached by a reference, or its owner's record follows.
  void codec_word(const Cell& parent, Type type, uint32_t symbol, const Prefixes& prefixes, const uint8_t* at) {
    const int32_t slot = in_.zigzag();
    if (prefixes.reference) {
      const NodeId context = qelbin_owner_context(reference(at));
      *block_append_fresh_slot(parent) = bound_word(type, symbol, context, slot, false, at);
      return;
    }
    const uint8_t owner_byte = in_.byte();
    const uint8_t owner_id = owner_byte & kTypeIdMask;
    if (owner_id != 32 && owner_id != 24) in_.fail_at(at);
    // The word stands in the parent before the owner's records are read: they count under it.
    const uint32_t position = cells_in(parent);
    *block_append_fresh_slot(parent) = make_cell(Type::none);
    auto place = [&](NodeId context) { cell_at(parent, position) = bound_word(type, symbol, context, slot, false, at); };
    if (owner_id == 32) object_fields(nullptr, (owner_byte & kTypeFlagF) != 0, at, place);
    else function_fields(nullptr, at, place);
  }

  // Normal mode: the word at `position` is set to the value the next record makes, and
  // neither stays in the block.
  void definition(const Cell& parent, uint32_t position, const uint8_t* at) {
    record(parent);
    if (cells_in(parent) != position + 2) in_.fail_at(at);
    Cell word = cell_at(parent, position);
    if (word.w1 == global_context()) word = context_add_word(word.w2, global_context());
    Cell* slot = block_context_slot(word.w1, word.w3, false);
    if (!slot) in_.fail_at(at);
    *slot = cell_at(parent, position + 1);
    value_clear_flag_30(*slot);
    block_truncate(make_cell(Type::block, 0, parent.w2), position);
  }

  // --- Series --------------------------------------------------------------------------------

  // n records read into the block (its cell already stands in the parent).
  void records_into(const Cell& block, int32_t n) {
    for (int32_t i = 0; i < n; ++i) record(block);
  }

  void block(const Cell& parent, Type type, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const int64_t head = head_index(f);
    if (prefixes.reference) {
      *block_append_fresh_slot(parent) = reference_as(type, head, at);
      return;
    }
    const int32_t n = in_.count();
    const Cell made = new_block(n, type);
    const uint32_t position = cells_in(parent);
    *block_append_fresh_slot(parent) = made;
    records_into(made, n);
    Cell& stored = cell_at(parent, position);
    stored = with_head(stored, head, at);
    if (type == Type::hash) hash_index_new(stored);
  }

  // Raw units of the given size copied into a new series of that unit.
  NodeId units_series(uint64_t count, uint32_t unit, const uint8_t* at) {
    const uint64_t bytes = count * unit;
    if (count > in_.left() || bytes > in_.left()) in_.fail_at(at);
    const uint8_t* data = in_.take(bytes);
    if (!qelbin_text_units_ok(data, count, unit)) in_.fail_at(at);
    const NodeId node = new_string_series(static_cast<int64_t>(count), unit);
    SeriesBuffer* buffer = series_buffer(node);
    std::memcpy(buffer->head_address(), data, bytes);
    buffer->tail = buffer->head + static_cast<uint32_t>(bytes);
    return node;
  }

  void text(const Cell& parent, Type type, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const int64_t head = head_index(f);
    if (prefixes.reference) {
      *block_append_fresh_slot(parent) = reference_as(type, head, at);
      return;
    }
    const int32_t l = in_.varint();
    if (l < 0 || (l & 3) == 3) in_.fail_at(at);
    const NodeId node = units_series(static_cast<uint32_t>(l) >> 2, 1u << (l & 3), at);
    *block_append_fresh_slot(parent) = with_head(make_cell(type, 0, node), head, at);
  }

  void binary(const Cell& parent, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const int64_t head = head_index(f);
    if (prefixes.reference) {
      *block_append_fresh_slot(parent) = reference_as(Type::binary, head, at);
      return;
    }
    const NodeId node = units_series(static_cast<uint32_t>(in_.count()), 1, at);
    *block_append_fresh_slot(parent) = with_head(make_cell(Type::binary, 0, node), head, at);
  }

  void bitset(const Cell& parent, bool f, const Prefixes& prefixes, const uint8_t* at) {
    if (prefixes.reference) {
      *block_append_fresh_slot(parent) = reference_as(Type::bitset, 0, at);
      return;
    }
    const NodeId node = units_series(static_cast<uint32_t>(in_.count()), 1, at);
    if (f) series_buffer(node)->flags |= kBitsetNegated;
    bitset_make_at(*block_append_fresh_slot(parent), node);
  }

  void vector(const Cell& parent, bool f, const Prefixes& prefixes, const uint8_t* at) {
    const int64_t head = head_index(f);
    if (prefixes.reference) {
      *block_append_fresh_slot(parent) = reference_as(Type::vector, head, at);
      return;
    }
    const uint8_t e = in_.byte();
    const uint32_t size = 1u << (e & 3);
    if (!qelbin_vector_element_ok(e >> 2, size)) in_.fail_at(at);
    const int32_t count = in_.varint();
    if (count < 0) in_.fail_at(at);
    const uint64_t bytes = uint64_t(count) * size;
    if (bytes > in_.left()) in_.fail_at(at);
    Cell made;
    vector_make_at(made, count, static_cast<Type>(e >> 2), static_cast<int32_t>(size));
    SeriesBuffer* buffer = series_buffer(made.w2);
    std::memcpy(buffer->head_address(), in_.take(bytes), bytes);
    buffer->tail = buffer->head + static_cast<uint32_t>(bytes);
    *block_append_fresh_slot(parent) = with_head(made, head, at);
  }

  void map(const Cell& parent, const Prefixes& prefixes, const uint8_t* at) {
    if (prefixes.reference) {
      *block_append_fresh_slot(parent) = reference_as(Type::map, 0, at);
      return;
    }
    const int32_t n = in_.count();
    Cell made;
    map_make_at(made, nullptr, n / 2);
    *block_append_fresh_slot(parent) = made;
    const Cell pairs = new_block(n);
    records_into(pairs, n);
    if (!qelbin_map_fill(made, pairs)) in_.fail_at(at);
  }

  // --- Contexts, objects, functions ----------------------------------------------------------

  ContextHeader context_header(const uint8_t* at) {
    ContextHeader header;
    header.flags = in_.byte();
    if (header.flags & ~0x1F) in_.fail_at(at);
    const int32_t n = in_.count();
    header.symbols.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) header.symbols.push_back(read_symbol());
    return header;
  }

  NodeId context_of(const ContextHeader& header, const uint8_t* at) {
    const std::optional<NodeId> context =
        qelbin_context_make(header.symbols, header.kind(), header.on_stack(), header.flag());
    if (!context) in_.fail_at(at);
    return *context;
  }

  // The values of a context whose owner is in place: n records read into its values block.
  void context_values(NodeId context, const ContextHeader& header, const uint8_t* at) {
    if (!header.values_follow()) return;
    const Cell values = make_cell(Type::block, 0, context_cell(context).w2);
    block_truncate(values, 0);
    records_into(values, static_cast<int32_t>(header.symbols.size()));
    if (cells_in(values) != header.symbols.size()) in_.fail_at(at);
  }

  // A context! record: a context of its own (never one on the stack), left as its object cell.
  void context_record(const Cell& parent, const uint8_t* at) {
    const ContextHeader header = context_header(at);
    if (header.on_stack()) in_.fail_at(at);
    const NodeId context = context_of(header, at);
    const Cell owner = make_cell(Type::object, context, kUnresolved);
    context_owner(context) = owner;
    *block_append_fresh_slot(parent) = owner;
    context_values(context, header, at);
  }

  // An object record's fields after its type byte. Its cell goes into the parent (when there is
  // one), `place` puts whatever must stand before the values, then the values are read.
  template <class Place>
  void object_fields(const Cell* parent, bool hooks, const uint8_t* at, Place place) {
    const int32_t class_id = in_.zigzag();
    if (hooks) {
      in_.zigzag();  // the handler fields are found again by name
      in_.zigzag();
    }
    if ((in_.byte() & kTypeIdMask) != 14) in_.fail_at(at);
    const ContextHeader header = context_header(at);
    if (header.on_stack() || header.kind() != kObjectContext) in_.fail_at(at);
    const NodeId context = context_of(header, at);
    context_owner(context) = make_cell(Type::object, context, static_cast<uint32_t>(class_id));
    const uint32_t position = parent ? cells_in(*parent) : 0;
    if (parent) *block_append_fresh_slot(*parent) = context_owner(context);
    place(context);
    context_values(context, header, at);
    Cell object = context_owner(context);
    if (hooks && !qelbin_object_hooks(object)) in_.fail_at(at);
    if (parent) cell_at(*parent, position) = object;
  }

  void object(const Cell& parent, bool f, const Prefixes& prefixes, const uint8_t* at) {
    if (prefixes.reference) {
      Cell target = reference(at);
      if (is_any_word_kind(cell_type(target)) && target.w1 != 0) target = context_owner(target.w1);
      if (cell_type(target) != Type::object) in_.fail_at(at);
      value_clear_flag_30(target);
      *block_append_fresh_slot(parent) = target;
      return;
    }
    object_fields(&parent, f, at, [](NodeId) {});
  }

  static bool is_any_word_kind(Type type) { return static_cast<uint32_t>(type) >= 15 && static_cast<uint32_t>(type) <= 19; }

  // A block record of a function's spec or body: the series it names, by reference or read.
  NodeId function_block(const uint8_t* at, Cell& function, bool spec) {
    Prefixes prefixes;
    uint8_t b;
    for (;;) {
      b = in_.byte();
      if (b == kPrefixNewLine) prefixes.new_line = true;
      else if (b == kPrefixReference) prefixes.reference = true;
      else break;
    }
    if ((b & 0x80) || (b & kTypeIdMask) != 5) in_.fail_at(at);
    if (b & kTypeFlagF) in_.require(in_.varint() >= 0);
    if (prefixes.reference) {
      const Cell target = reference(at);
      if (cell_type(target) != Type::block) in_.fail_at(at);
      return target.w2;
    }
    const int32_t n = in_.count();
    const Cell block = new_block(n);
    if (spec) function.w2 = block.w2;
    else *function_more_cell(function, kMoreBody) = block;
    context_owner(function.w1) = function;
    records_into(block, n);
    return block.w2;
  }

  template <class Place>
  void function_fields(const Cell* parent, const uint8_t* at, Place place) {
    in_.count();  // spec room
    in_.count();  // body room
    if ((in_.byte() & kTypeIdMask) != 14) in_.fail_at(at);
    const ContextHeader header = context_header(at);
    if (!header.on_stack() || header.kind() != 0) in_.fail_at(at);
    const NodeId context = context_of(header, at);
    const NodeId more = function_more_make(5, 0);
    series_buffer(more)->head_cell()[kMoreDescription] = make_cell(Type::none);  // made once the spec is read
    Cell function = make_cell(Type::function, context, new_block(1).w2, more);
    *function_more_cell(function, kMoreBody) = new_block(1);
    context_owner(context) = function;
    uint32_t position = 0;
    if (parent) {
      position = cells_in(*parent);
      *block_append_fresh_slot(*parent) = function;
    }
    place(context);
    auto publish = [&] {
      context_owner(context) = function;
      if (parent) cell_at(*parent, position) = function;
    };
    function.w2 = function_block(at, function, true);
    publish();
    const Cell body = make_cell(Type::block, 0, function_block(at, function, false));
    if (!qelbin_function_finish(function, body)) in_.fail_at(at);
    publish();
  }

  void function(const Cell& parent, const Prefixes& prefixes, const uint8_t* at) {
    if (prefixes.reference) {
      Cell target = reference(at);
      if (is_any_word_kind(cell_type(target)) && target.w1 != 0) target = context_owner(target.w1);
      if (cell_type(target) == Type::op && ((target.header >> 16) & 0xFF) == static_cast<uint32_t>(Type::function))
        target.header = static_cast<uint32_t>(Type::function) | (target.header & 0xFF00 & ~kNewLineFlag);
      if (cell_type(target) != Type::function) in_.fail_at(at);
      value_clear_flag_30(target);
      *block_append_fresh_slot(parent) = target;
      return;
    }
    function_fields(&parent, at, [](NodeId) {});
  }

  // --- Built-in code and errors --------------------------------------------------------------

  // One record read into the block; it must make exactly one cell, which is answered.
  Cell single(const Cell& block, const uint8_t* at) {
    const uint32_t before = cells_in(block);
    record(block);
    if (cells_in(block) != before + 1) in_.fail_at(at);
    return cell_at(block, before);
  }

  void native(const Cell& parent, Type type, const uint8_t* at) {
    const int32_t slot = in_.varint();
    const uint32_t position = cells_in(parent);
    *block_append_fresh_slot(parent) = make_cell(Type::none);
    // In normal mode the spec block stays in the parent after the native's cell.
    const Cell holder = s_.codec_mode ? new_block(1) : parent;
    const Cell spec = single(holder, at);
    if (cell_type(spec) != Type::block) in_.fail_at(at);
    const std::optional<Cell> made = qelbin_native_make(type, slot, spec);
    if (!made) in_.fail_at(at);
    cell_at(parent, position) = *made;
  }

  void op(const Cell& parent, const uint8_t* at) {
    const Cell wrapped = single(parent, at);
    const Type type = cell_type(wrapped);
    if (type != Type::native && type != Type::action && type != Type::function) in_.fail_at(at);
    const std::optional<Cell> made = qelbin_op_make(wrapped);
    if (!made) in_.fail_at(at);
    cell_at(parent, cells_in(parent) - 1) = *made;
  }

  void error(const Cell& parent, const uint8_t* at) {
    const std::optional<Cell> made = qelbin_error_make(in_.varint());
    if (!made) in_.fail_at(at);
    *block_append_fresh_slot(parent) = *made;
    const Cell scratch = new_block(1);
    for (ErrorField field : {ErrorField::arg1, ErrorField::arg2, ErrorField::arg3, ErrorField::near, ErrorField::where,
                             ErrorField::stack}) {
      const Cell value = single(scratch, at);
      error_field(*made, field) = value;
      block_truncate(scratch, 0);
    }
  }

  QelbinDecodeState& s_;
  QelbinInput& in_;
};

}  // namespace

void qelbin_decode_compact_body(QelbinDecodeState& state) { CompactDecoder(state).body(); }

}  // namespace qel

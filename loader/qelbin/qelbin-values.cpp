// qelbin-values.cpp: the checks and value makers both decoders share.
#include "loader/qelbin/qelbin-values.h"

#include <cmath>

#include "datatypes/scalars/date.h"
#include "datatypes/scalars/money.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/map.h"
#include "evaluator/argument-fetch.h"
#include "evaluator/error.h"
#include "evaluator/function.h"
#include "evaluator/native.h"
#include "evaluator/object.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/hash-index.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

bool qelbin_without_error(const std::function<void()>& body) {
  const Caught caught = trap_errors([&] { body(); });
  if (caught.taken != kThrowError) return true;
  stack_drop(1);
  return false;
}

std::optional<Cell> qelbin_native_make(Type type, int64_t slot, const Cell& spec) {
  std::optional<Cell> made;
  if (!qelbin_without_error([&] { made = native_value_checked(type, slot, spec); })) return std::nullopt;
  return made;
}

bool qelbin_char_ok(int64_t code_point) { return code_point >= 0 && code_point <= 0x10FFFF; }

bool qelbin_datatype_ok(int64_t id) {
  return id >= 1 && id <= static_cast<int64_t>(kHighestTypeId) && datatype_registered(static_cast<Type>(id));
}

bool qelbin_typeset_ok(const Cell& typeset) {
  for (size_t id = 0; id < kTypesetIds; ++id)
    if ((typeset_byte(typeset, id) & typeset_bit(id)) && !qelbin_datatype_ok(static_cast<int64_t>(id))) return false;
  return true;
}

bool qelbin_money_ok(uint32_t currency, const uint8_t* amount) {
  for (int i = 0; i < kMoneyAmountBytes; ++i)
    if ((amount[i] >> 4) > 9 || (amount[i] & 15) > 9) return false;
  return currency == 0 || cell_type(money_currency_word(currency)) != Type::none;
}

bool qelbin_date_ok(uint32_t word, double time) {
  const int64_t year = date_year(word);
  const int32_t month = date_month(word), day = date_day(word);
  if (month < 1 || month > 12 || day < 1) return false;
  const CivilDate civil = civil_from_days(civil_to_days(year, month, day));
  if (civil.year != year || civil.month != month || civil.day != day) return false;
  const uint32_t zone = date_zone(word);
  if ((zone & ~kDateZoneSign) > (15u << 2 | 3)) return false;
  if (!date_has_time(word)) return time == 0 && zone == 0;
  const double local = time + date_zone_offset(zone);
  return std::isfinite(time) && local >= 0 && local < kSecondsPerDay;
}

bool qelbin_vector_element_ok(int64_t element, int64_t size) {
  switch (static_cast<Type>(element)) {
    case Type::integer: case Type::char_: return size == 1 || size == 2 || size == 4;
    case Type::float_: return size == 4 || size == 8;
    case Type::percent: return size == 8;
    default: return false;
  }
}

bool qelbin_text_units_ok(const uint8_t* units, uint64_t count, uint32_t unit) {
  if (unit != 4) return true;
  for (uint64_t i = 0; i < count; ++i) {
    const uint32_t c = uint32_t{units[4 * i]} | uint32_t{units[4 * i + 1]} << 8 | uint32_t{units[4 * i + 2]} << 16 |
                       uint32_t{units[4 * i + 3]} << 24;
    if (c > 0x10FFFF) return false;
  }
  return true;
}

namespace {

// The storage a reference may share: values of one class have one buffer layout.
enum class Storage : uint8_t { none, cells, text, own };

Storage storage_of(Type type) {
  switch (type) {
    case Type::block: case Type::paren: case Type::path: case Type::lit_path: case Type::set_path:
    case Type::get_path: return Storage::cells;
    case Type::string: case Type::file: case Type::url: case Type::tag: case Type::email: case Type::ref:
      return Storage::text;
    case Type::hash: case Type::map: case Type::binary: case Type::bitset: case Type::vector: case Type::image:
    case Type::function: return Storage::own;
    default: return Storage::none;
  }
}

}  // namespace

bool qelbin_reference_fits(Type record_type, Type target_type) {
  const Storage storage = storage_of(record_type);
  if (storage == Storage::none || storage != storage_of(target_type)) return false;
  return storage != Storage::own || record_type == target_type;
}

std::optional<NodeId> qelbin_context_make(std::span<const uint32_t> symbols, uint32_t kind, bool on_stack, bool flag) {
  const NodeId context = context_make(static_cast<int64_t>(symbols.size()), on_stack, flag, 0, kind);
  for (uint32_t symbol : symbols) {
    if (context_find_word(context, symbol, true) >= 0) return std::nullopt;
    context_add_word(symbol, context);
  }
  return context;
}

std::optional<Cell> qelbin_error_make(int32_t code) {
  Cell error;
  if (!qelbin_without_error([&] { error = error_make(make_cell(Type::integer, 0, static_cast<uint32_t>(code))); }))
    return std::nullopt;
  return error;
}

bool qelbin_map_fill(const Cell& map) {
  const uint32_t count = series_buffer_length(map.w2);
  if (count % 2) return false;
  Cell* cells = series_buffer(map.w2)->head_cell();
  for (uint32_t i = 0; i < count; i += 2)
    if (!map_key_type_ok(cell_type(cells[i]))) return false;
  for (uint32_t i = 0; i < count; ++i) cells[i].header &= ~kNewLineFlag;
  hashtable_fill(map.w3, 0, 2);
  return true;
}

std::optional<Cell> qelbin_op_make(const Cell& value) {
  std::optional<Cell> op;
  if (!qelbin_without_error([&] { op = op_make_value(value); })) return std::nullopt;
  return op;
}

bool qelbin_function_finish(Cell& function, const Cell& body) {
  const Cell spec = make_cell(Type::block, 0, function.w2);
  return qelbin_without_error([&] {
    const uint32_t flags = function_spec_validate(spec);
    const NodeId expected = context_make_from_spec(spec, true, false, 0);
    const uint32_t length = context_length(function.w1);
    bool same = length == context_length(expected);
    for (uint32_t i = 0; same && i < length; ++i)
      same = context_word_at(function.w1, i)->w2 == context_word_at(expected, i)->w2;
    if (!same) raise_error(error_id("script", "bad-func-def"), spec);
    const NodeId description = arg_description_build(spec, Type::function);
    *function_more_cell(function, kMoreDescription) = make_cell(Type::binary, 0, description);
    *function_more_cell(function, kMoreBody) = body;
    function.header = (function.header & kNewLineFlag) | static_cast<uint32_t>(Type::function) | flags;
    Cell owner = function;
    value_clear_flag_30(owner);
    context_owner(function.w1) = owner;
  });
}

bool qelbin_object_hooks(Cell& object) { return qelbin_without_error([&] { object_install_hooks(object); }); }

}  // namespace qel

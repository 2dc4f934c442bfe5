// series.cpp: the series model (positions, lengths, element hooks, owner notifications) and the
// actions of series!, which every series type inherits unless it has its own.
#include "datatypes/series/series.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/logic.h"
#include "datatypes/scalars/none.h"
#include "datatypes/series/hash.h"
#include "evaluator/random.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/murmur-hash.h"
#include "runtime/ownership.h"
#include "runtime/quit.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Raises script out-of-range naming the index n.
[[noreturn]] void raise_out_of_range(int64_t n) {
  Cell index;
  integer_make_at(index, static_cast<int32_t>(n));
  raise_error(error_id("script", "out-of-range"), index);
}

const ElementHooks* element_hooks[kTypeTableRows] = {};

// The words of each change, before and after, in SeriesChange order.
struct ChangeWords {
  const char* before;
  const char* after;
};
constexpr ChangeWords kChangeWords[] = {
    {"random", "randomized"}, {"clear", "cleared"}, {"poke", "poked"},   {"remove", "removed"},
    {"reverse", "reversed"},  {"take", "taken"},    {"move", "moved"},   {"append", "appended"},
    {"insert", "inserted"},   {"change", "changed"}, {"put", "put-ed"},  {"sort", "sorted"},
    {"swap", "swaped"},       {"trim", "trimmed"},
};
static_assert(std::size(kChangeWords) == static_cast<size_t>(SeriesChange::trim) + 1);

// Tells the owner with one of the change's two words.
bool notify(const Cell& series, const char* word, const Cell& value, int64_t index, int64_t count) {
  if (!series_owned(series)) return false;
  Cell action = word_from_c_string(word);
  return notify_owner_change(series, action, value, static_cast<int32_t>(index), static_cast<int32_t>(count)) != 0;
}

// Bytes of `units` units of the series' buffer.
int64_t unit_bytes(const Cell& series, int64_t units) { return units << series_shift(series_buffer_of(series)); }

// Removes up to `count` units at `start`, announcing it; the after-call is always made.
void remove_units(const Cell& series, int64_t start, int64_t count) {
  if (start >= series_total_length(series)) return;
  series_notify_before(series, SeriesChange::remove, kNoneCell, start, count);
  int64_t total = series_total_length(series);
  if (start < total) series_cut_units(series, start, std::min(count, total - start));
  series_notify_after(series, SeriesChange::remove, kNoneCell, start, 0);
}


// The refinement position of find's /case, for remove/key.
constexpr size_t kFindCase = refinement_position(Act::Find, "case");

// --- Navigation ---------------------------------------------------------------------------------

// at and skip: the index moved by the integer! offset in the frame's second cell, clamped to
// head .. tail; at counts 1 (and 0) as the current position.
void move_index(bool at) {
  Cell& series = value_stack.base[0];
  const Cell& offset = value_stack.base[1];
  if (cell_type(offset) != Type::integer) raise_error(error_id("script", "invalid-arg"), offset);
  int64_t n = payload_i32(offset, 2);
  if (at && n >= 1) n -= 1;
  series_set_index(series, std::clamp<int64_t>(series_index(series) + n, 0, series_total_length(series)));
}

void series_at() { move_index(true); }
void series_skip() { move_index(false); }

// back: one unit back from the (clamped) index, not before the head.
void series_back() {
  Cell& series = value_stack.base[0];
  series_set_index(series, std::max<int64_t>(series_clamped_index(series) - 1, 0));
}

void series_next() { series_advance(value_stack.base[0], 1); }
void series_head() { series_set_index(value_stack.base[0], 0); }
void series_tail() { series_set_index(value_stack.base[0], series_total_length(value_stack.base[0])); }

void series_head_q() { logic_box(series_index(value_stack.base[0]) == 0); }
void series_tail_q() { logic_box(series_at_tail(value_stack.base[0])); }
void series_index_q() { integer_box(static_cast<int32_t>(series_index(value_stack.base[0]) + 1)); }

int32_t series_length_q(Cell& series) { return series_length_from_index(series, false); }

// --- Elements -------------------------------------------------------------------------------------

// pick: the element n from the index, or none; the answer goes to the index cell.
Cell* series_pick(Cell& series, int32_t n, Cell& index_cell) {
  index_cell = series_pick_value(series, n);
  return &index_cell;
}

// poke: stores the value over the element n from the index; out-of-range when there is none.
Cell* series_poke(Cell& series, int32_t n, Cell&, Cell& value) {
  series_poke_value(series, n, value);
  return &value;
}

// --- Changes --------------------------------------------------------------------------------------

// clear: the tail moves to the index.
void series_clear(Cell& series) {
  int64_t index = series_clamped_index(series);
  int64_t length = series_total_length(series) - index;
  if (length < 1) return;
  series_notify_before(series, SeriesChange::clear, kNoneCell, index, length);
  index = series_clamped_index(series);
  hash_cells_leaving(series, index, series_total_length(series) - index);
  SeriesBuffer* buffer = series_buffer_of(series);
  buffer->tail = buffer->head + static_cast<uint32_t>(unit_bytes(series, index));
  series_notify_after(series, SeriesChange::clear, kNoneCell, index, 0);
}

// Exchanges the records [a, a + size) and [b, b + size) of `unit`-byte units.
void swap_records(uint8_t* a, uint8_t* b, size_t bytes) { std::swap_ranges(a, a + bytes, b); }

// reverse: the units from the index (/part) reversed, as records of /skip units.
void series_reverse(Cell& series, Cell* part, Cell* skip) {
  int64_t count = part ? series_part_count(series, *part) : series_length_from_index(series, false);
  if (count < 1) return;
  count = std::min(count, series_length_after(series));
  int64_t size = 1;
  if (skip) {
    if (cell_type(*skip) != Type::integer) raise_invalid_refine_arg(ref_skip, *skip);
    size = payload_i32(*skip, 2);
    if (size == count) return;
    if (size < 1) raise_error(error_id("script", "out-of-range"), *skip);
    if (count < size || count % size != 0) raise_invalid_refine_arg(ref_skip, *skip);
  }
  bool told = series_notify_before(series, SeriesChange::reverse, kNoneCell, series_clamped_index(series), count);
  int64_t index = series_clamped_index(series);
  int64_t records = std::min(count, series_total_length(series) - index) / size;
  size_t record_bytes = static_cast<size_t>(unit_bytes(series, size));
  hash_cells_leaving(series, index, records * size);
  uint8_t* first = series_unit_address(series, index);
  for (int64_t low = 0, high = records - 1; low < high; ++low, --high)
    swap_records(first + low * record_bytes, first + high * record_bytes, record_bytes);
  hash_cells_written(series, index, records * size);
  if (told) series_notify_after(series, SeriesChange::reverse, kNoneCell, index, records * size);
}

// The units a take removes: its start and count.
struct TakeRange {
  int64_t start;
  int64_t count;
};

// take's range: 1 unit, or the /part count (a negative one counting back from the index; a
// position in the same series counting to it), never more than the units after the start.
TakeRange take_range(const Cell& series, const Cell* part, bool last, int64_t length) {
  int64_t index = series_clamped_index(series);
  int64_t count = 1;
  if (part) {
    if (cell_type(*part) == Type::integer) {
      count = payload_i32(*part, 2);
    } else if (series_same(series, *part)) {
      int64_t to = series_clamped_index(*part);
      count = to < index ? 0 : last ? index + length - to : to - index;
    } else {
      raise_invalid_refine_arg(ref_part, *part);
    }
  }
  int64_t start = index;
  if (count < 0) {
    count = last ? 1 : std::min(-count, index);
    if (!last) start = index - count;
  }
  count = std::max<int64_t>(std::min(count, series_total_length(series) - start), 1);
  if (last) start = series_total_length(series) - count;
  return {start, count};
}

// --- Random, reflect and modify ---------------------------------------------------------------------

// random: /seed seeds the generator from the units' bytes; /only picks one element; otherwise
// the units from the index are shuffled (each swapped with one at or after it).
void series_random(Cell& value, bool seed, bool secure, bool only) {
  if (seed) {
    uint8_t* at = series_unit_address(value, series_clamped_index(value));
    random_seed(static_cast<int32_t>(hash_bytes(at, static_cast<size_t>(series_buffer_of(value)->tail_address() - at))));
    value = make_cell(Type::unset);
    return;
  }
  Cell series = value;
  bool told = series_notify_before(series, SeriesChange::random, kNoneCell, series_clamped_index(series),
                                   series_length_after(series));
  int64_t index = series_clamped_index(series);
  int64_t length = series_length_after(series);
  if (only) {
    value = length < 1 ? kNoneCell
                       : series_element_hooks(cell_type(series))
                             .pick(series, index + random_integer(secure, static_cast<int32_t>(length)) - 1);
    return;
  }
  size_t unit = series_buffer_of(series)->unit();
  for (int64_t cursor = index; cursor < index + length; ++cursor) {
    int64_t ahead = random_integer(secure, static_cast<int32_t>(index + length - cursor)) - 1;
    if (ahead > 0) swap_records(series_unit_address(series, cursor), series_unit_address(series, cursor + ahead), unit);
  }
  if (told) series_notify_after(series, SeriesChange::random, kNoneCell, index, length);
}

// Whether a field argument is the word `owned` (in any letter case).
bool is_owned_field(const Cell& field) {
  return cell_type(field) == Type::word && symbol_canonical(field.w2) == symbol_canonical(sym_owned);
}

}  // namespace

// reflect: only `owned`: a block of the owner object and its field word, or none.
void series_reflect(Cell& value, Cell& field) {
  if (!is_owned_field(field)) raise_error(error_id("internal", "not-done"));
  const Cell* entry = series_owner_lookup(value.w2);
  if (!entry) {
    value = kNoneCell;
    return;
  }
  Cell owner = entry[1], word = entry[2];
  NodeId record = new_cell_series(2);
  *series_append_fresh_slot(record) = owner;
  *series_append_fresh_slot(record) = word;
  value = make_cell(Type::block, 0, record);
}

// modify: `owned` with none releases the series; with a block [owner-object field-word] gives
// it to that owner. Other fields and values change nothing.
Cell* series_modify(Cell& target, Cell& field, Cell& value, bool) {
  if (!is_owned_field(field)) return &value;
  if (cell_type(value) == Type::none) {
    series_clear_owned(target);
  } else if (cell_type(value) == Type::block) {
    if (series_length_after(value) < 2) raise_error(error_id("script", "invalid-arg"), value);
    const Cell* record = reinterpret_cast<const Cell*>(series_unit_address(value, series_clamped_index(value)));
    Cell owner = record[0], word = record[1];
    if (cell_type(owner) != Type::object) raise_error(error_id("script", "invalid-arg"), value);
    series_set_owned(target, owner, word);
  }
  return &value;
}

namespace {

// --- Copy, take and move -------------------------------------------------------------------------

// copy: the series copy into the result cell the entry pushed.
Cell* series_copy(Cell& value, Cell* part, bool, Cell*, Cell& result) { return &series_copy_into(value, part, result); }

Cell* series_take_action(Cell& series, Cell* part, bool, bool last) { return series_take(series, part, last); }

// Whether units may move between the two series by a plain copy of their bytes.
bool raw_move_allowed(const Cell& origin, const Cell& target) {
  SeriesKind from = series_kind(cell_type(origin)), to = series_kind(cell_type(target));
  bool block_and_text = (from == SeriesKind::block) != (to == SeriesKind::block);
  // Vector elements of one size but another family (integers and floats) mean other numbers.
  auto floating = [](const Cell& vector) { return vector.w3 == uint32_t(Type::float_) || vector.w3 == uint32_t(Type::percent); };
  bool families_differ = from == SeriesKind::vector && to == SeriesKind::vector && floating(origin) != floating(target);
  return !block_and_text && !families_differ && series_buffer_of(origin)->unit() == series_buffer_of(target)->unit();
}

// move within one buffer: the units land after the unit at the target (at the tail when the
// target is the tail, before it when it lies before the source). A target inside the moved
// span changes nothing.
void move_within(const Cell& origin, const Cell& target, int64_t count) {
  auto span_ok = [&](int64_t from, int64_t to) { return to != from && !(to > from && to < from + count); };
  int64_t from = series_clamped_index(origin), to = series_clamped_index(target);
  if (!span_ok(from, to)) return;
  series_notify_before(origin, SeriesChange::move, kNoneCell, from, count);
  from = series_clamped_index(origin), to = series_clamped_index(target);
  int64_t total = series_total_length(origin);
  count = std::min(count, total - from);
  if (count >= 1 && span_ok(from, to)) {
    uint8_t* head = series_unit_address(origin, 0);
    auto at = [&](int64_t unit) { return head + unit_bytes(origin, unit); };
    if (to > from) {
      const int64_t end = to == total ? total : to + 1;
      std::rotate(at(from), at(from + count), at(end));
      hash_cells_moved(origin, from, end - count, count);
    } else {
      std::rotate(at(to), at(from), at(from + count));
      hash_cells_moved(origin, from, to, count);
    }
  }
  series_notify_after(target, SeriesChange::move, kNoneCell, to, count);
}

[[noreturn]] void raise_move_bad(const Cell& origin, const Cell& target) {
  raise_error(error_id("script", "move-bad"), datatype_cell(cell_type(origin)), datatype_cell(cell_type(target)));
}

// move between two buffers: the units open a gap at the target's index and close one in the
// origin; units of another width go through the target type's conversion.
void move_between(const Cell& origin, const Cell& target, int64_t count) {
  bool raw = raw_move_allowed(origin, target);
  const ElementHooks* convert = nullptr;
  if (!raw && series_kind(cell_type(origin)) == SeriesKind::text && series_kind(cell_type(target)) == SeriesKind::text)
    convert = &series_element_hooks(cell_type(target));
  if (!raw && (!convert || !convert->insert_converted)) raise_move_bad(origin, target);
  series_notify_before(origin, SeriesChange::move, kNoneCell, series_clamped_index(origin), count);
  int64_t from = series_clamped_index(origin);
  count = std::min(count, series_total_length(origin) - from);
  int64_t to = series_clamped_index(target);
  if (count >= 1) {
    if (raw) {
      series_open_gap(target, to, count, Growth::doubled);
      std::memcpy(series_unit_address(target, to), series_unit_address(origin, from),
                  static_cast<size_t>(unit_bytes(origin, count)));
      hash_cells_written(target, to, count);
    } else {
      convert->insert_converted(target, to, origin, count);
    }
    series_cut_units(origin, from, count);
  }
  series_notify_after(target, SeriesChange::move, kNoneCell, to, count);
}

// move: units from the origin's index (1, or the /part count) to the target's index.
Cell* series_move(Cell& origin, Cell& target, Cell* part) {
  if (series_kind(cell_type(target)) == SeriesKind::none)
    raise_error(error_id("script", "expect-arg"), stack_caller_name(), datatype_cell(cell_type(target)),
                services().function_spec_arg_word(1));
  // An image's buffer is its record, not its pixels: no units move into or out of it.
  if (cell_type(origin) == Type::image || cell_type(target) == Type::image) raise_move_bad(origin, target);
  if (series_at_tail(origin)) return &target;
  int64_t count = part ? series_part_count(origin, *part) : 1;
  if (count < 1) return &target;
  count = std::min(count, series_length_after(origin));
  if (origin.w2 == target.w2) move_within(origin, target, count);
  else move_between(origin, target, count);
  return &target;
}

}  // namespace

// --- Kinds, positions and lengths -----------------------------------------------------------------

SeriesKind series_kind(Type type) {
  if (any_block_type(type)) return SeriesKind::block;
  switch (type) {
    case Type::string: case Type::file: case Type::url: case Type::tag: case Type::email: case Type::ref:
      return SeriesKind::text;
    case Type::binary: return SeriesKind::binary;
    case Type::vector: return SeriesKind::vector;
    case Type::image: return SeriesKind::image;
    default: return SeriesKind::none;
  }
}

bool series_at_tail(const Cell& series) { return series_index(series) >= series_total_length(series); }

bool series_advance(Cell& series, int64_t n) {
  int64_t moved = series_index(series) + n;
  int64_t total = series_total_length(series);
  if (moved >= 0 && moved <= total) series_set_index(series, moved);
  return series_index(series) >= total;
}

int32_t series_length_from_index(Cell& series, bool from_head) {
  int64_t total = series_total_length(series);
  if (from_head) return static_cast<int32_t>(total);
  int64_t index = std::max<int64_t>(series_index(series), 0);
  if (index > total) {
    series_set_index(series, total);
    return 0;
  }
  return static_cast<int32_t>(total - index);
}

void series_open_gap(const Cell& series, int64_t position, int64_t units, Growth growth) {
  constexpr int64_t kMaxCapacity = static_cast<int64_t>(kSeriesMaxBytes) & ~int64_t{15};
  SeriesBuffer* buffer = series_buffer_of(series);
  int64_t used = buffer->tail - buffer->head;
  if (units < 0 || units > kMaxCapacity || used + unit_bytes(series, units) > kMaxCapacity)
    raise_error(error_id("internal", "no-memory"));
  int64_t bytes = unit_bytes(series, units);
  if (buffer->tail + bytes > buffer->capacity)
    buffer = grow_series_copy(series.w2, growth == Growth::doubled ? std::min(2 * (used + bytes), kMaxCapacity)
                                                                   : used + bytes);
  uint8_t* at = series_unit_address(series, position);
  std::memmove(at + bytes, at, static_cast<size_t>(buffer->tail_address() - at));
  buffer->tail += static_cast<uint32_t>(bytes);
  hash_gap_opened(series, position, units, (used >> series_shift(buffer)));
}

void series_cut_units(const Cell& series, int64_t start, int64_t count) {
  SeriesBuffer* buffer = series_buffer_of(series);
  uint8_t* at = series_unit_address(series, start);
  int64_t bytes = unit_bytes(series, count);
  std::memmove(at, at + bytes, static_cast<size_t>(buffer->tail_address() - (at + bytes)));
  const int64_t total_before = series_total_length(series);
  buffer->tail -= static_cast<uint32_t>(bytes);
  hash_units_cut(series, start, count, total_before);
}

void series_clamp_index(Cell& series) { series_set_index(series, series_clamped_index(series)); }

void raise_invalid_refine_arg(const Cell& refinement, const Cell& argument) {
  raise_error(error_id("script", "invalid-refine-arg"), refinement, argument);
}

bool series_same(const Cell& series, const Cell& other) {
  return cell_type(series) == cell_type(other) && series.w2 == other.w2;
}

int64_t skip_size(const Cell* skip) {
  if (!skip) return 1;
  if (cell_type(*skip) != Type::integer) raise_invalid_refine_arg(ref_skip, *skip);
  int64_t n = payload_i32(*skip, 2);
  if (n < 1) raise_error(error_id("script", "out-of-range"), *skip);
  return n;
}

int64_t series_part_count(const Cell& series, const Cell& part) {
  if (cell_type(part) == Type::integer) return payload_i32(part, 2);
  if (!series_same(series, part)) raise_invalid_refine_arg(ref_part, part);
  return series_clamped_index(part) - series_clamped_index(series);
}

// --- Element hooks ------------------------------------------------------------------------------

void series_set_element_hooks(Type type, const ElementHooks* hooks) { element_hooks[type_index(type)] = hooks; }

const ElementHooks& series_element_hooks(Type type) {
  const ElementHooks* hooks = type_index(type) < kTypeTableRows ? element_hooks[type_index(type)] : nullptr;
  if (!hooks) fatal_assertion();
  return *hooks;
}

int64_t series_pick_position(const Cell& series, int64_t n) {
  if (n == 0) return -1;
  int64_t position = series_clamped_index(series) + (n > 0 ? n - 1 : n);
  return position < 0 || position >= series_total_length(series) ? -1 : position;
}

Cell series_pick_value(const Cell& series, int64_t n) {
  int64_t position = series_pick_position(series, n);
  return position < 0 ? kNoneCell : series_element_hooks(cell_type(series)).pick(series, position);
}

void series_poke_value(const Cell& series, int64_t n, const Cell& given) {
  const Cell value = given;  // the given cell may lie in a buffer an owner's handler moves
  const ElementHooks& hooks = series_element_hooks(cell_type(series));
  int64_t position = series_pick_position(series, n);
  if (position < 0) raise_out_of_range(n);
  hooks.check(series, value);
  bool told = series_notify_before(series, SeriesChange::poke, value, position, 1);
  if (told && (position = series_pick_position(series, n)) < 0) raise_out_of_range(n);
  hooks.store(series, position, value);
  if (told) series_notify_after(series, SeriesChange::poke, value, position, 1);
}

// --- Notifications ------------------------------------------------------------------------------

bool series_owned(const Cell& series) {
  if (cell_type(series) == Type::image) return series.header & kImageOwnedFlag;
  return series.w2 != 0 && (series_buffer_of(series)->flags & kSeriesOwned);
}

bool series_notify_before(const Cell& series, SeriesChange change, const Cell& value, int64_t index, int64_t count) {
  return notify(series, kChangeWords[static_cast<size_t>(change)].before, value, index, count);
}

void series_notify_after(const Cell& series, SeriesChange change, const Cell& value, int64_t index, int64_t count) {
  notify(series, kChangeWords[static_cast<size_t>(change)].after, value, index, count);
}

// --- Copy, take and remove ------------------------------------------------------------------------

Cell& series_copy_into(const Cell& series, const Cell* part, Cell& result) {
  int64_t index = series_clamped_index(series);
  int64_t total = series_total_length(series);
  int64_t start = index;
  int64_t count = total - index;
  if (part) {
    if (cell_type(*part) == Type::pair) {
      int64_t x = payload_i32(*part, 2), y = payload_i32(*part, 3);
      start = std::max<int64_t>(index + (x < 0 ? x : x - 1), 0);
      count = y < x ? 0 : y - x;
    } else {
      count = series_part_count(series, *part);
    }
  }
  if (count < 0) {
    count = start + count < 0 ? start : -count;
    start -= count;
  }
  start = std::min(start, total);
  count = std::min(count, total - start);
  SeriesBuffer* source = series_buffer_of(series);
  NodeId node = new_series_node(std::max<int64_t>(count, 1), source->unit(), 0);
  SeriesBuffer* copy = series_buffer(node);
  source = series_buffer_of(series);
  size_t bytes = static_cast<size_t>(unit_bytes(series, count));
  std::memcpy(copy->data(), series_unit_address(series, start), bytes);
  copy->tail = static_cast<uint32_t>(bytes);
  result = make_cell(cell_type(series), 0, node, cell_type(series) == Type::vector ? series.w3 : 0);
  result.header |= series.header & kNewLineFlag;
  return result;
}

Cell* series_take(Cell& series, Cell* part, bool last) {
  int64_t length = series_length_from_index(series, false);
  if (length < 1) return stack_push_value(kNoneCell);
  TakeRange range = take_range(series, part, last, length);
  bool told = series_notify_before(series, SeriesChange::take, kNoneCell, range.start, range.count);
  if (told) {  // the handler may have shortened the series
    range.start = std::min(range.start, series_total_length(series));
    range.count = std::min(range.count, series_total_length(series) - range.start);
  }
  SeriesBuffer* source = series_buffer_of(series);
  NodeId node = new_series_node(std::max<int64_t>(range.count, 1), source->unit(), 0);
  Cell* taken = stack_push_value(make_cell(cell_type(series), 0, node, series.w3));
  size_t bytes = static_cast<size_t>(unit_bytes(series, range.count));
  std::memcpy(series_buffer(node)->data(), series_unit_address(series, range.start), bytes);
  series_buffer(node)->tail = static_cast<uint32_t>(bytes);
  series_cut_units(series, range.start, range.count);
  if (told) series_notify_after(series, SeriesChange::take, kNoneCell, range.start, range.count);
  return taken;
}

void series_remove(Cell& series, Cell* part, Cell* key) {
  int64_t count = part ? series_part_count(series, *part) : 1;
  if (count < 1) return;
  int64_t start = series_clamped_index(series);
  if (key) {
    Cell found = call_action(Act::Find, std::array{series, *key}, {{kFindCase}});
    stack_drop(1);
    if (cell_type(found) == Type::none) {
      series = kNoneCell;
      return;
    }
    start = series_clamped_index(found);
    count += 1;
  }
  remove_units(series, start, count);
}

void series_init() {
  ActionRow row;
  row.set<Act::Random>(series_random)
      .set<Act::Reflect>(series_reflect)
      .set<Act::At>(series_at)
      .set<Act::Back>(series_back)
      .set<Act::Clear>(series_clear)
      .set<Act::Copy>(series_copy)
      .set<Act::Head>(series_head)
      .set<Act::HeadQ>(series_head_q)
      .set<Act::IndexQ>(series_index_q)
      .set<Act::LengthQ>(series_length_q)
      .set<Act::Move>(series_move)
      .set<Act::Next>(series_next)
      .set<Act::Pick>(series_pick)
      .set<Act::Poke>(series_poke)
      .set<Act::Remove>(series_remove)
      .set<Act::Reverse>(series_reverse)
      .set<Act::Skip>(series_skip)
      .set<Act::Tail>(series_tail)
      .set<Act::TailQ>(series_tail_q)
      .set<Act::Take>(series_take_action)
      .set<Act::Modify>(series_modify);
  register_datatype(Type::series, Type::none_id, "series!", row);
}

}  // namespace qel

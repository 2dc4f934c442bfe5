// block.cpp: the actions of block! (make, to, form, mold, compare, path steps, find, select,
// put, append, insert, change, sort, take, swap, trim, copy) and the set operations of blocks.
#include "datatypes/series/block.h"

#include <algorithm>
#include <bit>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/hash.h"
#include "datatypes/series/map.h"
#include "datatypes/series/vector.h"
#include "datatypes/series/series.h"
#include "datatypes/series/sort-request.h"
#include "datatypes/series/string-unit.h"
#include "loader/lexer/lexer.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/hash-index.h"
#include "runtime/language-thread.h"
#include "runtime/contexts.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/value-hash.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int64_t kCellBytes = sizeof(Cell);

// --- make and to ----------------------------------------------------------------------------------

// A new block (a map's body, a vector's elements) given the type of the block family asked for.
Cell* retyped(Cell* made, Type type_id) {
  set_value_type_byte(*made, type_id);
  return made;
}

// A string!'s text from its index loaded by the lexer into a new block of the type; a syntax
// error in it is raised.
Cell* block_from_text(const Cell& text, Type type_id) {
  Cell* made = stack_push_value(make_cell(Type::none));  // rooted while the lexer fills it
  (void)lexer_load_string(*made, text, -1, {});
  set_value_type_byte(*made, type_id);
  return made;
}

// An object's body (its set-words and values) as a new block of the type, in place of the spec.
Cell* block_of_object(Cell& spec, Type type_id) {
  spec = services().object_reflect(spec, make_cell(Type::word, 0, sym_body, kUnresolved));
  set_value_type_byte(spec, type_id);
  return &spec;
}

// make of the block family: a block-like spec copied, or a number giving the room of a new
// empty block (percent! too for paths).
Cell* make_block_family(const Cell& spec, Type type_id, bool percent_size) {
  Type spec_type = cell_type(spec);
  if (any_block_type(spec_type)) return block_make_from(spec, type_id);
  if (spec_type == Type::integer || spec_type == Type::float_ || (percent_size && spec_type == Type::percent)) {
    Cell* made = block_push_new(std::max(number_to_int32(spec), 1));
    set_value_type_byte(*made, type_id);
    return made;
  }
  raise_error(error_id("script", "bad-make-arg"), datatype_cell(type_id), spec);
}

Cell* block_make(Cell&, Cell& spec, Type type_id) {
  if (cell_type(spec) == Type::object) return block_of_object(spec, type_id);
  if (cell_type(spec) == Type::map) return retyped(map_body_push(spec), type_id);
  if (cell_type(spec) == Type::vector) return retyped(vector_to_block_push(spec), type_id);
  return make_block_family(spec, type_id, false);
}

// The datatype! values of the registered types a typeset holds, in id order.
Cell* block_from_typeset(const Cell& types) {
  Cell* made = block_push_new(1);
  typeset_to_block(types, *made);
  return made;
}

// --- form, mold and compare -----------------------------------------------------------------------

int32_t block_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                   int32_t indent) {
  return block_mold_bracketed(value, buffer, "[", "]", only, all, flat, part, limit, indent);
}

// Whether the last code point of a text output is a tab, line feed or carriage return.
bool ends_in_break(const Cell& buffer) {
  SeriesBuffer* text = series_buffer_of(buffer);
  if (text->tail == text->head) return false;
  uint32_t last = code_point_read(text->tail_address() - text->unit(), text->unit());
  return last == '\t' || last == '\n' || last == '\r';
}

// compare: blocks of one type; path! and lit-path! also with each other under the path
// equalities 10 and 11; other pairs are not comparable.
int32_t block_compare(const Cell& a, const Cell& b, int32_t op) {
  if (cell_type(a) != cell_type(b)) {
    auto path_kind = [](Type t) { return t == Type::path || t == Type::lit_path; };
    bool path_pair = (op == kComparePathCase || op == kComparePath) && path_kind(cell_type(a)) && path_kind(cell_type(b));
    if (!path_pair) return kNotComparable;
  }
  return block_compare_cells(a, b, op);
}

// --- find and select ------------------------------------------------------------------------------

struct FindOptions {
  const Cell* part = nullptr;
  const Cell* skip = nullptr;
  bool only = false, case_ = false, same = false, last = false, reverse = false, match = false;
};

// A match: where it starts and how many cells it covers (position -1: none).
struct Match {
  int64_t position = -1;
  int64_t length = 1;
};

// How a cell matches the value: by type, by typeset, as the start of a sequence, or by value
// (through the value's compare action, looked up once).
class Matcher {
 public:
  Matcher(const Cell& value, const FindOptions& options) : value_(value) {
    Type type = cell_type(value);
    op_ = options.case_ ? kCompareStrictEqual : options.same ? kCompareSame : kCompareFind;
    if (!options.only && type == Type::datatype) kind_ = Kind::type;
    else if (!options.only && type == Type::typeset) kind_ = Kind::typeset;
    else if (!options.only && any_block_type(type)) kind_ = Kind::sequence;
    if (kind_ == Kind::sequence) length_ = series_length_after(value);
    if (kind_ == Kind::value) compare_ = lookup_action_for_value<Act::Compare>(value);
  }
  int64_t length() const { return length_; }
  bool by_value() const { return kind_ == Kind::value; }

  // Whether the cells from position p match; `cells` is the block's head (no safe point passes
  // during a search).
  bool at(const Cell* cells, int64_t p) const {
    switch (kind_) {
      case Kind::type: return cell_type(cells[p]) == static_cast<Type>(value_.w1 & kTypeByteMask);
      case Kind::typeset: return types_select(value_, cell_type(cells[p]));
      case Kind::value: return compare_(value_, cells[p], op_) == 0;
      case Kind::sequence: break;
    }
    const Cell* sequence = block_cell_at(value_, series_clamped_index(value_));
    for (int64_t k = 0; k < length_; ++k)
      if (!compare_values(cells[p + k], sequence[k], op_)) return false;
    return true;
  }

 private:
  enum class Kind : uint8_t { type, typeset, sequence, value };
  const Cell& value_;
  Kind kind_ = Kind::value;
  int32_t op_;
  int64_t length_ = 1;
  slot_fn<Act::Compare> compare_ = nullptr;
};

// The last record start (index + k x step, k of any sign) at or before `top`, so that a backward
// search with /skip tries only record starts.
int64_t last_record_start(int64_t index, int64_t top, int64_t step) {
  int64_t records = top >= index ? (top - index) / step : -((index - top + step - 1) / step);
  return index + records * step;
}

// The hash! branch of the search: the table answers among the cells equal to the value, on the
// positions a walk from `from` would try. Backward it answers the nearest cell before its start
// on the walk's own step, so the start lies one step past the walk's first position.
Match find_in_table(NodeId table, const Cell& value, const FindOptions& options, int64_t from, int64_t step,
                    int64_t last_cell) {
  const int32_t op = options.case_ ? kCompareStrictEqual : options.same ? kCompareSame : kCompareFind;
  const bool backward = options.last || options.reverse;
  const int64_t start = backward ? from + step : from;
  const int64_t found = hashtable_find_cell(table, value, static_cast<uint32_t>(start), static_cast<uint32_t>(step), op,
                                            false, backward);
  if (found < 0 || found > last_cell) return {};
  return {found, 1};
}

// Whether a search goes through a hash!'s table: one value compared by value (an object! only
// under /same, its equality being structural) and no /match.
bool table_search(const Cell& value, const Matcher& matcher, const FindOptions& options) {
  return matcher.by_value() && !options.match && (options.same || cell_type(value) != Type::object);
}

// The search of find and select: forward from the index up to the /part limit, backward from
// the limit (/last) or from before the index (/reverse), by /skip steps; /match tries the
// first position only.
Match find_in_block(const Cell& series, const Cell& value, const FindOptions& options) {
  int64_t total = block_total_cells(series);
  if (total == 0 || (series_index(series) >= total && !options.reverse)) return {};
  int64_t index = series_clamped_index(series);
  int64_t step = 1;
  if (options.skip) {
    if (cell_type(*options.skip) != Type::integer) raise_invalid_refine_arg(ref_skip, *options.skip);
    step = payload_i32(*options.skip, 2);
    if (step < 1) raise_error(error_id("script", "out-of-range"), *options.skip);
  }
  int64_t last_cell = total - 1;  // the last cell searched
  if (options.part) {
    if (cell_type(*options.part) == Type::integer) {
      int64_t n = payload_i32(*options.part, 2);
      if (n < 1) return {};
      last_cell = std::min(index + n - 1, last_cell);
    } else if (series_same(series, *options.part)) {
      last_cell = std::min(series_clamped_index(*options.part), last_cell);
    } else {
      raise_invalid_refine_arg(ref_part, *options.part);
    }
  }
  Matcher matcher(value, options);
  int64_t length = matcher.length();
  if (length < 1) return {};
  bool backward = options.last || options.reverse;
  int64_t from = options.last      ? last_record_start(index, last_cell - length + 1, step)
                 : options.reverse ? last_record_start(index, index - length, step)
                                   : index;
  if (NodeId table = hash_table_of(series); table && table_search(value, matcher, options))
    return find_in_table(table, value, options, from, step, last_cell);
  int64_t to = backward ? 0 : last_cell - length + 1;  // the last start tried, inclusive
  const Cell* cells = block_cell_at(series, 0);
  for (int64_t p = from; backward ? p >= to : p <= to; p += backward ? -step : step) {
    if (matcher.at(cells, p)) return {p, length};
    if (options.match) break;
  }
  return {};
}

Cell* block_find(Cell& series, Cell& value, Cell* part, bool only, bool case_, bool same, bool, Cell*, Cell* skip,
                 bool last, bool reverse, bool tail, bool match) {
  FindOptions options{part, skip, only, case_, same, last, reverse, match};
  Match found = find_in_block(series, value, options);
  if (found.position < 0) {
    value = kNoneCell;
    return &value;
  }
  series_set_index(series, found.position + (tail ? found.length : 0));
  return &series;
}

// The cell after a match (after the whole sequence), copied; none at or past the tail.
Cell selected_after(const Cell& series, const Match& found) {
  if (found.position < 0) return kNoneCell;
  int64_t after = found.position + found.length;
  return after < block_total_cells(series) ? *block_cell_at(series, after) : kNoneCell;
}

Cell* block_select(Cell& series, Cell& value, Cell* part, bool only, bool case_, bool same, bool, Cell*, Cell* skip,
                   bool last, bool reverse) {
  FindOptions options{part, skip, only, case_, same, last, reverse, false};
  value = selected_after(series, find_in_block(series, value, options));
  return &value;
}

// --- path steps and put ---------------------------------------------------------------------------

// The answer of a path get, valid until the next step (the caller copies it at once).
Cell path_answer;

// A key is one cell: found as find /only does, with /case as given.
Match find_key(const Cell& series, const Cell& key, bool case_) {
  FindOptions options;
  options.only = true;
  options.case_ = case_;
  return find_in_block(series, key, options);
}

}  // namespace

int64_t block_path_position(const Cell& block, const Cell& selector, bool case_sensitive) {
  if (cell_type(selector) == Type::integer) return series_pick_position(block, payload_i32(selector, 2));
  int64_t key = cell_type(selector) == Type::word && cell_type(block) != Type::hash
                    ? block_find_word_position(block, selector, case_sensitive)
                    : find_key(block, selector, case_sensitive).position;
  return key >= 0 && key + 1 < block_total_cells(block) ? key + 1 : -1;
}

namespace {

Cell* block_eval_path(Cell& value, Cell& element, Cell* new_value, const PathStep& step) {
  if (cell_type(element) == Type::integer) {
    if (!new_value) {
      path_answer = series_pick_value(value, payload_i32(element, 2));
      return &path_answer;
    }
    series_poke_value(value, payload_i32(element, 2), *new_value);
    return new_value;
  }
  if (!new_value) {
    int64_t position = block_path_position(value, element, step.case_sensitive);
    path_answer = position < 0 ? kNoneCell : *block_cell_at(value, position);
    return &path_answer;
  }
  Match found = find_key(value, element, step.case_sensitive);
  if (found.position < 0) raise_error(error_id("script", "bad-path-set"), step.path ? *step.path : value, element);
  series_poke_value(value, found.position + 1 - series_clamped_index(value) + 1, *new_value);
  return new_value;
}

// Stores a value over the cell at a position, keeping a hash!'s index in step.
void overwrite_cell(const Cell& series, int64_t position, const Cell& value) {
  const Cell copy = value;  // the value may be the cell written over
  *block_cell_at(series, position) = copy;
  hash_cells_written(series, position, 1);
}

// put: the value after the key, or the key and the value appended when the key is absent.
Cell* block_put(Cell& series, Cell& key, Cell& value, bool case_) {
  Match found = find_key(series, key, case_);
  if (found.position < 0) {
    series_notify_before(series, SeriesChange::put, value, block_total_cells(series), 1);
    block_append_copy(series, key);
    block_append_copy(series, value);
    return &value;
  }
  if (series_notify_before(series, SeriesChange::put, value, found.position + 1, 1))
    found = find_key(series, key, case_);  // the handler may have moved it
  if (found.position >= 0) {
    int64_t after = found.position + 1;
    if (after == block_total_cells(series)) block_append_copy(series, value);
    else if (!compare_values(*block_cell_at(series, after), value, kCompareFind)) overwrite_cell(series, after, value);
  }
  series_notify_after(series, SeriesChange::put, value, found.position + 1, 1);
  return &value;
}

// --- append, insert and change --------------------------------------------------------------------

// How many cells a value contributes to append, insert and change: a block-like value without
// /only its cells from its index (at most `part` when part >= 0), any other value one.
int64_t contributed_cells(const Cell& value, bool only, int64_t part) {
  if (!any_block_type(cell_type(value)) || only) return 1;
  int64_t cells = series_length_after(value);
  return part >= 0 ? std::min(cells, part) : cells;
}

// The cells a value contributes, taken before the target moves anything: when they lie in the
// target's own buffer they are copied aside, so opening the gap cannot shift them.
class Contribution {
 public:
  Contribution(const Cell& target, const Cell& value, bool only, int64_t part)
      : value_(value), spread_(any_block_type(cell_type(value)) && !only), count_(contributed_cells(value, only, part)) {
    if (spread_ && value.w2 == target.w2 && count_ > 0) {
      const Cell* first = block_cell_at(value, series_clamped_index(value));
      aside_.assign(first, first + count_);
    }
  }
  int64_t count() const { return count_; }

  // Writes the cells at `position` of the target, repeated `dup` times.
  void write(const Cell& target, int64_t position, int64_t dup) const {
    if (count_ == 0) return;
    Cell* at = block_cell_at(target, position);
    const Cell* from = !spread_ ? &value_ : aside_.empty() ? block_cell_at(value_, series_clamped_index(value_))
                                                         : aside_.data();
    std::memcpy(at, from, static_cast<size_t>(count_ * kCellBytes));
    repeat_bytes_fill(reinterpret_cast<uint8_t*>(at), static_cast<size_t>(count_ * kCellBytes), static_cast<size_t>(dup));
  }

 private:
  Cell value_;
  bool spread_;
  int64_t count_;
  std::vector<Cell> aside_;
};

// The cells inserted: the contribution times /dup; more than a series can hold is no-memory.
int64_t inserted_cells(int64_t contributed, int64_t dup) {
  int64_t cells = contributed * dup;
  if (cells > INT32_MAX || cells * kCellBytes > static_cast<int64_t>(kSeriesMaxBytes))
    raise_error(error_id("internal", "no-memory"));
  return cells;
}

// Replaces `replaced` cells at `position` by the contribution `dup` times.
void splice(const Cell& series, int64_t position, int64_t replaced, const Contribution& contribution, int64_t dup,
            Growth growth) {
  int64_t inserted = contribution.count() * dup;
  hash_cells_leaving(series, position, replaced);
  if (inserted > replaced) series_open_gap(series, position + replaced, inserted - replaced, growth);
  else if (inserted < replaced) series_cut_units(series, position + inserted, replaced - inserted);
  contribution.write(series, position, dup);
  hash_cells_written(series, position, inserted);
}

// append and insert: at the tail (append, which answers the series at its head) or at the
// index (insert, which answers the position after what it inserted).
void block_append(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool append) {
  int64_t cells = inserted_cells(contributed_cells(value, only, part), dup);
  if (cells == 0) return;
  SeriesChange change = append ? SeriesChange::append : SeriesChange::insert;
  int64_t position = append ? block_total_cells(series) : series_clamped_index(series);
  bool told = series_notify_before(series, change, value, position, cells);
  position = append ? block_total_cells(series) : series_clamped_index(series);
  Contribution contribution(series, value, only, part);
  cells = inserted_cells(contribution.count(), dup);
  splice(series, position, 0, contribution, dup, dup < 5 ? Growth::doubled : Growth::exact);
  if (told) series_notify_after(series, change, value, position, cells);
  series_set_index(series, append ? 0 : std::min(position + cells, block_total_cells(series)));
}

// change: the cells from the index (/part of them, else as many as are inserted) replaced by
// the contribution; answers the position after it.
void block_change(Cell& series, Cell& value, int32_t part, bool only, int32_t dup) {
  auto replaced_cells = [&](int64_t inserted) {
    return std::min<int64_t>(part >= 0 ? part : inserted, series_length_after(series));
  };
  int64_t inserted = inserted_cells(contributed_cells(value, only, -1), dup);
  bool told = series_notify_before(series, SeriesChange::change, value, series_clamped_index(series),
                                   replaced_cells(inserted));
  int64_t position = series_clamped_index(series);
  Contribution contribution(series, value, only, -1);
  inserted = inserted_cells(contribution.count(), dup);
  int64_t replaced = replaced_cells(inserted);
  splice(series, position, replaced, contribution, dup, Growth::exact);
  if (told) series_notify_after(series, SeriesChange::change, value, position, replaced);
  series_set_index(series, std::min(position + inserted, block_total_cells(series)));
}

// --- sort -----------------------------------------------------------------------------------------

// The default order of two cells: the first one's compare action; cells it cannot compare are
// ordered by their type ids.
int32_t order_cells(const Cell& a, const Cell& b, int32_t op) {
  int32_t answer = dispatch_compare(a, b, op);
  return answer == kNotComparable ? static_cast<int32_t>(cell_type(a)) - static_cast<int32_t>(cell_type(b)) : answer;
}

// The default comparator over records in place.
struct RecordOrder {
  const SortRequest& key;
  int32_t operator()(const std::byte* x, const std::byte* y) const {
    auto a = reinterpret_cast<const Cell*>(x), b = reinterpret_cast<const Cell*>(y);
    if (key.reverse) std::swap(a, b);
    if (!key.all) return order_cells(a[key.offset], b[key.offset], key.op);
    for (int64_t k = 0; k < key.size; ++k)
      if (int32_t answer = order_cells(a[k], b[k], key.op)) return answer;
    return 0;
  }
};

// Sorts the records through the /compare function: their order is worked out on a rooted copy
// (the function may reach safe points and change the series), each argument a fresh value (a
// block of the record's cells under /all), then written back when the range is still there.
void sort_by_function(const Cell& series, int64_t start, int64_t records, const SortRequest& key) {
  Cell range = series;
  series_set_index(range, start);
  Cell copy;
  series_copy_into(range, nullptr, copy);
  GcRoot<NodeId> kept(copy.w2);
  std::vector<uint32_t> order = sort_order_by_function(key, records, [&](uint32_t r) {
    const int64_t first = int64_t{r} * key.size;
    if (!key.all) return *block_cell_at(make_cell(Type::block, 0, kept.get()), first + key.offset);
    NodeId record = new_cell_series(key.size);
    std::memcpy(series_buffer(record)->data(), series_buffer(kept.get())->head_cell() + first,
                static_cast<size_t>(key.size * kCellBytes));
    series_buffer(record)->tail = static_cast<uint32_t>(key.size * kCellBytes);
    return make_cell(Type::block, 0, record);
  });
  if (block_total_cells(series) < start + records * key.size) return;  // the function cut the range
  for (size_t k = 0; k < order.size(); ++k)
    std::memcpy(block_cell_at(series, start + static_cast<int64_t>(k) * key.size),
                series_buffer(kept.get())->head_cell() + int64_t{order[k]} * key.size,
                static_cast<size_t>(key.size * kCellBytes));
}

// The records of the range by the default order, in the buffer itself.
void block_sort_in_place(const Cell& series, int64_t start, int64_t records, const SortRequest& key) {
  sort_elements(block_cell_at(series, start), static_cast<size_t>(records), static_cast<size_t>(key.size * kCellBytes),
                key.stable, RecordOrder{key});
}

// sort: the cells from the index (/part of them; a negative /part sorts the cells before the
// index, which moves there) as records of /skip cells, by the default order or /compare.
Cell* block_sort(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse,
                 bool stable) {
  return sort_series(series, sort_request(series, case_, skip, compare, part, all, reverse, stable), sort_by_function,
                     block_sort_in_place);
}

// --- take, swap, trim and copy ----------------------------------------------------------------------

// take: the series take; /deep copies the series in the result deeply; without /part a single
// taken cell is answered as itself.
Cell* block_take(Cell& series, Cell* part, bool deep, bool last) {
  Cell* taken = series_take(series, part, last);
  if (cell_type(*taken) == Type::none) return taken;
  if (deep) block_copy_nested(*taken, DeepCopy::series);
  if (!part && block_total_cells(*taken) == 1) *taken = *block_cell_at(*taken, 0);
  return taken;
}

// swap: exchanges the cells at the two positions (the second value must be block-like).
void block_swap(Cell& a, Cell& b) {
  if (!any_block_type(cell_type(b))) raise_error(error_id("script", "invalid-arg"), b);
  if (series_at_tail(a) || series_at_tail(b)) return;
  bool told_a = series_notify_before(a, SeriesChange::swap, b, series_index(a), 1);
  bool told_b = series_notify_before(b, SeriesChange::swap, a, series_index(b), 1);
  if (series_at_tail(a) || series_at_tail(b)) return;  // a handler cut a position away
  hash_cells_leaving(a, series_index(a), 1);
  hash_cells_leaving(b, series_index(b), 1);
  std::swap(*block_cell_at(a, series_index(a)), *block_cell_at(b, series_index(b)));
  hash_cells_written(a, series_index(a), 1);
  hash_cells_written(b, series_index(b), 1);
  if (told_a) series_notify_after(a, SeriesChange::swap, b, series_index(a), 1);
  if (told_b) series_notify_after(b, SeriesChange::swap, a, series_index(b), 1);
}

// trim: removes every none! cell from the index to the tail; its refinements do nothing here.
void block_trim(Cell& series, bool, bool, bool, bool, bool, Cell*) {
  bool told = series_notify_before(series, SeriesChange::trim, kNoneCell, series_clamped_index(series),
                                   series_length_after(series));
  int64_t index = series_clamped_index(series);
  int64_t kept = index;
  for (int64_t i = index; i < block_total_cells(series); ++i)
    if (cell_type(*block_cell_at(series, i)) != Type::none) *block_cell_at(series, kept++) = *block_cell_at(series, i);
  int64_t removed = block_total_cells(series) - kept;
  block_truncate(series, kept);
  if (told) series_notify_after(series, SeriesChange::trim, kNoneCell, index, removed);
}

// --- set operations ---------------------------------------------------------------------------------

// An index of the records of a block by the hash of their first cells; block-like first cells
// are found by a walk instead, as find /only finds them.
class RecordIndex {
 public:
  // Room is made for the expected number of records up front.
  RecordIndex(const Cell& block, int64_t size, bool case_sensitive, int64_t expected)
      : block_(block), size_(size), case_(case_sensitive) {
    resize(std::bit_ceil(static_cast<size_t>(std::max<int64_t>(expected, 16)) * 2));
  }

  // Adds the record starting at position p of the indexed block.
  void add(int64_t p) {
    const Cell& first = *block_cell_at(block_, p);
    if (any_block_type(cell_type(first))) {
      walked_.push_back(p);
      return;
    }
    if (2 * (count_ + 1) > slots_.size()) resize(slots_.size() * 2);
    place(value_hash(first, case_), static_cast<uint32_t>(p));
    ++count_;
  }
  // Whether a record whose first cell equals the key is indexed.
  bool contains(const Cell& key) const {
    if (any_block_type(cell_type(key))) {
      return std::any_of(walked_.begin(), walked_.end(), [&](int64_t p) { return equal(key, p); });
    }
    const uint32_t hash = value_hash(key, case_);
    for (size_t i = home(hash);; i = (i + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[i];
      if (slot.position == 0) return false;
      if (slot.hash == hash && equal(key, slot.position - 1)) return true;
    }
  }
  // Indexes every record of the block from its index.
  void add_all() {
    for (int64_t p = series_clamped_index(block_); p < block_total_cells(block_); p += size_) add(p);
  }

 private:
  // An open-addressing table of record positions (plus one; 0 is an empty slot) by hash, with
  // linear probing, kept at most half full: no allocation per record, one cache line per probe.
  struct Slot {
    uint32_t hash;
    uint32_t position;
  };

  size_t home(uint32_t hash) const { return (hash * uint64_t{0x9E3779B97F4A7C15}) >> shift_; }
  void place(uint32_t hash, uint32_t p) {
    size_t i = home(hash);
    while (slots_[i].position != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = {hash, p + 1};
  }
  void resize(size_t size) {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(size, Slot{0, 0});
    shift_ = 64 - std::countr_zero(size);
    for (const Slot& slot : old)
      if (slot.position != 0) place(slot.hash, slot.position - 1);
  }
  // Two cells of one integer type need no compare action.
  bool equal(const Cell& key, int64_t p) const {
    const Cell& cell = *block_cell_at(block_, p);
    if (cell_type(cell) == Type::integer && cell_type(key) == Type::integer) return cell.w2 == key.w2;
    return compare_values(cell, key, case_ ? kCompareStrictEqual : kCompareFind);
  }
  Cell block_;
  int64_t size_;
  bool case_;
  std::vector<Slot> slots_;
  size_t count_ = 0;
  int shift_ = 64;
  std::vector<int64_t> walked_;
};

// Appends the records of `source` that pass the test (and are not in the result yet).
template <class Test>
void add_records(const Cell& result, RecordIndex& seen, const Cell& source, int64_t size, Test&& test) {
  for (int64_t p = series_clamped_index(source); p < block_total_cells(source); p += size) {
    Cell key = *block_cell_at(source, p);
    if (!test(key) || seen.contains(key)) continue;
    int64_t at = block_total_cells(result);
    int64_t cells = std::min(size, block_total_cells(source) - p);
    uint8_t* into = series_reserve_tail_bytes(result.w2, cells * kCellBytes);
    std::memcpy(into, block_cell_at(source, p), static_cast<size_t>(cells * kCellBytes));
    seen.add(at);
  }
}

}  // namespace

Cell* block_make_from(const Cell& spec, Type type) {
  Cell* made = block_copy_deep(spec, DeepCopy::none);
  set_value_type_byte(*made, type);
  return made;
}

int32_t block_mold_bracketed(const Cell& value, Cell& buffer, const char* open, const char* close, bool only,
                             bool all, bool flat, bool part, int32_t limit, int32_t indent) {
  if (mold_cycle_marker(value, buffer.w2, limit, true)) return limit;
  if (!only) limit = output_text(buffer, open, limit);
  limit = block_mold_cells(value, buffer, only, all, flat, part, limit, indent);
  if (!only) limit = output_text(buffer, close, limit);
  return limit;
}

int32_t block_form(const Cell& value, Cell& buffer, bool part, int32_t limit) {
  check_stack_headroom();
  if (mold_cycle_marker(value, buffer.w2, limit, false)) return limit;
  CyclePush level(value.w2);
  for (int64_t i = series_clamped_index(value); i < block_total_cells(value); ++i) {
    if (part && limit < 1) break;
    Cell cell = *block_cell_at(value, i);
    limit = lookup_action_for_value<Act::Form>(cell)(cell, buffer, part, limit);
    if (i + 1 < block_total_cells(value) && !ends_in_break(buffer)) limit = output_text(buffer, " ", limit);
  }
  return limit;
}

Cell* block_to(Cell&, Cell& spec, Type type_id) {
  Type spec_type = cell_type(spec);
  if (spec_type == Type::object) return block_of_object(spec, type_id);
  if (spec_type == Type::map) return retyped(map_body_push(spec), type_id);
  if (spec_type == Type::vector) return retyped(vector_to_block_push(spec), type_id);
  if (any_block_type(spec_type)) return block_make_from(spec, type_id);
  if (spec_type == Type::string) return block_from_text(spec, type_id);
  Cell* made = spec_type == Type::typeset ? block_from_typeset(spec) : block_push_new(1);
  if (spec_type != Type::typeset) block_append_copy(*made, spec);
  set_value_type_byte(*made, type_id);
  return made;
}

Cell* block_copy(Cell& value, Cell* part, bool deep, Cell* types, Cell& result) {
  series_copy_into(value, part, result);
  block_copy_contents(value.w2, result, 0, 1, deep, types);
  return &result;
}

Cell block_set_operation(int32_t op, const Cell& first, const Cell& second, bool case_sensitive, const Cell* skip) {
  int64_t size = 1;
  if (skip) {
    if (cell_type(*skip) != Type::integer || payload_i32(*skip, 2) < 1) raise_invalid_refine_arg(ref_skip, *skip);
    size = payload_i32(*skip, 2);
  }
  int64_t room = series_length_after(first) + (op == kSetUnion ? series_length_after(second) : 0);
  Cell result = make_cell(cell_type(op == kSetUnion ? second : first), 0, new_cell_series(std::max<int64_t>(room, 1)));
  RecordIndex seen(result, size, case_sensitive, room / size);
  auto any = [](const Cell&) { return true; };
  if (op == kSetUnique || op == kSetUnion) {
    add_records(result, seen, first, size, any);
    if (op == kSetUnion) add_records(result, seen, second, size, any);
  } else {
    RecordIndex in_second(second, size, case_sensitive, series_length_after(second) / size);
    in_second.add_all();
    bool keep_found = op == kSetIntersect;
    add_records(result, seen, first, size, [&](const Cell& key) { return in_second.contains(key) == keep_found; });
    if (op == kSetDifference) {
      RecordIndex in_first(first, size, case_sensitive, series_length_after(first) / size);
      in_first.add_all();
      add_records(result, seen, second, size, [&](const Cell& key) { return !in_first.contains(key); });
    }
  }
  if (cell_type(result) == Type::hash) hash_index_new(result);
  return result;
}

void block_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(block_make)
      .set<Act::To>(block_to)
      .set<Act::Form>(block_form)
      .set<Act::Mold>(block_mold)
      .set<Act::PathStep>(block_eval_path)
      .set<Act::Compare>(block_compare)
      .set<Act::Append>(block_append)
      .set<Act::Change>(block_change)
      .set<Act::Copy>(block_copy)
      .set<Act::Find>(block_find)
      .set<Act::Insert>(block_append)
      .set<Act::Put>(block_put)
      .set<Act::Select>(block_select)
      .set<Act::Sort>(block_sort)
      .set<Act::Swap>(block_swap)
      .set<Act::Take>(block_take)
      .set<Act::Trim>(block_trim);
  register_datatype(Type::block, Type::series, "block!", row);
  block_register_element_hooks(Type::block);
}

}  // namespace qel

// argument-fetch.cpp: building argument descriptions, fetching arguments by mode, refinements
// from paths and argument blocks, and the calls of natives and actions.
#include "evaluator/argument-fetch.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "datatypes/scalars/none.h"
#include "datatypes/scalars/truth.h"
#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "evaluator/eval-path.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "evaluator/in-place-calls.h"
#include "evaluator/native-table.h"
#include "evaluator/trace.h"
#include "runtime/action-entries.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/fast-paths.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/shortcuts.h"
#include "runtime/symbols.h"
#include "runtime/throw.h"
#include "runtime/value-stack.h"

namespace qel {

static_assert(sizeof(ArgDescription) % alignof(ArgEntry) == 0, "entries follow the header aligned");
static_assert(kTypeTableRows - 2 < 64, "a type mask holds every type id");

namespace {

// The mask of a typeset's type ids.
uint64_t typeset_mask(const Cell& typeset) {
  uint64_t mask = 0;
  for (size_t id = 0; id < 64; ++id)
    if (typeset_has(typeset, static_cast<Type>(id))) mask |= uint64_t{1} << id;
  return mask;
}

// The accepted types of a parameter: its non-empty type block read by typeset-from-spec, else
// every type but unset!.
uint64_t parameter_types(const Cell& spec, uint32_t i) {
  const uint32_t length = series_buffer_length(spec.w2);
  if (i + 1 < length) {
    const Cell next = *block_cell_at(spec, i + 1);
    if (cell_type(next) == Type::block && block_length(next) > 0) {
      Cell* scratch = block_push_new(1);
      const Cell typeset = *typeset_from_spec(*scratch, next);
      stack_drop(1);
      return typeset_mask(typeset);
    }
  }
  return typeset_mask(kDefaultTypeset);
}

constexpr FetchMode mode_of(Type type) {
  return type == Type::get_word ? FetchMode::get : type == Type::lit_word ? FetchMode::literal : FetchMode::evaluated;
}

constexpr bool slot_type(Type type) {
  return type == Type::word || type == Type::get_word || type == Type::lit_word || type == Type::refinement;
}

// The word of an entry, for error reports.
Cell entry_word(const ArgEntry& entry) {
  return make_cell(entry.kind == EntryKind::refinement ? Type::refinement : Type::word, 0, entry.symbol, kUnresolved);
}

// One call's fetching.
class Fetch {
 public:
  Fetch(const ArgDescription& description, bool slots, Code& code, const CallPath* path, const Cell& name,
        uint32_t apply, bool infix)
      : description_(description), code_(code), path_(path), name_(name), apply_(apply), infix_(infix), slots_(slots) {
    if (!slots_)
      for (uint32_t r = 0; r < description_.refinement_count && r < kMostRefinements; ++r) positions_[r] = -1;
  }

  Status fixed_pass();
  Status refinement_pass();
  const int32_t* positions() const { return positions_; }

 private:
  Status fetch_one(const ArgEntry& entry);
  Status fetch_fixed(const ArgEntry& entry);
  Status fetch_refinement_arguments(uint32_t refinement, bool active);
  void skip_one() {
    if (!code_.at_end()) ++code_.index;
  }
  bool applying() const { return apply_ != 0; }
  // The element of the path or argument block that names refinement k; copied.
  Status next_element(uint32_t& i, Cell& element, bool& found);
  uint32_t find_refinement(const Cell& element) const;
  void push_logic(bool flag) { stack_push_value(make_cell(Type::logic, flag ? 1 : 0)); }

  const ArgDescription& description_;
  Code& code_;
  const CallPath* path_;
  const Cell& name_;
  uint32_t apply_;
  bool infix_;
  bool slots_;     // function! and routine!: every parameter and refinement has a frame slot
  uint32_t count_ = 0;  // argument cells pushed (natives and actions)
  int32_t positions_[kMostRefinements];
};

// eval-fetch-one: one argument by the entry's fetch mode, pushed.
Status Fetch::fetch_one(const ArgEntry& entry) {
  if (code_.at_end()) raise_no_arg(name_, entry);
  if (entry.mode == FetchMode::evaluated) {
    if (!(apply_ & kApplySafer)) return eval_argument(code_, infix_);
    Code one = code_;
    one.end = code_.index + 1;
    QEL_TRY(eval_argument(one, infix_));
    code_.index = one.index;
    return {};
  }
  const Cell cell = code_.cell();
  if (trace_enabled && !code_.library) [[unlikely]]
    trace_fire(kTraceFetchEvent, code_.value, code_.index, make_cell(Type::none), cell);
  ++code_.index;
  if (entry.mode == FetchMode::get) {
    stack_push_value(cell);
    return {};
  }
  switch (cell_type(cell)) {
    case Type::paren:
      stack_open_frame(anon_word(), frame_bits(code_, kFrameInterpNative));
      QEL_TRY(eval_block(cell, true));
      stack_close_frame();
      return {};
    case Type::get_word: {
      Cell word = cell;
      stack_push_value(*word_value_read(word));
      return {};
    }
    case Type::get_path:
      return eval_path(cell, &code_, PathMode::get, true, false, nullptr);
    default:
      stack_push_value(cell);
      return {};
  }
}

// A mandatory parameter's argument: an ordinary call's evaluated argument straight from the
// code, every other kind by fetch_one.
inline Status Fetch::fetch_fixed(const ArgEntry& entry) {
  if (entry.mode == FetchMode::evaluated && !apply_ && !code_.at_end()) [[likely]]
    return eval_argument(code_, infix_);
  return fetch_one(entry);
}

// Pass 1: the mandatory parameters, every slot of a function, and in all mode the refinements.
Status Fetch::fixed_pass() {
  bool fetching = true;
  const ArgEntry* entries = description_.entries();
  for (uint32_t k = 0; k < description_.entry_count; ++k) {
    const ArgEntry& entry = entries[k];
    if (entry.kind == EntryKind::return_types) continue;
    if (entry.kind == EntryKind::refinement) {
      if (applying() && !path_ && !code_.at_end() && !(apply_ & kApplyNamed)) {
        QEL_TRY(fetch_one(entry));
        const Cell flag = *stack_last_value();
        if (cell_type(flag) != Type::logic) raise_expect_arg(name_, flag, entry);
        fetching = flag.w1 != 0;
        if (!slots_) {
          stack_drop(1);
          if (fetching) positions_[entry.ordinal - 1] = static_cast<int32_t>(count_);
        }
      } else {
        if (slots_) push_logic(false);
        fetching = applying() && !path_ && code_.at_end();
      }
      continue;
    }
    if (fetching) {
      if (applying() && code_.at_end()) {
        stack_push_value(make_cell(Type::none));
      } else if (entry.mode == FetchMode::literal && description_.accepts(entry, Type::unset) && code_.at_end()) {
        stack_push_value(make_cell(Type::unset));
      } else {
        if (!(infix_ && count_ == 0)) QEL_TRY(fetch_fixed(entry));
        check_argument(description_, entry, *stack_last_value(), name_);
      }
      ++count_;
      continue;
    }
    if (slots_) stack_push_value(make_cell(Type::none));
    if ((apply_ & kApplyAll) && !path_) {
      if (apply_ & kApplySafer) {
        skip_one();
      } else if (!code_.at_end()) {
        QEL_TRY(fetch_one(entry));
        stack_drop(1);
      }
    }
  }
  return {};
}

// The next refinement element: from the path after the callee's name, or in named mode from
// the argument block.
Status Fetch::next_element(uint32_t& i, Cell& element, bool& found) {
  found = false;
  if (path_) {
    const Cell& path = path_->path;
    if (path.w1 + i >= series_buffer_length(path.w2)) return {};
    element = series_buffer(path.w2)->head_cell()[path.w1 + i++];
  } else {
    if (code_.at_end()) return {};
    element = code_.cell();
  }
  found = true;
  return {};
}

// The entry index of the refinement an element names, by case-folded spelling.
uint32_t Fetch::find_refinement(const Cell& element) const {
  const uint32_t canonical = symbol_canonical(element.w2);
  const ArgEntry* entries = description_.entries();
  for (uint32_t k = 0; k < description_.entry_count; ++k)
    if (entries[k].kind == EntryKind::refinement && symbol_canonical(entries[k].symbol) == canonical) return k;
  raise_error(error_id("script", "no-refine"), name_, element);
}

// The arguments of refinement k: fetched (or skipped in safer mode when it is off); kept when
// the refinement is on, in its slots for a function, else pushed in path order.
Status Fetch::fetch_refinement_arguments(uint32_t k, bool active) {
  const ArgEntry* entries = description_.entries();
  for (uint32_t j = k + 1; j < description_.entry_count && entries[j].kind != EntryKind::refinement; ++j) {
    const ArgEntry& entry = entries[j];
    if (entry.kind != EntryKind::parameter) continue;
    if ((apply_ & kApplySafer) && !active) {
      skip_one();
      continue;
    }
    QEL_TRY(fetch_one(entry));
    if (!active) {
      stack_drop(1);
      continue;
    }
    check_argument(description_, entry, *stack_last_value(), name_);
    if (slots_) {
      value_stack.base[entry.slot] = *stack_last_value();
      stack_drop(1);
    } else {
      ++count_;
    }
  }
  return {};
}

// Pass 2: the refinements a path names, or in named mode the argument block names.
Status Fetch::refinement_pass() {
  const bool named = (apply_ & kApplyNamed) && !path_;
  if (!path_ && !named) return {};
  uint32_t i = path_ ? path_->name_index + 1 : 0;
  for (;;) {
    Cell element;
    bool found;
    QEL_TRY(next_element(i, element, found));
    if (!found) return {};
    const Type type = cell_type(element);
    const bool accepted = type == Type::get_word || (named ? type == Type::refinement : type == Type::word);
    if (!accepted) {
      if (applying() && description_.refinement_count == 0) return {};
      raise_error(error_id("script", "bad-refine"), element);
    }
    if (named) ++code_.index;
    bool active = true;
    if (type == Type::get_word) {
      Cell word = element;
      active = value_true(*word_value_read(word), true, element);
    } else if (named) {
      if (code_.at_end()) {
        active = false;
      } else {
        QEL_TRY(eval_expression(code_, false, true, false));
        active = cell_truthy(*stack_last_value());
        stack_drop(1);
      }
    }
    const uint32_t k = find_refinement(element);
    const ArgEntry& refinement = description_.entries()[k];
    const Cell where = path_ ? path_->path : code_.value;
    if (slots_) {
      Cell& flag = value_stack.base[refinement.slot];
      if (cell_type(flag) == Type::logic && flag.w1 != 0) raise_error(error_id("script", "dup-refine"), where);
      flag = make_cell(Type::logic, active ? 1 : 0);
    } else if (active) {
      int32_t& position = positions_[refinement.ordinal - 1];
      if (position != -1) raise_error(error_id("script", "dup-refine"), where);
      position = static_cast<int32_t>(count_);
    }
    QEL_TRY(fetch_refinement_arguments(k, active));
  }
}

}  // namespace

// --- Descriptions ---------------------------------------------------------------------------------

NodeId arg_description_build(const Cell& spec, Type kind) {
  const bool slots = has_slots(kind);
  std::vector<ArgEntry> entries;
  ArgDescription header{};
  uint16_t slot = 0;
  uint8_t ordinal = 0;
  bool seen_refinement = false;
  const uint32_t length = series_buffer_length(spec.w2);
  for (uint32_t i = spec.w1; i < length; ++i) {
    const Cell cell = *block_cell_at(spec, i);
    const Type type = cell_type(cell);
    if (type == Type::word || type == Type::get_word || type == Type::lit_word) {
      entries.push_back({parameter_types(spec, i), cell.w2, slot++, 0, EntryKind::parameter, mode_of(type)});
      header.fixed_count += !seen_refinement;
    } else if (type == Type::refinement && symbol_canonical(cell.w2) == symbol_canonical(sym_local)) {
      uint32_t j = i;
      for (; j < length && cell_type(*block_cell_at(spec, j)) != Type::set_word; ++j)
        header.local_count += slot_type(cell_type(*block_cell_at(spec, j)));
      i = j;  // the walk goes on after the set-word that ends the locals
    } else if (type == Type::refinement) {
      if (ordinal == 0xFF || (!slots && ordinal == kMostRefinements)) raise_error(error_id("internal", "limit-hit"), cell);
      entries.push_back({0, cell.w2, slot++, ++ordinal, EntryKind::refinement, FetchMode::evaluated});
      seen_refinement = true;
    } else if (type == Type::set_word) {
      if (symbol_canonical(cell.w2) != symbol_canonical(sym_return)) raise_error(error_id("script", "bad-func-def"), cell);
      entries.push_back({parameter_types(spec, i), cell.w2, 0, 0, EntryKind::return_types, FetchMode::evaluated});
    }
  }
  header.entry_count = static_cast<uint32_t>(entries.size());
  // Return types after the parameters leave the call plain: the plain fetch stops before them.
  // So do a native's refinements, which an ordinary call leaves absent without a slot.
  const auto after_parameters = entries.begin() + header.fixed_count;
  header.plain = std::all_of(entries.begin(), after_parameters,
                             [](const ArgEntry& e) { return e.kind == EntryKind::parameter && e.mode == FetchMode::evaluated; }) &&
                 (!slots || std::all_of(after_parameters, entries.end(), [](const ArgEntry& e) { return e.kind == EntryKind::return_types; }));
  header.slot_count = slot;
  header.refinement_count = ordinal;
  static uint64_t serials = 0;
  header.serial = ++serials;
  const int64_t bytes = static_cast<int64_t>(sizeof header + entries.size() * sizeof(ArgEntry));
  const NodeId node = new_heap_series(bytes, 1, 0);
  series_buffer_append_bytes(node, &header, sizeof header);
  if (!entries.empty()) series_buffer_append_bytes(node, entries.data(), static_cast<int64_t>(entries.size() * sizeof(ArgEntry)));
  return node;
}

bool arg_descriptions_match(const ArgDescription& a, const ArgDescription& b) {
  if (a.slot_count != b.slot_count || a.refinement_count != b.refinement_count) return false;
  const ArgEntry* x = a.entries();
  const ArgEntry* y = b.entries();
  uint32_t i = 0, j = 0;
  for (;;) {
    while (i < a.entry_count && x[i].kind == EntryKind::return_types) ++i;
    while (j < b.entry_count && y[j].kind == EntryKind::return_types) ++j;
    if (i == a.entry_count || j == b.entry_count) return i == a.entry_count && j == b.entry_count;
    if (x[i].kind != y[j].kind || x[i].mode != y[j].mode) return false;
    if (x[i].kind == EntryKind::refinement && symbol_canonical(x[i].symbol) != symbol_canonical(y[j].symbol)) return false;
    ++i;
    ++j;
  }
}

// --- Fetching -------------------------------------------------------------------------------------

void raise_expect_arg(const Cell& name, const Cell& argument, const ArgEntry& entry) {
  raise_error(error_id("script", "expect-arg"), name, datatype_cell(cell_type(argument)), entry_word(entry));
}

void raise_no_arg(const Cell& name, const ArgEntry& entry) {
  raise_error(error_id("script", "no-arg"), name, entry_word(entry));
}

Status eval_call_entry(const Cell& function, const int32_t* positions) {
  return exits_as_status([&]() -> Status {
    if (cell_type(function) == Type::action) {
      Cell* base = value_stack.base;
      if (shortcuts_enabled && call_in_place(function, base, static_cast<uint32_t>(value_stack.top - base), base[0]))
        return {};
      action_entries[function.w1 - 1](positions);
      return {};
    }
    return native_entry(function.w1)(positions);
  });
}

int32_t integer_infix_code(const Cell& function) {
  if (cell_type(function) == Type::native) {
    const int32_t code = function.w1 <= kNativeSlots ? native_compare_codes[function.w1] : -1;
    return code < 0 ? -1 : code + kCompareInPlace;
  }
  return cell_type(function) == Type::action ? action_arith_code(function.w1) : -1;
}

bool integer_infix_in_place(const Cell& function, const Cell& right, Cell& left) {
  return integer_in_place_by_code(integer_infix_code(function), right, left);
}

Status eval_fetch_arguments(const Cell& function, Code& code, const CallPath* path, const Cell& name, uint32_t apply,
                            bool infix) {
  const bool slots = has_slots(cell_type(function));
  const ArgDescription& description = arg_description(function);
  Fetch fetch(description, slots, code, path, name, apply, infix);
  QEL_TRY(fetch.fixed_pass());
  QEL_TRY(fetch.refinement_pass());
  return eval_after_arguments(function, description, code, name, apply, fetch.positions());
}

}  // namespace qel

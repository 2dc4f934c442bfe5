// function.cpp: function! values: spec validation, building, locals, and the actions.
#include "evaluator/function.h"

#include <vector>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "evaluator/argument-fetch.h"
#include "evaluator/eval-support.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/runtime-symbols.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The cells of a block from its index: a copy of cell i, and its type (none_id past the end).
struct SpecCells {
  NodeId node;
  uint32_t begin;
  uint32_t end;

  explicit SpecCells(const Cell& block)
      : node(block.w2), end(series_buffer_length(block.w2)) {
    begin = block.w1 < end ? block.w1 : end;
  }
  Cell at(uint32_t i) const { return series_buffer(node)->head_cell()[i]; }
  Type type_at(uint32_t i) const { return i < end ? cell_type(at(i)) : Type::none_id; }
};

constexpr bool parameter_type(Type type) {
  return type == Type::word || type == Type::get_word || type == Type::lit_word || type == Type::refinement;
}

bool same_canonical(uint32_t symbol, uint32_t other) { return symbol_canonical(symbol) == symbol_canonical(other); }

// A type block of a parameter: datatype!, typeset! or a word holding one.
void check_type_block(const Cell& block) {
  SpecCells cells(block);
  for (uint32_t i = cells.begin; i < cells.end; ++i) {
    Cell item = cells.at(i);
    Type type = cell_type(item);
    if (type == Type::word) {
      Cell word = item;
      const Cell value = *word_value_read(word);
      if (cell_type(value) == Type::unset) raise_error(error_id("script", "no-value"), item);
      type = cell_type(value);
    }
    if (type != Type::datatype && type != Type::typeset) raise_error(error_id("script", "invalid-type-spec"), item);
  }
}

// The attribute flags of an attribute block (every value a word).
uint32_t attribute_flags(const Cell& block, const Cell& spec) {
  SpecCells cells(block);
  uint32_t flags = 0;
  for (uint32_t i = cells.begin; i < cells.end; ++i) {
    const Cell item = cells.at(i);
    if (cell_type(item) != Type::word) raise_error(error_id("script", "bad-func-def"), spec);
    if (same_canonical(item.w2, sym_trace)) flags |= kFunctionTraceFlag;
    if (same_canonical(item.w2, sym_no_trace)) flags |= kFunctionNoTraceFlag;
  }
  return flags;
}

// No two parameters with the same case-folded spelling: script dup-vars naming the second.
void check_duplicates(const SpecCells& cells) {
  std::vector<uint32_t> seen;
  for (uint32_t i = cells.begin; i < cells.end; ++i) {
    const Cell item = cells.at(i);
    if (!parameter_type(cell_type(item))) continue;
    const uint32_t canonical = symbol_canonical(item.w2);
    for (uint32_t other : seen)
      if (other == canonical) raise_error(error_id("script", "dup-vars"), item);
    seen.push_back(canonical);
  }
}

// The words the function native makes local: collected once each, leaving out the ignored ones.
struct LocalWords {
  std::vector<uint32_t> ignored;    // canonical ids
  std::vector<uint32_t> collected;  // symbols, in the order met

  void add(uint32_t symbol) {
    const uint32_t canonical = symbol_canonical(symbol);
    for (uint32_t id : ignored)
      if (id == canonical) return;
    for (uint32_t id : collected)
      if (symbol_canonical(id) == canonical) return;
    collected.push_back(symbol);
  }

  // Every word of a block that follows foreach or remove-each.
  void add_words_of(const Cell& block) {
    SpecCells cells(block);
    for (uint32_t i = cells.begin; i < cells.end; ++i) {
      const Type type = cells.type_at(i);
      if (type == Type::word || type == Type::get_word || type == Type::lit_word) add(cells.at(i).w2);
    }
  }

  // Walks a body and its nested blocks and parens (a block met again inside itself is passed).
  void walk(const Cell& body) {
    check_stack_headroom();
    CyclePush level(body.w2);
    SpecCells cells(body);
    for (uint32_t i = cells.begin; i < cells.end; ++i) {
      const Cell item = cells.at(i);
      const Type type = cell_type(item);
      if (type == Type::set_word) {
        add(item.w2);
      } else if (type == Type::word && (same_canonical(item.w2, sym_foreach) || same_canonical(item.w2, sym_remove_each) ||
                                        same_canonical(item.w2, sym_repeat))) {
        const Type next = cells.type_at(i + 1);
        if (any_word_type(next))
          add(cells.at(i + 1).w2);
        else if (next == Type::block && !same_canonical(item.w2, sym_repeat))
          add_words_of(cells.at(i + 1));
      } else if ((type == Type::block || type == Type::paren) && !cycle_stack_contains(item.w2)) {
        walk(item);
      }
    }
  }
};

// --- Actions ----------------------------------------------------------------------------------

int32_t function_form(const Cell&, Cell& buffer, bool, int32_t limit) { return output_text(buffer, "?function?", limit); }

// Molds a value into the buffer through its own mold action.
int32_t mold_into(const Cell& value, Cell& buffer, bool all, bool flat, bool part, int32_t limit, int32_t indent) {
  return lookup_action_for_value<Act::Mold>(value)(value, buffer, false, all, flat, part, limit, indent);
}

int32_t function_mold(const Cell& value, Cell& buffer, bool, bool all, bool flat, bool part, int32_t limit,
                      int32_t indent) {
  limit = output_text(buffer, "func ", limit);
  limit = mold_into(function_spec_block(value), buffer, all, flat, part, limit, indent);
  const Cell body = *function_more_cell(value, kMoreBody);
  if (cell_type(body) != Type::block) return output_text(buffer, " none", limit);
  limit = output_text(buffer, " ", limit);
  return mold_into(body, buffer, all, flat, part, limit, indent);
}

// Functions order by their more series: a function equals only itself and its copies.
int32_t function_compare(const Cell& value, const Cell& other, int32_t code) {
  if (cell_type(other) != cell_type(value) || !is_equality_or_sort_code(code))
    return kNotComparable;
  return three_way(value.w3, other.w3);
}

void function_reflect(Cell& value, Cell& field) {
  const uint32_t name = cell_type(field) == Type::word ? symbol_canonical(field.w2) : 0;
  if (name == symbol_canonical(sym_spec)) {
    value = function_spec_block(value);
  } else if (name == symbol_canonical(sym_body)) {
    const Cell body = *function_more_cell(value, kMoreBody);
    value = cell_type(body) == Type::block ? *block_copy_deep(body, DeepCopy::blocks_paths) : body;
  } else if (name == symbol_canonical(sym_words)) {
    value = *block_copy_deep(make_cell(Type::block, 0, context_words(value.w1)), DeepCopy::none);
  } else {
    raise_error(error_id("internal", "not-done"));
  }
}

// make function! [spec body].
Cell* function_make(Cell& type, Cell& spec, Type) {
  // Only a block has a buffer to walk: any other spec is refused before it is read as one.
  if (cell_type(spec) != Type::block) raise_error(error_id("script", "bad-func-def"), spec);
  SpecCells cells(spec);
  if (cells.end - cells.begin < 2 || cells.type_at(cells.begin) != Type::block)
    raise_error(error_id("script", "bad-func-def"), spec);
  const Cell function_spec = cells.at(cells.begin);
  const uint32_t flags = function_spec_validate(function_spec);
  if (cells.type_at(cells.begin + 1) != Type::block) raise_error(error_id("script", "bad-func-def"), spec);
  type = function_value_build(function_spec, cells.at(cells.begin + 1), flags);
  return &type;
}

}  // namespace


uint32_t function_spec_validate(const Cell& spec) {
  const SpecCells cells(spec);
  auto refuse = [&] { raise_error(error_id("script", "bad-func-def"), spec); };
  uint32_t i = cells.begin;
  uint32_t flags = 0;
  if (cells.type_at(i) == Type::block) flags = attribute_flags(cells.at(i++), spec);
  bool locals = false;
  bool seen_return = false;
  for (; i < cells.end; ++i) {
    const Cell item = cells.at(i);
    switch (cell_type(item)) {
      case Type::word:
      case Type::get_word:
      case Type::lit_word:
        if ((locals && cell_type(item) != Type::word) || (seen_return && !locals)) refuse();
        if (cells.type_at(i + 1) == Type::string && cells.type_at(i + 2) == Type::block) refuse();
        if (cells.type_at(i + 1) == Type::block) check_type_block(cells.at(++i));
        break;
      case Type::string:
        break;
      case Type::set_word: {
        if (!same_canonical(item.w2, sym_return) || seen_return || locals || cells.type_at(i + 1) != Type::block) refuse();
        const Type after = cells.type_at(i + 2);
        if (after != Type::none_id && after != Type::refinement && after != Type::string) refuse();
        seen_return = true;
        ++i;
        break;
      }
      case Type::refinement: {
        if (same_canonical(item.w2, sym_local))
          locals = true;
        else if (locals || seen_return)
          refuse();
        const Type next = cells.type_at(i + 1);
        if (next != Type::none_id && !parameter_type(next) && next != Type::set_word && next != Type::string) refuse();
        break;
      }
      default:
        refuse();
    }
  }
  check_duplicates(cells);
  return flags;
}

NodeId function_more_make(uint32_t cells, NodeId description) {
  NodeId more = new_cell_series(cells);
  for (uint32_t i = 0; i < cells; ++i) *series_append_fresh_slot(more) = make_cell(Type::unset);
  series_buffer(more)->head_cell()[kMoreDescription] = make_cell(Type::binary, 0, description);
  return more;
}

Cell function_value_build(const Cell& spec, const Cell& body, uint32_t flags) {
  Cell* top = value_stack.top;
  Cell spec_copy = *block_copy_deep(spec, DeepCopy::blocks_paths);
  Cell body_copy = make_cell(Type::none);
  if (cell_type(body) == Type::block) {
    Cell from = body;
    const uint32_t length = series_buffer_length(body.w2);
    if (from.w1 > length) from.w1 = length;
    body_copy = *block_copy_deep(from, DeepCopy::blocks_paths);
  }
  const NodeId context = context_make_from_spec(spec_copy, true, false, 0);
  const NodeId more = function_more_make(5, arg_description_build(spec_copy, Type::function));
  series_buffer(more)->head_cell()[kMoreBody] = body_copy;
  const Cell function{static_cast<uint32_t>(Type::function) | flags, context, spec_copy.w2, more};
  context_owner(context) = function;
  if (cell_type(body_copy) == Type::block) bind_block_deep(body_copy, context, false);
  value_stack.top = top;
  return function;
}

int32_t spec_count_locals(const Cell& spec, uint32_t start, bool strict) {
  const SpecCells cells(spec);
  for (uint32_t i = start > cells.begin ? start : cells.begin; i < cells.end; ++i) {
    if (cells.type_at(i) != Type::refinement || !same_canonical(cells.at(i).w2, sym_local)) continue;
    int32_t count = 1;
    for (uint32_t j = i + 1; j < cells.end; ++j) count += cells.type_at(j) == Type::word;
    return count;
  }
  return strict ? -1 : 0;
}

Cell function_collect_locals(const Cell& spec, const Cell& body) {
  Cell* copy = block_copy_deep(spec, DeepCopy::none);
  LocalWords words;
  SpecCells cells(*copy);
  for (uint32_t i = cells.begin; i < cells.end; ++i) {
    const Cell item = cells.at(i);
    if (cell_type(item) != Type::refinement || !same_canonical(item.w2, ref_extern.w2)) continue;
    for (uint32_t j = i + 1; j < cells.end && cells.type_at(j) != Type::refinement; ++j) {
      const Type type = cells.type_at(j);
      if (any_word_type(type))
        words.ignored.push_back(symbol_canonical(cells.at(j).w2));
      else if (type != Type::block && type != Type::string)
        raise_error(error_id("script", "bad-func-extern"), cells.at(j));
    }
    block_truncate(*copy, i);
    cells.end = i;
    break;
  }
  bool has_local = false;
  for (uint32_t i = cells.begin; i < cells.end; ++i) {
    const Cell item = cells.at(i);
    if (!parameter_type(cell_type(item))) continue;
    words.ignored.push_back(symbol_canonical(item.w2));
    has_local |= cell_type(item) == Type::refinement && same_canonical(item.w2, sym_local);
  }
  {
    CycleScope walk;
    words.walk(body);
  }
  bool appended = false;
  for (uint32_t symbol : words.collected) {
    if (same_canonical(symbol, sym_local)) continue;
    if (!has_local && !appended) block_append_copy(*copy, make_cell(Type::refinement, 0, sym_local, 0));
    appended = true;
    block_append_copy(*copy, make_cell(Type::word, 0, symbol, kUnresolved));
  }
  const Cell result = *copy;
  stack_drop(1);
  return result;
}

Cell function_spec_block(const Cell& value) { return make_cell(Type::block, 0, value.w2); }

Cell function_spec_arg_word(uint32_t n) {
  for (uint32_t depth = call_stack_depth(); depth > 0; --depth) {
    const CallFrame& frame = call_stack_frames[depth - 1];
    if (!frame_is_named(frame)) continue;
    Cell word = make_cell(Type::word, frame.word_context, frame.symbol, kUnresolved);
    const Cell* value = word_value_quiet(word);
    const Type type = value ? cell_type(*value) : Type::none;
    if (type != Type::native && type != Type::action && type != Type::op && type != Type::function &&
        type != Type::routine)
      break;
    const SpecCells cells(function_spec_block(*value));
    for (uint32_t i = cells.begin, k = 0; i < cells.end; ++i)
      if (parameter_type(cells.type_at(i)) && k++ == n) return make_cell(Type::word, 0, cells.at(i).w2, kUnresolved);
    break;
  }
  return make_cell(Type::none);
}

uint32_t callback_filter_mask(const Cell& callback, std::span<const char* const> names, uint32_t all) {
  if (cell_type(callback) != Type::function) return all;
  const Cell body = *function_more_cell(callback, kMoreBody);
  if (cell_type(body) != Type::block || body.w1 >= series_buffer_length(body.w2)) return all;
  const Cell filter = series_buffer(body.w2)->head_cell()[body.w1];
  if (cell_type(filter) != Type::block) return all;
  uint32_t mask = 0;
  for (uint32_t i = filter.w1; i < series_buffer_length(filter.w2); ++i) {
    const Cell word = series_buffer(filter.w2)->head_cell()[i];
    if (cell_type(word) != Type::word) continue;
    for (size_t k = 0; k < names.size(); ++k)
      if (symbol_name_equal(symbol_name(word.w2), names[k], true)) mask |= 1u << k;
  }
  return mask;
}

void register_function_datatype() {
  services().function_spec_arg_word = function_spec_arg_word;
  register_datatype(Type::function, Type::context, "function!",
                    ActionRow()
                        .set<Act::Make>(function_make)
                        .set<Act::Reflect>(function_reflect)
                        .set<Act::Form>(function_form)
                        .set<Act::Mold>(function_mold)
                        .set<Act::Compare>(function_compare));
}

}  // namespace qel

// qelbin-paths.cpp: the reference path walk.
#include "loader/qelbin/qelbin-paths.h"

#include "evaluator/function.h"
#include "runtime/contexts.h"
#include "runtime/series.h"

namespace qel {

namespace {

// Cell i of a cell series counted from its buffer's head, when it has one.
bool series_cell(NodeId node, int64_t i, Cell& out) {
  if (node == 0 || i < 0 || i >= series_buffer_length(node)) return false;
  out = series_buffer(node)->head_cell()[i];
  return true;
}

// Value i of a context keeping its values in a block.
bool context_value(NodeId context, int64_t i, Cell& out) {
  if (context == 0 || context_on_stack(context) || i >= context_length(context)) return false;
  return series_cell(context_cell(context).w2, i, out);
}

bool function_part(const Cell& function, int64_t i, bool spec_only, Cell& out) {
  if (i == 0) {
    out = make_cell(Type::block, 0, function.w2);
    return function.w2 != 0;
  }
  if (i != 1 || spec_only || function.w3 == 0) return false;
  out = *function_more_cell(function, kMoreBody);
  return cell_type(out) == Type::block;
}

bool step(Cell& current, int64_t i) {
  switch (cell_type(current)) {
    case Type::block: case Type::paren: case Type::path: case Type::lit_path: case Type::set_path:
    case Type::get_path: case Type::hash: case Type::map: return series_cell(current.w2, i, current);
    case Type::object: return context_value(current.w1, i, current);
    case Type::error: return i >= 0 && context_value(current.w1, i + 3, current);
    case Type::word: case Type::set_word: case Type::lit_word: case Type::get_word: case Type::refinement: {
      const NodeId context = current.w1;
      if (context == 0) return false;
      if (!context_on_stack(context)) return context_value(context, i, current);
      const Cell owner = context_owner(context);
      return cell_type(owner) == Type::function && function_part(owner, i, false, current);
    }
    case Type::native: case Type::action: return series_cell(current.w2, i, current);
    case Type::function: return function_part(current, i, false, current);
    case Type::op: return function_part(current, i, true, current);
    default: return false;
  }
}

}  // namespace

Cell qelbin_resolve_path(const Cell& root, uint32_t base, std::span<const int32_t> path, const QelbinInput& input,
                         const uint8_t* at) {
  Cell current;
  if (path.empty() || !series_cell(root.w2, int64_t{base} + path[0], current) || path[0] < 0) input.fail_at(at);
  for (size_t k = 1; k < path.size(); ++k)
    if (!step(current, path[k])) input.fail_at(at);
  return current;
}

NodeId qelbin_owner_context(const Cell& target) {
  switch (cell_type(target)) {
    case Type::object: case Type::error: case Type::function: return target.w1;
    case Type::op: return static_cast<Type>((target.header >> 16) & 0xFF) == Type::function ? target.w1 : 0;
    case Type::word: case Type::set_word: case Type::lit_word: case Type::get_word: case Type::refinement:
      return target.w1;
    default: return 0;
  }
}

}  // namespace qel

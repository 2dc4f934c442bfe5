// qelbin-builder.cpp: making, checking and placing decoded values.
#include "loader/qelbin/qelbin-builder.h"

#include <cstring>

#include "datatypes/series/block-core.h"
#include "datatypes/series/hash.h"
#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "datatypes/series/map.h"
#include "datatypes/series/vector.h"
#include "evaluator/error.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "loader/qelbin/qelbin-paths.h"
#include "loader/qelbin/qelbin-values.h"
#include "runtime/contexts.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr bool word_kind(Type type) { return static_cast<uint32_t>(type) >= 15 && static_cast<uint32_t>(type) <= 19; }

}  // namespace

uint32_t QelbinBuilder::cells_in(const Cell& block) { return series_buffer_length(block.w2); }
Cell& QelbinBuilder::cell_at(const Cell& block, uint32_t i) { return series_buffer(block.w2)->head_cell()[i]; }
Cell& QelbinBuilder::append(const Cell& parent) { return *block_append_fresh_slot(parent); }

Cell QelbinBuilder::new_block(int64_t room, Type type) {
  Cell block;
  block_make_at(block, room);
  set_value_type_byte(block, type);
  return block;
}

Cell QelbinBuilder::qelbin_resolve_path_in_state(const uint8_t* at) {
  return qelbin_resolve_path(s_.root, s_.base, s_.path, in_, at);
}

Cell QelbinBuilder::with_head(Cell series, int64_t head, const uint8_t* at) {
  // An image counts pixels, which its size word gives (an image without pixels has no record).
  const int64_t length = cell_type(series) == Type::image ? image_cell_pixels(series) : series_buffer_length(series.w2);
  if (head < 0 || head > length) in_.fail_at(at);
  series.w1 = static_cast<uint32_t>(head);
  return series;
}

Cell QelbinBuilder::reference_as(Type type, Cell target, int64_t head, const uint8_t* at) {
  if (!qelbin_reference_fits(type, cell_type(target))) in_.fail_at(at);
  target.header = static_cast<uint32_t>(type) | (target.header & ~kTypeByteMask & ~kNewLineFlag);
  return with_head(target, head, at);
}

Cell QelbinBuilder::owner_reference(Type type, Cell target, const uint8_t* at) {
  if (word_kind(cell_type(target)) && target.w1 != 0) target = context_owner(target.w1);
  if (type == Type::function && cell_type(target) == Type::op && op_wrapped_type(target) == Type::function)
    target.header = static_cast<uint32_t>(Type::function) | (target.header & 0xFF00);
  if (cell_type(target) != type) in_.fail_at(at);
  value_clear_flag_30(target);
  return target;
}

void QelbinBuilder::records_into(const Cell& block, int64_t n) {
  check_stack_headroom();
  for (int64_t i = 0; i < n; ++i) record(block);
}

Cell QelbinBuilder::single(const Cell& block, const uint8_t* at) {
  const uint32_t before = cells_in(block);
  record(block);
  if (cells_in(block) != before + 1) in_.fail_at(at);
  return cell_at(block, before);
}

void QelbinBuilder::point_value(const Cell& parent, Type type) {
  Cell point = make_cell(type);
  point.w1 = in_.raw32();
  point.w2 = in_.raw32();
  if (type == Type::point3d) point.w3 = in_.raw32();
  scalar(parent, point);
}

// --- Series ------------------------------------------------------------------------------------

void QelbinBuilder::block_value(const Cell& parent, Type type, int64_t head, int64_t n, const uint8_t* at) {
  const Cell made = new_block(n, type);
  const uint32_t position = cells_in(parent);
  append(parent) = made;
  records_into(made, n);
  Cell& stored = cell_at(parent, position);
  stored = with_head(stored, head, at);
  if (type == Type::hash) hash_index_new(stored);
}

NodeId QelbinBuilder::units_series(const uint8_t* data, uint64_t count, uint32_t unit, const uint8_t* at) {
  if (!qelbin_text_units_ok(data, count, unit)) in_.fail_at(at);
  const NodeId node = new_string_series(static_cast<int64_t>(count), unit);
  SeriesBuffer* buffer = series_buffer(node);
  std::memcpy(buffer->head_address(), data, count * unit);
  buffer->tail = buffer->head + static_cast<uint32_t>(count * unit);
  return node;
}

void QelbinBuilder::vector_value(const Cell& parent, int64_t head, int64_t element, uint32_t size, const uint8_t* data,
                                 uint64_t count, const uint8_t* at) {
  if (!qelbin_vector_element_ok(element, size)) in_.fail_at(at);
  Cell made;
  vector_make_at(made, static_cast<int64_t>(count), static_cast<Type>(element), static_cast<int32_t>(size));
  SeriesBuffer* buffer = series_buffer(made.w2);
  std::memcpy(buffer->head_address(), data, count * size);
  buffer->tail = buffer->head + static_cast<uint32_t>(count * size);
  append(parent) = with_head(made, head, at);
}

void QelbinBuilder::map_value(const Cell& parent, int64_t n, const uint8_t* at) {
  Cell made;
  map_make_at(made, nullptr, n / 2);
  append(parent) = made;
  // The keys and values go straight into the map's own block, so a later record inside may
  // refer to an earlier one through the map; its keys are indexed once all are in.
  records_into(make_cell(Type::block, 0, made.w2), n);
  if (!qelbin_map_fill(made)) in_.fail_at(at);
}

void QelbinBuilder::image_value(const Cell& parent, int64_t head, int64_t width, int64_t height, const uint8_t* at) {
  constexpr int64_t kMostPixels = int64_t{1} << 28;
  if (width < 0 || width > 0xFFFF || height < 0 || height > 0xFFFF || width * height > kMostPixels ||
      static_cast<uint64_t>(width * height) * 4 > in_.left())
    in_.fail_at(at);
  std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
  const uint8_t* bytes = in_.take(pixels.size() * 4);
  if (!pixels.empty()) std::memcpy(pixels.data(), bytes, pixels.size() * 4);
  const NodeId record = image_from_memory(width, height, 0, pixels.data());
  const Cell image = make_cell(Type::image, 0, record, static_cast<uint32_t>(width) | static_cast<uint32_t>(height) << 16);
  append(parent) = with_head(image, head, at);
}

// --- Contexts, objects, functions --------------------------------------------------------------

NodeId QelbinBuilder::context_of(const QelbinContextHeader& header, const uint8_t* at) {
  const std::optional<NodeId> context =
      qelbin_context_make(header.symbols, header.kind(), header.on_stack(), header.flag());
  if (!context) in_.fail_at(at);
  return *context;
}

void QelbinBuilder::context_values(NodeId context, const QelbinContextHeader& header, const uint8_t* at) {
  if (!header.values_follow()) return;
  const Cell values = make_cell(Type::block, 0, context_cell(context).w2);
  block_truncate(values, 0);
  records_into(values, static_cast<int64_t>(header.symbols.size()));
  if (cells_in(values) != header.symbols.size()) in_.fail_at(at);
}

void QelbinBuilder::context_value(const Cell& parent, const QelbinContextHeader& header, const uint8_t* at) {
  if (header.on_stack()) in_.fail_at(at);  // only a function's own context lives on the stack
  const NodeId context = context_of(header, at);
  const Cell owner = make_cell(Type::object, context, kUnresolved);
  context_owner(context) = owner;
  append(parent) = owner;
  context_values(context, header, at);
}

void QelbinBuilder::object_value(const Cell* parent, int32_t class_id, bool hooks, const QelbinContextHeader& header,
                                 const uint8_t* at, const std::function<void(NodeId)>& place) {
  if (header.on_stack() || header.kind() != kObjectContext) in_.fail_at(at);
  const NodeId context = context_of(header, at);
  context_owner(context) = make_cell(Type::object, context, static_cast<uint32_t>(class_id));
  const uint32_t position = parent ? cells_in(*parent) : 0;
  if (parent) append(*parent) = context_owner(context);
  place(context);
  context_values(context, header, at);
  Cell object = context_owner(context);
  if (hooks && !qelbin_object_hooks(object)) in_.fail_at(at);
  if (parent) cell_at(*parent, position) = object;
}

void QelbinBuilder::function_value(const Cell* parent, const QelbinContextHeader& header, const uint8_t* at,
                                   const std::function<void(NodeId)>& place) {
  if (!header.on_stack() || header.kind() != 0) in_.fail_at(at);
  const NodeId context = context_of(header, at);
  const NodeId more = function_more_make(5, 0);
  series_buffer(more)->head_cell()[kMoreDescription] = make_cell(Type::none);  // made once the spec is read
  Cell function = make_cell(Type::function, context, new_block(1).w2, more);
  *function_more_cell(function, kMoreBody) = new_block(1);
  context_owner(context) = function;
  const uint32_t position = parent ? cells_in(*parent) : 0;
  if (parent) append(*parent) = function;
  place(context);
  auto publish = [&] {
    context_owner(context) = function;
    if (parent) cell_at(*parent, position) = function;
  };
  function.w2 = function_block(function, true, at);
  publish();
  const Cell body = make_cell(Type::block, 0, function_block(function, false, at));
  if (!qelbin_function_finish(function, body)) in_.fail_at(at);
  publish();
}

NodeId QelbinBuilder::function_block_records(Cell& function, bool spec, int64_t n) {
  const Cell block = new_block(n);
  if (spec) function.w2 = block.w2;
  else *function_more_cell(function, kMoreBody) = block;
  context_owner(function.w1) = function;
  records_into(block, n);
  return block.w2;
}

// --- Built-in code and errors ------------------------------------------------------------------

void QelbinBuilder::native_value(const Cell& parent, Type type, int64_t slot, const uint8_t* at) {
  const uint32_t position = cells_in(parent);
  append(parent) = make_cell(Type::none);
  // In normal mode the spec block stays in the parent after the native's cell.
  const Cell holder = s_.codec_mode ? new_block(1) : parent;
  const Cell spec = single(holder, at);
  if (cell_type(spec) != Type::block) in_.fail_at(at);
  const std::optional<Cell> made = qelbin_native_make(type, slot, spec);
  if (!made) in_.fail_at(at);
  cell_at(parent, position) = *made;
}

void QelbinBuilder::op_value(const Cell& parent, const uint8_t* at) {
  const Cell wrapped = single(parent, at);
  const Type type = cell_type(wrapped);
  if (type != Type::native && type != Type::action && type != Type::function) in_.fail_at(at);
  const std::optional<Cell> made = qelbin_op_make(wrapped);
  if (!made) in_.fail_at(at);
  cell_at(parent, cells_in(parent) - 1) = *made;
}

void QelbinBuilder::error_value(const Cell& parent, int32_t code, const uint8_t* at) {
  const std::optional<Cell> made = qelbin_error_make(code);
  if (!made) in_.fail_at(at);
  append(parent) = *made;
  // The six fields from arg1 to stack are decoded straight into their slots, in order, so that a
  // reference path into an earlier field (a word whose object was written there) finds it.
  const Cell values = make_cell(Type::block, 0, context_cell(made->w1).w2);
  const Cell files = error_field(*made, ErrorField::files);
  block_truncate(values, static_cast<uint32_t>(ErrorField::arg1));
  while (cells_in(values) < static_cast<uint32_t>(ErrorField::files)) single(values, at);
  append(values) = files;
}

// --- Words -------------------------------------------------------------------------------------

Cell QelbinBuilder::global_word(Type type, uint32_t symbol) const {
  return make_cell(type, global_context(), symbol, kUnresolved);
}

Cell QelbinBuilder::bound_word(Type type, uint32_t symbol, NodeId context, int64_t slot, bool lookup,
                               const uint8_t* at) {
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

Cell QelbinBuilder::literal_word(Type type, uint32_t symbol, int64_t literal, int64_t slot, const uint8_t* at) {
  if (literal < 0 || int64_t{s_.base} + literal >= cells_in(s_.root)) in_.fail_at(at);
  const Cell owner = cell_at(s_.root, s_.base + static_cast<uint32_t>(literal));
  if (cell_type(owner) != Type::object) in_.fail_at(at);
  return bound_word(type, symbol, owner.w1, slot, true, at);
}

void QelbinBuilder::word_before_owner(const Cell& parent, Type type, uint32_t symbol, int64_t slot, const uint8_t* at,
                                      const std::function<void(const std::function<void(NodeId)>&)>& owner) {
  // The owner's records count under the word's path, so the word stands first.
  const uint32_t position = cells_in(parent);
  append(parent) = make_cell(Type::none);
  owner([&](NodeId context) { cell_at(parent, position) = bound_word(type, symbol, context, slot, false, at); });
}

void QelbinBuilder::definition(const Cell& parent, uint32_t position, const uint8_t* at) {
  record(parent);
  // A native or action leaves its spec block after it: cut away with the rest.
  const Type next = cells_in(parent) > position + 1 ? cell_type(cell_at(parent, position + 1)) : Type::none;
  const bool built_in = next == Type::native || next == Type::action;
  if (cells_in(parent) != position + 2 + (built_in ? 1 : 0)) in_.fail_at(at);
  Cell word = cell_at(parent, position);
  if (word.w1 == global_context()) word = context_add_word(word.w2, global_context());
  Cell* slot = block_context_slot(word.w1, word.w3, false);
  if (!slot) in_.fail_at(at);
  *slot = cell_at(parent, position + 1);
  value_clear_flag_30(*slot);
  block_truncate(make_cell(Type::block, 0, parent.w2), position);
}

}  // namespace qel

// qelbin-encode-support.cpp: the encoders' questions about values.
#include "loader/qelbin/qelbin-encode-support.h"

#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "datatypes/series/map.h"
#include "evaluator/eval-support.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/series.h"

namespace qel {

void qelbin_refuse_unwritable(const Cell& value) {
  const Type type = cell_type(value);
  const bool refused = type == Type::routine || type == Type::triple || type == Type::handle || type == Type::port ||
                       type == Type::event || type == Type::context || type == Type::symbol ||
                       type == Type::none_id || type > kHighestTypeId ||
                       (type == Type::op && op_wrapped_type(value) == Type::routine);
  if (refused) raise_error(error_id("access", "no-codec"), value);
}

Cell qelbin_word_owner(const Cell& word) { return context_owner(word.w1); }

WordBinding qelbin_word_binding(const Cell& word) {
  if (word.w1 == 0 || word.w1 == global_context()) return WordBinding::global;
  const Cell owner = qelbin_word_owner(word);
  switch (cell_type(owner)) {
    case Type::unset: case Type::none: case Type::block: return WordBinding::global;
    case Type::object: case Type::error: case Type::function: return WordBinding::owner;
    default: raise_error(error_id("access", "no-codec"), word);
  }
}

void qelbin_map_live_pairs(const Cell& map, const std::function<void(const Cell&, const Cell&)>& each) {
  const uint32_t cells = series_buffer_length(map.w2);
  for (uint32_t i = 0; i + 1 < cells; i += 2) {
    const Cell* pair = series_buffer(map.w2)->head_cell() + i;
    if (pair[1].header != 0) each(pair[0], pair[1]);
  }
}

uint32_t qelbin_map_record_count(const Cell& map) { return static_cast<uint32_t>(2 * map_count(map)); }

uint8_t qelbin_context_flags(NodeId context) {
  const Cell& header = context_cell(context);
  uint8_t flags = static_cast<uint8_t>(context_kind(context));
  if (context_on_stack(context)) return flags | 4 | (header.header & kContextFlag ? 8 : 0);
  if (header.header & kContextFlag) flags |= 8;
  const uint32_t length = context_length(context);
  const Cell* values = series_buffer(header.w2)->head_cell();
  for (uint32_t i = 0; i < length; ++i)
    if (cell_type(values[i]) != Type::unset) return flags | 16;
  return flags;
}

int32_t qelbin_hook_index(const Cell& object, int k) {
  if (object.w3 == 0) return -1;
  const Cell& record = series_buffer(object.w3)->head_cell()[k];
  return record.w1 == 0xFFFFFFFF ? -1 : static_cast<int32_t>(record.w1);
}

std::span<const uint8_t> qelbin_image_bytes(const Cell& image) {
  if (image.w2 == 0) return {};
  const ImageView view = image_pixels(image.w2);
  return {reinterpret_cast<const uint8_t*>(view.data), static_cast<size_t>(image_cell_pixels(image)) * 4};
}

const uint8_t* qelbin_series_bytes(NodeId node) { return series_buffer(node)->head_address(); }
uint32_t qelbin_series_units(NodeId node) { return series_buffer_length(node); }

}  // namespace qel

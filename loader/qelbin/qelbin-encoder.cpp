// qelbin-encoder.cpp: the walk both encoders share.
//
// Series, objects, functions and words' contexts are written in full the first time and as a
// reference to that first occurrence afterwards, so shared and cyclic values come back shared.
// Series are written whole from the start of their buffer, with the head index beside them.
#include "loader/qelbin/qelbin-encoder.h"

#include <cstring>

#include "evaluator/error.h"
#include "evaluator/eval-support.h"
#include "evaluator/function.h"
#include "loader/qelbin/qelbin-encode-support.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"

namespace qel {

void QelbinEncoder::value(const Cell& v) {
  check_stack_headroom();
  qelbin_refuse_unwritable(v);
  switch (cell_type(v)) {
    case Type::word: case Type::set_word: case Type::lit_word: case Type::get_word: case Type::refinement:
      word(v);
      break;
    case Type::native: case Type::action: native(v); break;
    case Type::op: op(v); return;  // the wrapped record counted the op!
    case Type::error: error(v); break;
    case Type::block: case Type::paren: case Type::path: case Type::lit_path: case Type::set_path:
    case Type::get_path: case Type::hash: case Type::string: case Type::file: case Type::url: case Type::tag:
    case Type::email: case Type::ref: case Type::binary: case Type::bitset: case Type::vector: case Type::map:
    case Type::object: case Type::function: case Type::image:
      referenced(v);
      break;
    default: scalar(v); break;
  }
  references_.count();
}

void QelbinEncoder::word(const Cell& v) {
  if (qelbin_word_binding(v) == WordBinding::global) return global_word(v);
  if (const auto found = references_.find(v.w1)) return word_reference(v, *found);
  const Cell owner = qelbin_word_owner(v);
  if (cell_type(owner) == Type::error) raise_error(error_id("access", "no-codec"), v);
  word_before_owner(v, owner);
  references_.push(v.w1);  // the owner's records count under the word
  if (cell_type(owner) == Type::object) object_fields(owner);
  else function_fields(owner);
  references_.pop();
}

// The spec's records count under the native's own index, and its block is never a reference
// target: a path to it would name the native, which a block reference may not take.
void QelbinEncoder::native(const Cell& v) {
  native_header(v);
  references_.push(0);
  spec_block_header();
  cells(v.w2);
  references_.pop();
}

void QelbinEncoder::op(const Cell& v) {
  op_header(v);
  Cell wrapped = v;
  wrapped.header = static_cast<uint32_t>(op_wrapped_type(v));
  value(wrapped);
}

// An error's fields are records 0 to 5 under it; an error is never written as a reference.
void QelbinEncoder::error(const Cell& v) {
  references_.push(v.w1);
  error_header(v);
  for (ErrorField field : {ErrorField::arg1, ErrorField::arg2, ErrorField::arg3, ErrorField::near, ErrorField::where,
                           ErrorField::stack})
    value(error_field(v, field));
  references_.pop();
}

void QelbinEncoder::referenced(const Cell& v) {
  const Type type = cell_type(v);
  const NodeId key = type == Type::object || type == Type::function ? v.w1 : v.w2;
  if (const auto found = references_.find(key)) return reference(v, *found);
  full_header(v);
  references_.push(key);
  content(v);
  references_.pop();
}

void QelbinEncoder::content(const Cell& v) {
  switch (cell_type(v)) {
    case Type::block: case Type::paren: case Type::path: case Type::lit_path: case Type::set_path:
    case Type::get_path: case Type::hash: return cells(v.w2);
    case Type::map:
      record_count(qelbin_map_record_count(v));
      qelbin_map_live_pairs(v, [&](const Cell& key, const Cell& item) {
        value(key);
        value(item);
      });
      return;
    case Type::object: return object_fields(v);
    case Type::function: return function_fields(v);
    default: return byte_content(v);
  }
}

// n and the cells of a block series from its start.
void QelbinEncoder::cells(NodeId node) {
  const uint32_t n = qelbin_series_units(node);
  record_count(n);
  for (uint32_t i = 0; i < n; ++i) value(series_buffer(node)->head_cell()[i]);
}

void QelbinEncoder::context_record(NodeId context) {
  const uint8_t flags = qelbin_context_flags(context);
  context_header(context, flags);
  if (!(flags & 16)) return;
  for (uint32_t i = 0, n = context_length(context); i < n; ++i)
    value(series_buffer(context_cell(context).w2)->head_cell()[i]);
}

void QelbinEncoder::object_fields(const Cell& object) {
  object_header(object);
  context_record(object.w1);
}

// The spec and the body are the function's records 0 and 1 whatever came before them.
void QelbinEncoder::function_fields(const Cell& function) {
  function_rooms(function);
  context_record(function.w1);
  const int32_t counter = references_.counter();
  references_.set_counter(0);
  value(make_cell(Type::block, 0, function.w2));
  value(*function_more_cell(function, kMoreBody));
  references_.set_counter(counter);
}

// The header and the body go straight into the binary!: the image is never assembled apart.
Cell qelbin_encoded(QelbinEncoder& encoder, const Cell& value) {
  std::vector<uint8_t> header;
  {
    NoGcScope no_collection;
    header = encoder.image_header(value);
  }
  const std::vector<uint8_t>& body = encoder.body();
  const size_t size = header.size() + body.size();
  const NodeId node = new_byte_series(static_cast<int64_t>(size));
  SeriesBuffer* buffer = series_buffer(node);
  std::memcpy(buffer->head_address(), header.data(), header.size());
  std::memcpy(buffer->head_address() + header.size(), body.data(), body.size());
  buffer->tail = buffer->head + static_cast<uint32_t>(size);
  return make_cell(Type::binary, 0, node);
}

}  // namespace qel

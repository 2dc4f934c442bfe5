// transcode-native.cpp: the transcode native's refinements over the lexer's entry points.
#include "evaluator/transcode-native.h"

#include <algorithm>

#include "datatypes/scalars/integer.h"
#include "datatypes/series/block-core.h"
#include "evaluator/lexer-callback.h"
#include "loader/lexer/lexer.h"
#include "runtime/action-entries.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

enum TranscodeRefinement { kNext, kOne, kPrescan, kScan, kPart, kInto, kTrace };

// The length /part gives: a count (negative = 0), or the distance to a position in a series of
// the source's own type; -1 without /part.
int64_t part_length(const Cell& source, const Cell* part) {
  if (!part) return -1;
  if (cell_type(*part) == Type::integer) return std::max<int64_t>(0, integer_value(*part));
  if (cell_type(*part) != cell_type(source)) raise_error(error_id("script", "not-same-type"));
  return std::max<int64_t>(0, static_cast<int64_t>(part->w1) - source.w1);
}

}  // namespace

Status native_transcode(const int32_t* refinements) {
  const Cell source = value_stack.base[0];
  const bool next = refinement_flag(refinements[kNext]);
  const bool prescan = refinement_flag(refinements[kPrescan]);
  const bool scan = refinement_flag(refinements[kScan]);
  const int64_t length = part_length(source, refinement_argument(refinements[kPart]));
  const Cell* trace = refinement_argument(refinements[kTrace]);
  LexerTracer tracer;
  LexerRequest request;
  request.one = next || scan || refinement_flag(refinements[kOne]);
  request.prescan = prescan;
  request.scan = scan;
  request.into = refinement_argument(refinements[kInto]);
  // Only a function! or routine! hears the events: another callback value traces nothing.
  if (trace && (cell_type(*trace) == Type::function || cell_type(*trace) == Type::routine)) {
    tracer = lexer_callback_tracer(*trace);
    request.tracer = &tracer;
  }
  Cell* out = stack_push_value(make_cell(Type::none));  // rooted while the scan runs
  const bool binary = cell_type(source) == Type::binary;
  LexerAnswer answer = binary ? lexer_load_binary(*out, source, length, request)
                              : lexer_load_string(*out, source, length, request);
  // A scan's answer is the verdict in place of the value.
  if (prescan || scan)
    *out = answer.type > 0 ? datatype_cell(static_cast<Type>(answer.type)) : make_cell(Type::none);
  if (!next) {
    stack_set_result(*out);
    return {};
  }
  // /next: the value (or the verdict) and the source past what was read.
  Cell rest = source;
  rest.w1 = static_cast<uint32_t>(source.w1 + (binary ? binary_bom_size(source, length) : 0) + answer.consumed);
  Cell pair;
  block_make_at(pair, 2);
  block_append_copy(pair, *out);
  block_append_copy(pair, rest);
  stack_set_result(pair);
  return {};
}

}  // namespace qel

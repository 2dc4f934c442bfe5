// parse-native.cpp: the parse native's refinements over the parse engine.
#include "evaluator/parse-native.h"

#include <algorithm>

#include "evaluator/parse-engine.h"
#include "runtime/action-entries.h"
#include "runtime/compiled-support.h"
#include "runtime/contexts.h"
#include "runtime/language-thread.h"
#include "datatypes/series/series.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

enum ParseRefinement { kCase, kPart, kTrace };

// The input position /part ends the input at: the index plus a count, or a position in the same
// series; never before the index (an empty range); -1 without /part.
int64_t part_limit(const Cell& input, const Cell* part) {
  if (!part) return -1;
  const int64_t index = series_clamped_index(input);
  int64_t limit;
  if (series_kind(cell_type(*part)) == SeriesKind::none) {
    limit = index + number_to_int32(*part);
  } else {
    // named by the word part, as the message reads "invalid part argument: ..."
    if (!series_same(input, *part))
      raise_invalid_refine_arg(make_cell(Type::word, 0, symbol_intern_cstring("part"), kUnresolved), *part);
    limit = series_clamped_index(*part);
  }
  return std::max(limit, index);
}

}  // namespace

Status native_parse(const int32_t* refinements) {
  check_stack_headroom();  // a paren may call parse again
  const Cell* trace = refinement_argument(refinements[kTrace]);
  // Only a function! or routine! hears the events: another callback value traces nothing.
  if (trace && cell_type(*trace) != Type::function && cell_type(*trace) != Type::routine) trace = nullptr;
  const ParseRequest request{value_stack.base[0], value_stack.base[1], refinement_flag(refinements[kCase]) ? 2 : 0,
                             part_limit(value_stack.base[0], refinement_argument(refinements[kPart])), trace};
  Cell result;
  ParseEngine engine(request);
  QEL_TRY(engine.run(result));
  stack_set_result_only(result);
  return {};
}

}  // namespace qel

// preprocessor-scan.cpp: the pre-scan of code for directives and the macro expansion limits.
#include "evaluator/preprocessor-scan.h"

#include <vector>

#include "datatypes/series/block-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/routine.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

// The series a scan has walked, as one bit per node id. Every do-file scans its code, and a
// loaded script is thousands of small blocks: a bit array kept between scans costs no allocation
// per series, and only the words a scan set are cleared after it (also when it raises).
class WalkedSeries {
 public:
  WalkedSeries() = default;
  WalkedSeries(const WalkedSeries&) = delete;
  WalkedSeries& operator=(const WalkedSeries&) = delete;
  ~WalkedSeries() {
    for (const uint32_t word : set_words_) bits_[word] = 0;
    set_words_.clear();
  }

  // False when the series was walked already.
  bool first_visit(NodeId node) {
    const uint32_t word = node / 64;
    const uint64_t bit = uint64_t{1} << (node % 64);
    if (word >= bits_.size()) bits_.resize(word + 1);
    if (bits_[word] & bit) return false;
    if (bits_[word] == 0) set_words_.push_back(word);
    bits_[word] |= bit;
    return true;
  }

 private:
  // Shared by every scan: one runs at a time, as a scan evaluates nothing.
  static inline std::vector<uint64_t> bits_;
  static inline std::vector<uint32_t> set_words_;
};

// Each series is looked at once, so a block holding itself ends.
bool directive_free_from(const Cell& block, uint32_t routine, WalkedSeries& walked) {
  check_stack_headroom();
  if (!walked.first_visit(block.w2)) return true;
  const uint32_t length = series_buffer_length(block.w2);
  const Cell* cells = series_buffer(block.w2)->head_cell();
  for (uint32_t i = block.w1; i < length; ++i) {
    const Cell& cell = cells[i];
    const Type type = cell_type(cell);
    if (type == Type::issue) return false;
    if (type == Type::word && symbol_canonical(cell.w2) == routine) return false;
    if ((type == Type::block || type == Type::paren) && !directive_free_from(cell, routine, walked)) return false;
  }
  return true;
}

RoutineResult directive_free_routine(Arguments arguments) { return {directive_free(*arguments[0].cell), 0}; }

// One expand's expansions: how many in all, and how many in a row at one position whose output
// was expanded again there (a macro expanding into a macro call, itself included).
constexpr int64_t kMostExpansions = 100000;
constexpr int64_t kMostNested = 1000;
struct Expansions {
  int64_t total = 0;
  int64_t in_a_row = 0;
  NodeId node = 0;
  uint32_t index = 0;
  bool produced = false;
} expansions;

RoutineResult reset_expansions(Arguments) {
  reset_macro_expansions();
  return {};
}

[[noreturn]] void expansion_limit() {
  constexpr std::string_view kWhat = "macro expansion";
  const Cell what = *string_from_utf8_strict({reinterpret_cast<const uint8_t*>(kWhat.data()), kWhat.size()});
  raise_error(error_id("internal", "limit-hit"), what);
}

RoutineResult count_expansion(Arguments arguments) {
  count_macro_expansion(*arguments[0].cell, arguments[1].integer, arguments[2].integer);
  return {};
}

}  // namespace

bool directive_free(const Cell& block) {
  WalkedSeries walked;
  return directive_free_from(block, symbol_canonical(symbol_intern_cstring("routine")), walked);
}

void count_macro_expansion(const Cell& position, int64_t produced, int64_t depth) {
  const bool again = expansions.produced && position.w2 == expansions.node && position.w1 == expansions.index;
  expansions.in_a_row = again ? expansions.in_a_row + 1 : 1;
  expansions.node = position.w2;
  expansions.index = position.w1;
  expansions.produced = produced > 0;
  if (++expansions.total > kMostExpansions || expansions.in_a_row > kMostNested || depth > kMostNested)
    expansion_limit();
}

void reset_macro_expansions() { expansions = {}; }

void register_preprocessor_routines() {
  register_routine_once("directive-free?", directive_free_routine);
  register_routine_once("reset-expansions", reset_expansions);
  register_routine_once("count-expansion", count_expansion);
}

}  // namespace qel

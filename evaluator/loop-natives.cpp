// loop-natives.cpp: while, until, loop, repeat, forever, foreach, forall and remove-each.
#include "evaluator/loop-natives.h"

#include "datatypes/scalars/truth.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/series.h"
#include "evaluator/eval-support.h"
#include "evaluator/interpreter.h"
#include "evaluator/loop-steps.h"
#include "runtime/call-stack.h"
#include "runtime/collector.h"
#include "runtime/compiled-support.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/services.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// What the step before a body evaluation tells the loop: go on, or end with the Status given
// (ok for a normal end).
struct Go {
  Go(bool on) : on(on) {}
  Go(Status passed) : on(false), passed(passed) {}
  bool on;
  Status passed;
};

// A step that always goes on.
constexpr auto always = [](auto...) { return true; };

// Opens the loop frame, named as the native's own frame, with an unset result until a body runs.
void open_loop_frame() {
  const CallFrame* native = stack_current_frame();
  stack_open_frame(native->symbol, native->word_context, kFrameLoop);
  stack_push_value(make_cell(Type::unset));
}

// Runs the loop in the open loop frame. Before each iteration (a safe point) `before` says whether
// to go on; then the body (held by the native's argument) is evaluated into the frame's result
// cell, from the frame's base and without a frame of its own, and `after(continued)`, run after a
// normal or a continued iteration, says whether to go on. The loop takes break (ending
// it, *broke set) and continue whichever carrier brings them: a Status, or the exception of a
// change hook that a set-word fired. Any other code is answered as a Status, the stacks already
// unwound to its target; errors go on as exceptions. When the answer is ok the loop frame is
// still current.
template <class Before, class After>
Status run_loop(const Cell& body, Before before, After after, bool* broke = nullptr) {
  for (;;) {
    gc_safepoint();
    bool stop = false;
    const Caught caught = catch_site(kThrowBreak, [&]() -> Status {
      const Go go = before();
      if (!go.on) {
        stop = true;
        return go.passed;
      }
      stack_reset_top();
      QEL_TRY(eval_block_into(body, value_stack.base));
      stop = !after(false);
      return {};
    });
    if (caught.taken == kThrowBreak) {
      if (broke) *broke = true;
      return {};
    }
    if (caught.taken == kThrowContinue) stop = !after(true);
    else if (caught.taken) return Status{caught.taken};
    if (!caught.passed.ok() || stop) return caught.passed;
  }
}

// Opens the loop frame and runs the loop; unless a code passes on, closes the frame with its
// result copied into the native's result cell.
template <class Before, class After>
Status loop_with_result(const Cell& body, Before before, After after) {
  open_loop_frame();
  QEL_TRY(run_loop(body, before, after));
  stack_close_frame_copy();
  return {};
}

// The result of a loop whose count leaves nothing to do.
Status none_result() {
  stack_set_result(make_cell(Type::none));
  return {};
}

// Pushes the hidden cells of foreach and remove-each: the series cursor (its index clamped),
// then the word or word block.
void push_series_and_words(const Cell& words, const Cell& series) {
  Cell* cursor = stack_push_value(series);
  series_clamp_index(*cursor);
  stack_push_value(words);
}

// The number of loop words of foreach and remove-each; a word block must hold only words.
uint32_t loop_word_count(const Cell& words) {
  if (cell_type(words) != Type::block) return 1;
  loop_words_check(words);
  return static_cast<uint32_t>(block_length(words));
}

// The step of foreach and remove-each that assigns the next group: false at the tail.
bool next_group(uint32_t n, bool many) { return many ? foreach_next_multi(n) : foreach_next(); }

}  // namespace

// while cond body: always unset, also after break/return.
Status native_while(const int32_t*) {
  Cell* const args = value_stack.base;
  open_loop_frame();
  const auto test = [&]() -> Go {
    stack_reset_top();
    const Status status = eval_block_into(args[0], value_stack.base);
    if (status.code() == kThrowBreak || status.code() == kThrowContinue) raise_error(error_id("throw", "while-cond"));
    if (!status.ok()) return status;
    return condition_true();
  };
  QEL_TRY(run_loop(args[1], test, always));
  stack_close_frame();
  stack_set_result(make_cell(Type::unset));
  return {};
}

// until body: until the body's value is truthy; continue skips the test.
Status native_until(const int32_t*) {
  Cell* const args = value_stack.base;
  return loop_with_result(args[0], always, [](bool continued) { return continued || !condition_true(); });
}

// loop count body: none when the count is 0 or less.
Status native_loop(const int32_t*) {
  Cell* const args = value_stack.base;
  const int32_t count = number_to_int32(args[0]);  // a float! truncated; beyond 32 bits type-limit
  if (count <= 0) return none_result();
  int32_t done = 0;
  return loop_with_result(args[1], [&] { return done++ < count; }, always);
}

// repeat 'word count body: the word (in its own context) counts 1 to count; none, the word
// untouched, when the count is 0 or less.
Status native_repeat(const int32_t*) {
  Cell* const args = value_stack.base;
  const int32_t count = number_to_int32(args[1]);
  if (count <= 0) return none_result();
  int32_t counter = 0;
  const auto next = [&] {
    if (counter == count) return false;
    word_set_integer(args[0], ++counter);
    return true;
  };
  return loop_with_result(args[2], next, always);
}

// forever body: until break or another exit.
Status native_forever(const int32_t*) {
  return loop_with_result(value_stack.base[0], always, always);
}

// foreach 'word series body: unset for an empty series.
Status native_foreach(const int32_t*) {
  Cell* const args = value_stack.base;
  const bool many = cell_type(args[0]) == Type::block;
  const uint32_t n = loop_word_count(args[0]);
  push_series_and_words(args[0], args[1]);
  return loop_with_result(args[2], [&] { return next_group(n, many); }, always);
}

// forall 'word body: the word's series moves on by one after each iteration. After a normal end
// the word holds the series where it started; after break, where it was.
Status native_forall(const int32_t*) {
  Cell* const args = value_stack.base;
  const Cell start = *word_value_read(args[0]);
  if (!forall_series(start))
    raise_error(error_id("script", "expect-arg"), stack_caller_name(), datatype_cell(cell_type(start)),
                services().function_spec_arg_word(0));
  const Cell* saved = stack_push_value(start);
  open_loop_frame();
  bool broke = false;
  if (!series_at_tail(start))
    QEL_TRY(run_loop(args[1], always, [&](bool) { return !forall_step(args[0], *saved); }, &broke));
  if (!broke) word_set(args[0], *saved);
  stack_close_frame_copy();
  return {};
}

// remove-each 'word data body: removes each group whose iteration ends truthy; the result is the
// data at its starting index, also after break.
Status native_remove_each(const int32_t*) {
  Cell* const args = value_stack.base;
  const bool many = cell_type(args[0]) == Type::block;
  const uint32_t n = loop_word_count(args[0]);
  stack_push_value(make_cell(Type::none));  // the counter
  push_series_and_words(args[0], args[1]);
  open_loop_frame();
  remove_each_set_count();
  const auto remove = [](bool continued) {
    if (!continued) remove_each_remove();
    return true;
  };
  QEL_TRY(run_loop(args[2], [&] { return next_group(n, many); }, remove));
  stack_close_frame();
  stack_set_result(args[1]);
  return {};
}

}  // namespace qel

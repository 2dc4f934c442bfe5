// exit-natives.cpp: throw and catch on the user-throw code, and try on the error code.
#include "evaluator/exit-natives.h"

#include "evaluator/error.h"
#include "evaluator/interpreter.h"
#include "evaluator/trace.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/halt-exit.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// The word `name`, which the invalid-refine-arg error of catch names.
Cell name_word() { return make_cell(Type::word, 0, symbol_intern_cstring("name"), kUnresolved); }

// The name of the console's catch, which Ctrl+C's halt is thrown to.
Cell console_word() { return make_cell(Type::word, 0, symbol_intern_cstring("console"), kUnresolved); }

// catch/name's argument: a word, or a block of words only.
void check_catch_names(const Cell& names) {
  if (cell_type(names) != Type::block) return;
  SeriesBuffer* buffer = series_buffer(names.w2);
  for (uint32_t i = names.w1; i < series_buffer_length(names.w2); ++i)
    if (cell_type(buffer->head_cell()[i]) != Type::word)
      raise_error(error_id("script", "invalid-refine-arg"), name_word(), names);
}

// Whether a throw's name matches catch/name's word or one of its words, up to letter case. An
// unnamed throw (name none) matches no name. The block was checked on entry, but the body may
// have changed it since: only its words count.
bool catch_names_match(const Cell& names, const Cell& thrown) {
  if (cell_type(thrown) != Type::word) return false;
  const uint32_t wanted = symbol_canonical(thrown.w2);
  if (cell_type(names) == Type::word) return symbol_canonical(names.w2) == wanted;
  SeriesBuffer* buffer = series_buffer(names.w2);
  for (uint32_t i = names.w1; i < series_buffer_length(names.w2); ++i) {
    const Cell& entry = buffer->head_cell()[i];
    if (cell_type(entry) == Type::word && symbol_canonical(entry.w2) == wanted) return true;
  }
  return false;
}

// Whether a catch on the stack, below any try/all, takes a throw of that name: one without /name
// takes any, one with /name its names only. The catch's native frame holds its block and, when
// named, its names: the cells from its base up to the catch frame's own.
bool some_catch_takes(const Cell& name) {
  return find_exit_target([&](const CallFrame& frame) {
           if (frame_kind(frame) != FrameKind::catch_) return false;
           const Cell* native_base = stack_cell_at(frame.saved_base);
           return frame_own_base(&frame) - native_base < 2 || catch_names_match(native_base[1], name);
         }) != nullptr;
}

}  // namespace

// try block /all /keep: an error in block becomes the answer, an error! value. With /all every
// other exit that reaches it does too (their unwinders raise throw errors at a try/all frame);
// without it break, continue, return, exit and throw go on to their targets. With /keep the
// error's stack holds the call words.
Status native_try(const int32_t* refinements) {
  const bool all = refinements[0] >= 0;
  const bool keep = refinements[1] >= 0;
  const Cell block = value_stack.base[0];
  const Caught caught = trap_errors([&] { return eval_block(block, false); }, all ? kFrameTryAll : kFrameTry);
  if (caught.taken != 0 && caught.taken != kThrowError) return Status{caught.taken};
  Cell answer = *stack_last_value();
  if (caught.taken == kThrowError && keep) error_complete(answer);
  stack_set_result_only(answer);
  return {};
}

// throw value /name word: to the innermost catch that takes it, or a throw error where it is
// thrown when none does, so the innermost try around the throw hears of it (and not a catch of
// other names further out, such as the console's).
Status native_throw(const int32_t*) {
  if (trace_enabled) [[unlikely]] trace_fire_throw(value_stack.base[0]);
  const Cell name = value_stack.top > value_stack.base + 1 ? value_stack.base[1] : make_cell(Type::none);
  if (!some_catch_takes(name)) raise_error(error_id("throw", "throw"), value_stack.base[0]);
  return unwind_throw(kThrowUser);
}

// catch block /name word: the value of a throw in block, else block's value. With /name only a
// throw named by the word (or one of a block's words) is caught; another is thrown on, with its
// value and name, from this native's frame. A catch named console also takes Ctrl+C's halt, as
// the throw of halt-request that it stands for. Taking a throw clears the throw mark, so the next
// error names its own caller.
Status native_catch(const int32_t* refinements) {
  const int32_t name_at = refinements[0];
  if (name_at >= 0) check_catch_names(value_stack.base[name_at]);
  const bool console = name_at >= 0 && catch_names_match(value_stack.base[name_at], console_word());
  const bool nested = console && halt_target_open();
  const Cell block = value_stack.base[0];
  Cell* const native_base = value_stack.base;
  stack_open_frame(anon_symbol(), 0, console ? kFrameCatch | kFrameConsoleMark : kFrameCatch);
  const auto body = [&] { return eval_block(block, true); };
  const Caught caught = catch_site(kThrowUser, [&] { return console ? take_halt(nested, body) : body(); });
  QEL_TRY(caught.passed);
  if (caught.taken == kThrowUser && name_at >= 0 && !catch_names_match(native_base[name_at], value_stack.base[1])) {
    const Cell value = value_stack.base[0];
    const Cell name = value_stack.base[1];
    stack_close_frame();
    stack_set_result_only(value);
    stack_push_value(name);
    return unwind_throw(kThrowUser);
  }
  if (caught.taken == kThrowUser) {
    set_throw_mark(0);
    if (trace_enabled) [[unlikely]] trace_fire_catch(value_stack.base[0]);
  }
  stack_close_frame_copy();
  return {};
}

}  // namespace qel

// boot-runner.cpp: binding, evaluating and publishing the library's modules.
#include "evaluator/boot-runner.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unordered_set>

#include "datatypes/series/block-core.h"
#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "evaluator/library-code.h"
#include "evaluator/library-routines.h"
#include "evaluator/library-values.h"
#include "evaluator/scoped-restore.h"
#include "evaluator/system-object.h"
#include "evaluator/url-parser-service.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/action-entries.h"
#include "runtime/collector.h"
#include "runtime/contexts.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/language-thread.h"
#include "runtime/os.h"
#include "runtime/runtime-record.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

NodeId library = 0;
// The modules' blocks as the boot left them (bound, evaluated), for the boot check.
NodeId module_blocks = 0;

void mark_library_context() {
  if (library) collector_mark_context(library);
  if (module_blocks) collector_mark_block(module_blocks);
}

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

// Time spent in each phase, for QEL_BOOT_STATS: load is the image's decoding and the modules'
// binding to the library.
struct BootTimes {
  Milliseconds load{};
  Milliseconds evaluate{};
  Milliseconds bind{};
};

Cell* library_value(uint32_t slot) { return series_buffer(context_cell(library).w2)->head_cell() + slot; }

// The library context starts as a copy of every global word holding a value: the datatype
// words, natives, actions, typesets and operators the runtime made.
NodeId library_context_from_globals() {
  const uint32_t globals = context_length(global_context_node);
  NodeId context = context_make(globals, false, false, 0, 0);
  library = context;  // rooted before anything else is allocated
  module_blocks = 0;
  collector_remove_root(mark_library_context);
  collector_add_root(mark_library_context);
  for (uint32_t slot = 0; slot < globals; ++slot) {
    const Cell value = series_buffer(global_values_node)->head_cell()[slot];
    if (cell_type(value) == Type::unset) continue;
    const Cell word = *context_word_at(global_context_node, slot);
    context_set_value(context, word, value);
  }
  return context;
}

// Adds every word of the block, and of the blocks inside it, to the context.
void add_words_deep(const Cell& block, NodeId context, std::unordered_set<NodeId>& seen) {
  check_stack_headroom();
  if (!block.w2 || !seen.insert(block.w2).second) return;
  for (uint32_t i = 0; i < series_buffer_length(block.w2); ++i) {
    const Cell cell = series_buffer(block.w2)->head_cell()[i];
    if (is_any_word(cell_type(cell)))
      context_find_or_add(context, cell);
    else if (any_block_type(cell_type(cell)))
      add_words_deep(cell, context, seen);
  }
}

[[noreturn]] void boot_failure(std::string_view path, const Cell& error) {
  write_standard_error("boot failure in " + std::string(path) + ": " + formed_error_text(error) + "\n");
  quit_with_runtime_error(kErrorAssertionFailed, reinterpret_cast<uintptr_t>(&run_boot_modules));
}

// Binds one module's block to the library and evaluates it.
void run_module(std::string_view path, const Cell& block, BootTimes& times) {
  ScopedRestore<Cell*> stack_top(value_stack.top);
  Clock::time_point start = Clock::now();
  Caught caught = trap_errors([&] {
    std::unordered_set<NodeId> seen;
    add_words_deep(block, library, seen);
    bind_block_deep(block, library, false);
  });
  Clock::time_point loaded = Clock::now();
  times.load += loaded - start;
  if (!caught.taken)
    caught = trap_errors([&]() -> Status {
      QEL_TRY(eval_block(block, false));
      return {};
    });
  times.evaluate += Clock::now() - loaded;
  if (caught.taken == kThrowError) boot_failure(path, *stack_last_value());
}

// Every library slot holding a value becomes the global word's value.
void publish_library_values() {
  for (uint32_t slot = 0; slot < context_length(library); ++slot) {
    const Cell value = *library_value(slot);
    if (cell_type(value) != Type::unset) global_set_value(context_word_at(library, slot)->w2, value);
  }
}

// Binds the words of library code whose library slot stayed unset to the global context, in the
// block, the blocks inside it and the bodies of the library functions it holds.
void bind_unset_words_to_global(const Cell& block, std::unordered_set<NodeId>& seen) {
  check_stack_headroom();
  if (!block.w2 || !seen.insert(block.w2).second) return;
  for (uint32_t i = 0; i < series_buffer_length(block.w2); ++i) {
    Cell cell = series_buffer(block.w2)->head_cell()[i];
    const Type type = cell_type(cell);
    if (is_any_word(type) && cell.w1 == library && cell_type(*library_value(cell.w3)) == Type::unset) {
      cell.w1 = global_context_node;
      cell.w3 = static_cast<uint32_t>(context_find_or_add(global_context_node, cell));
      series_buffer(block.w2)->head_cell()[i] = cell;
    } else if (any_block_type(type)) {
      bind_unset_words_to_global(cell, seen);
    } else if (type == Type::function) {
      const Cell body = *function_more_cell(cell, kMoreBody);
      if (is_library_code(body.w2)) bind_unset_words_to_global(body, seen);
    } else if (type == Type::object && cell.w1 != global_context_node) {
      // The fields of library objects (the system object's functions among them).
      bind_unset_words_to_global(make_cell(Type::block, 0, context_cell(cell.w1).w2), seen);
    }
  }
}

void print_boot_stats(const BootTimes& times) {
  if (!std::getenv("QEL_BOOT_STATS")) return;
  std::fprintf(stderr, "boot: load %.2f ms, evaluate %.2f ms, bind %.2f ms\n", times.load.count(),
               times.evaluate.count(), times.bind.count());
}

}  // namespace

NodeId library_context() { return library; }

Cell library_module_blocks() {
  return module_blocks ? make_cell(Type::block, 0, module_blocks) : make_cell(Type::none);
}

void run_boot_modules(std::span<const std::string_view> paths) {
  // The boot collects normally unless asked to run under torture too.
  const bool torture = collector_torture();
  if (!collector_torture_at_boot()) collector_set_torture(false);
  BootTimes times;
  times.load = qelbin_boot_decode_time();
  register_system_routines();
  library_context_from_globals();
  open_routine_maker(library);
  GcRoot<Cell> blocks;
  block_make_at(*blocks, static_cast<int64_t>(paths.size()));
  {
    LibraryCodeScope library_code;
    for (uint32_t n = 0; n < paths.size(); ++n) {
      const Cell block = *literal_slot(n);  // the root block keeps it
      run_module(paths[n], block, times);
      *block_append_fresh_slot(*blocks) = block;
    }
    close_routine_maker(library);
  }
  module_blocks = blocks->w2;
  Clock::time_point start = Clock::now();
  publish_library_values();
  std::unordered_set<NodeId> seen;
  bind_unset_words_to_global(*blocks, seen);
  GcRoot<Cell> values(make_cell(Type::block, 0, context_cell(library).w2));
  bind_unset_words_to_global(*values, seen);
  cache_library_values(library);
  system_object_take_over();
  url_parser_take_over();
  times.bind = Clock::now() - start;
  print_boot_stats(times);
  collector_set_torture(torture);
}

void build_library() { run_boot_modules(runtime.boot_module_paths); }

}  // namespace qel

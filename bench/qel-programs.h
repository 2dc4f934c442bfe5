// qel-programs.h: timing a Qel program: a fresh runtime with every native, parse's stacks, the
// digests and the checksum and compression method words (and the library when asked), the
// set-up evaluated once, then each benchmark iteration evaluates the timed block.
#pragma once

#include <benchmark/benchmark.h>

#include <string_view>

#include "evaluator/boot-runner.h"
#include "runtime/boot-image.h"
#include "evaluator/checksum-native.h"
#include "evaluator/crypto.h"
#include "evaluator/interpreter.h"
#include "evaluator/native-table.h"
#include "evaluator/parse-stacks.h"
#include "loader/compression-methods.h"
#include "loader/lexer/lexer.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/exits.h"
#include "runtime/root-block.h"
#include "runtime/startup.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel::bench_support {

// Loads Qel text into a rooted block.
inline Cell load_rooted(std::string_view text) {
  Cell block;
  (void)lexer_transcode(block, {reinterpret_cast<const uint8_t*>(text.data()), text.size()}, {});
  root_slot_append(block);
  return block;
}

// Evaluates a block with errors trapped; false when it raised or left by another exit (a
// program whose natives this build lacks).
inline bool evaluate(const Cell& block) {
  const Caught caught = trap_errors([&] { return eval_block(block, false); });
  stack_drop(1);
  return !caught.taken && caught.passed.ok();
}

// A fresh runtime with every native (the boot image's definitions) inside a native frame; with
// `library`, the library is built first, as start-up builds it.
inline void start_bench_runtime(bool library) {
  restart_with_datatypes();
  init_native_entries();
  init_parse();
  crypt_provider_acquire();
  init_checksum_methods();
  init_compression_methods();
  decode_linked_boot_image();
  if (library) build_library();
  stack_open_native_frame(context_add_word(symbol_intern_cstring("bench"), global_context()));
}

inline void run_qel_program(benchmark::State& state, std::string_view setup, std::string_view program,
                            bool library = false) {
  start_bench_runtime(library);
  const Cell setup_block = load_rooted(setup);
  const Cell timed = load_rooted(program);
  if (!evaluate(setup_block)) state.SkipWithError("set-up failed: natives missing");
  for (auto _ : state)
    if (!evaluate(timed)) state.SkipWithError("program failed: natives missing");
}

}  // namespace qel::bench_support

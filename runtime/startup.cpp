// startup.cpp: the start-up sequence. Each step is built here or is a named stand-in that the
// subsystem owning it replaces with its own init.
#include "runtime/startup.h"

#include <xmmintrin.h>

#include <algorithm>
#include <new>
#include <string_view>
#include <vector>

#include "runtime/action-entries.h"
#include "runtime/call-stack.h"
#include "runtime/collector.h"
#include "runtime/console-output.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/extref.h"
#include "runtime/extres.h"
#include "runtime/hash-table.h"
#include "runtime/memory.h"
#include "runtime/os.h"
#include "runtime/ownership.h"
#include "runtime/print-hooks.h"
#include "runtime/quit.h"
#include "runtime/root-block.h"
#include "runtime/runtime-record.h"
#include "runtime/runtime-symbols.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/throw.h"

namespace qel {

namespace {

std::vector<const char*> recorded_steps;

void run_steps(std::span<const StartStep> steps) {
  for (const auto& step : steps) {
    recorded_steps.push_back(step.name);
    step.run();
  }
}

void nothing() {}

void set_boot_flag() { runtime.boot_flag = true; }
void stdio_init() {
  services().crypt_provider_acquire();
  console_output_init();
}
void random_init() { services().random_init(); }
void native_and_module_inits() {
  services().init_native_entries();
  services().init_parse();
  ownership_table_init();
  services().init_checksum_methods();
  services().init_compression_methods();
  services().init_call();
}
// The symbol block and the cycle stack (the value and call stacks are fixed arrays of their
// own), and the marking of every hash table from here on.
void stack_blocks() {
  hash_tables_init();
  cycle_stack_init();
  symbol_block_init();
}
void init_lexer_tables() { services().init_lexer_tables(); }
void decode_boot_image() { services().qelbin_decode_boot(runtime.boot_image, runtime.boot_image_size); }
void init_lexer() { services().init_lexer(); }

constexpr StartStep kRuntimeSteps[] = {
    {"boot-flag", set_boot_flag},
    {"print-hooks-init", print_hooks_init},
    {"stdio-init", stdio_init},
    {"random-init", random_init},
    {"memory-init", memory_init},
    {"extres-init", extres_init},
    {"datatype-tables", datatype_tables_init},
    {"register-datatypes", register_datatypes},
    {"action-entries", init_action_entries},
    {"first-frames", memory_first_frames},
    {"root-block", root_block_init},
    {"stack-blocks", stack_blocks},
    {"global-context", global_context_init},
    {"case-tables-init", nothing},
    {"symbol-hash-table", symbol_table_init},
    {"datatype-words", datatype_table_make_words},
    {"runtime-symbols", runtime_symbols_init},
    {"native-and-module-inits", native_and_module_inits},
    {"init-stacks", init_stacks},
    {"init-lexer-tables", init_lexer_tables},
    {"qelbin-decode-boot", decode_boot_image},
    {"init-lexer", init_lexer},
    {"extref-init", extref_init},
    {"init-collector", collector_init},
};

void enable_collection() {
  collector_enable(true);
  runtime.boot_flag = false;
}
void build_library() { services().build_library(); }
// This build has no GUI back end to give event! its actions; the type still gets its name, so
// its word molds as event! and the errors that name it say so.
void init_event_datatype() { register_datatype(Type::event, Type::none_id, "event!", ActionRow()); }
void launch() { services().launch(); }
void quit_success() { quit_return(0); }

constexpr StartStep kEntryFinishSteps[] = {
    {"enable-collection", enable_collection},
    {"build-library", build_library},
    {"init-event-datatype", init_event_datatype},
    {"launch", launch},
    {"quit", quit_success},
};

}  // namespace

void under_root_catch(const std::function<void()>& body) {
  try {
    Caught caught = catch_site(kLevelRoot, body);
    if (caught.taken)
      quit_with_runtime_error(kErrorNoCatchForThrow, reinterpret_cast<uintptr_t>(&under_root_catch));
  } catch (const std::bad_alloc&) {
    quit_with_runtime_error(kErrorOutOfMemory, 0);
  } catch (...) {
    quit_with_runtime_error(kErrorAssertionFailed, 0);
  }
}

std::span<const StartStep> runtime_start_steps() { return kRuntimeSteps; }

void restart_memory() {
  constexpr std::string_view kMemorySteps[] = {
      "memory-init",       "extres-init",     "first-frames", "root-block",  "stack-blocks", "global-context",
      "symbol-hash-table", "datatype-words", "runtime-symbols", "init-stacks", "init-lexer-tables", "init-lexer",
      "extref-init",       "init-collector"};
  extres_release_all();
  memory_release_all();
  for (const auto& step : kRuntimeSteps)
    if (std::find(std::begin(kMemorySteps), std::end(kMemorySteps), step.name) != std::end(kMemorySteps)) step.run();
  ownership_table_init();  // the one memory step among the module inits
  collector_enable(true);
}
void restart_with_datatypes() {
  restart_memory();
  datatype_tables_init();
  register_datatypes();
  init_action_entries();
  // The tables were cleared after the memory steps made their name words: made again, a type
  // names itself (type?/word) as it does after a full start.
  datatype_table_make_words();
}

std::span<const StartStep> entry_finish_steps() { return kEntryFinishSteps; }
std::span<const char* const> steps_run() { return recorded_steps; }

void start_runtime() {
  static bool started = false;
  if (started) return;
  started = true;
  run_steps(kRuntimeSteps);
}

bool float_state_is_sound() {
  constexpr unsigned kAllMasked = _MM_MASK_MASK;       // bits 7-12
  constexpr unsigned kRounding = _MM_ROUND_MASK;       // bits 13-14; 0 is round to nearest
  unsigned csr = _mm_getcsr();
  return (csr & kAllMasked) == kAllMasked && (csr & kRounding) == _MM_ROUND_NEAREST;
}

void program_entry(int argc, char** argv) {
  if (!float_state_is_sound()) quit_with_runtime_error(kErrorAssertionFailed, 0);
  os_start(argc, argv);
  under_root_catch([] {
    start_runtime();
    run_steps(kEntryFinishSteps);
  });
  quit_return(0);
}

}  // namespace qel

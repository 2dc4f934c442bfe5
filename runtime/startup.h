// startup.h: the entry body and the runtime initialisation, as ordered tables of named steps.
#pragma once

#include <functional>
#include <span>

namespace qel {

struct StartStep {
  const char* name;
  void (*run)();
};

// The runtime initialisation's steps in order, and the entry body's steps that follow it.
std::span<const StartStep> runtime_start_steps();
std::span<const StartStep> entry_finish_steps();

// Runs the runtime initialisation once; a second call does nothing.
void start_runtime();

// Gives all series memory back and runs the memory steps of the runtime initialisation again
// (memory, external resources, first frames, root block, the symbol block, global context,
// symbol table, datatype words and runtime symbols, empty stacks, the lexer's buffers and
// trace-support cell, extref, collector, the ownership table), then enables collection: a fresh heap for tests and benchmarks.
void restart_memory();

// restart_memory, then the datatype tables, every registration and the action entries afresh
// (benchmarks and tools that need the whole runtime).
void restart_with_datatypes();

// The names of the steps run so far, in order (for tests and diagnostics).
std::span<const char* const> steps_run();

// The entry body on the language thread: machine state, OS layer, runtime, library, console;
// ends the process (status 0 when the console's launch returns).
[[noreturn]] void program_entry(int argc, char** argv);

// The root catch: a code no catch site took ends the process with runtime error 95,
// std::bad_alloc with 94, any other exception with 98.
void under_root_catch(const std::function<void()>& body);

// Checks the floating-point state the runtime relies on: every exception masked, round to nearest.
bool float_state_is_sound();

}  // namespace qel

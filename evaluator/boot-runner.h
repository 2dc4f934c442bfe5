// boot-runner.h: building the library at start-up: each module block the boot image left in
// the literal table is bound to the library's private context and evaluated in order; the
// library's values then become the global words.
//
// Library code and scripts see one set of values at first, but not the same words: a module's
// words are bound to the library context, which no script word reaches, so redefining a global
// word changes what scripts see and never what library code calls. Only a word the library
// leaves without a value (one it expects the user or a later subsystem to define) is bound to
// the global context once the boot ends.
#pragma once

#include <span>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// The build_library service: the modules of the boot image start-up decoded (the runtime
// record names them), then the end-of-boot binding.
void build_library();

// Evaluates the modules in order, literal n being the block of the module at paths[n], then
// binds: every library slot holding a value is copied into
// the global context (the same cell, so aliases stay the same value), and the words of library
// code whose library slot is still unset are bound to the global context. A module that fails
// prints "boot failure in <path>: " and the formed error on stderr and ends the process with
// runtime error 98.
void run_boot_modules(std::span<const std::string_view> paths);

// The library's context (0 before the boot).
NodeId library_context();

// A block of the modules' blocks as the last boot left them, in module order; none before it.
Cell library_module_blocks();

}  // namespace qel

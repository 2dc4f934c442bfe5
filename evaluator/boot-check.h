// boot-check.h: checks of the library source that a boot alone would not catch.
//
// A routine must name a C++ entry the routine table declares, and library code must not depend
// on a word that nothing defines: such a word is found only when the code runs. Words the library
// expects a user or a later subsystem to define are listed on an allow-list (boot/unset-words).
// Each finding is one line: "<module path>: <definition>: <what is wrong>", the definition being
// the set-word (or `set` word) that the code belongs to.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "evaluator/boot-source.h"

namespace qel {

// Lexes each module (without evaluating it) and reports each make-routine whose entry name is
// missing or is not in the routine table.
std::vector<std::string> check_routine_entries(std::span<const BootModule> modules);

// After a boot of the modules at these paths: reports each word in a function body of theirs that
// is neither the function's own, nor defined by the library, nor on the allow-list. The check
// walks the blocks the boot kept, so the paths only name the modules in the findings.
std::vector<std::string> check_unset_words(std::span<const std::string_view> paths, std::span<const std::string> allowed);

// Both checks, routines first.
std::vector<std::string> boot_check(std::span<const BootModule> modules, std::span<const std::string> allowed);

// The words of an allow-list text: one a line; blank lines and lines starting with ";" pass over.
std::vector<std::string> allow_list_words(std::string_view text);

}  // namespace qel

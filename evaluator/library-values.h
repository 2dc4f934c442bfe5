// library-values.h: the library's values as C++ reaches them.
//
// C++ never reads a library value through a global word: a script may give any global word
// another value (`system: none`) and the runtime must go on working. The library context keeps
// the values the library defined; the slots of the ones C++ needs are found once, at the end of
// the boot, and read from there.
#pragma once

#include <initializer_list>

#include "runtime/cell.h"

namespace qel {

// The library values C++ reads, by their words.
enum class LibraryValue : uint32_t { system, url_parser, show_memory_stats, preprocessor, do_file, count };

// Finds the slots of the values in the library context (the end of the boot).
void cache_library_values(NodeId library);
// Forgets them: memory is about to be restarted.
void forget_library_values();

// The value; none before the boot has ended or when the library does not define it.
Cell library_value(LibraryValue which);

// A field of a library object (preprocessor/expand); none when the object or the field is not
// there.
Cell library_field(LibraryValue object, const char* name);

// The value at the end of a path of field names from the system object (system/catalog/errors
// is {"catalog", "errors"}); none when the system object is not there yet or a step is not an
// object holding that field.
Cell system_field(std::initializer_list<const char*> path);

// The cell of such a field, to write it in place; null when it cannot be reached.
Cell* system_field_cell(std::initializer_list<const char*> path);

}  // namespace qel

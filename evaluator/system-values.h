// system-values.h: the values the system object holds for the error and port layers, built at
// start-up from the runtime's own tables and rooted until that object takes them over: the error
// catalog (system/catalog/errors), the error prototype (system/standard/error), the settings
// system/state/stack-trace and system/state/source-files, the port prototypes
// (system/standard/port, url-parts and scheme, every field none) and the schemes block
// (system/schemes: scheme name words each followed by its scheme object; empty at first). Once
// the boot has made the system object, each is read from its field there, so a script that
// changes the field changes what those layers do.
//
// The catalog is an object of one object per category, in catalog order; each holds `code`
// (integer!), `type` (the string! reports show) and one field per id whose value is its message:
// a string!, the word of an error field, or a block of strings and field words (get-words where
// the catalog writes them so).
#pragma once

#include <string_view>

#include "runtime/cell.h"

namespace qel {

// Builds the values (the language's initial settings: stack-trace 1, source-files an empty
// block) and roots them in the root block.
void system_values_init();
// Forgets the values: memory is about to be restarted (the datatypes are registered again).
void system_values_forget();
// The seed values in start-up order (catalog, error prototype, stack-trace, source files, port,
// url-parts and scheme prototypes, schemes): the system object takes these very values.
Cell system_values_seed(uint32_t position);
inline constexpr uint32_t kSystemValueCount = 8;
// Lets the seed go once the system object holds the values (its root slots become none).
void system_values_release();

// A catalog message as the language reads it: a string!, the word of an error field, or a block
// of strings and field words.
Cell catalog_message_value(std::string_view message);

// The values: the system object's fields once it exists, else the seed; none before
// system_values_init, except stack-trace, which reads its initial 1.
Cell system_error_catalog();
Cell system_standard_error();
Cell system_stack_trace();
Cell system_source_files();
Cell system_standard_port();
Cell system_standard_url_parts();
Cell system_standard_scheme();
Cell system_schemes();

// A new string! of UTF-8 text.
Cell text_of(std::string_view text);

}  // namespace qel

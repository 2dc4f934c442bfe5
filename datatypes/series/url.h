// url.h: url! (type 9, parent string!), a resource locator, and file! (type 8, parent url!), a
// file path in the language's own form (forward slashes; on this system the POSIX path itself).
//
// Both are text values (string.h) that differ from string! in their molds, their make and to from
// blocks, their path steps and their I/O actions, which hand the work to the services of the
// file, HTTP and port layers (runtime/services.h) after refusing what those do not take.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// url-init and file-init: register the two types with their action rows (url! first: file!'s
// parent).
void url_init();
void file_init();

// --- url! ---------------------------------------------------------------------------------------

// make and to: a url! from a block!, paren! or hash! is joined from its formed elements:
// element 1 "://" element 2, ":" and an integer! third element as the port, then "/" before
// each further element ("#" before an issue!). An empty block raises script bad-to-arg. Any
// other spec, and every file! target, is string!'s make and to.
Cell* url_make(Cell& type, Cell& spec, Type type_id);
Cell* url_to(Cell& type, Cell& spec, Type type_id);
// The text percent-encoded by the locator table, "(" and ")" escaped too (they end a url!
// token); with /part it stops once the budget is used.
int32_t url_mold(const Cell& value, Cell& output, bool only, bool all, bool flat, bool part, int32_t limit,
                 int32_t indent);
// base/selector: a new value of the base's type, the selector's formed text joined with exactly
// one "/"; a set raises script bad-path-set.
Cell* url_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step);

// --- file! --------------------------------------------------------------------------------------

// "%" and the text, within double quotes when it holds a code point up to U+007E that the
// locator table escapes, or ":", "@", "(" or ")" (which end an unquoted file token), or a
// name byte U+DC80-U+DCFF; inside them "^" is "^^", a double quote "^(22)", a control its caret
// escape and a name byte "^(DCxx)", so the mold loads back as the same file.
int32_t file_mold(const Cell& value, Cell& output, bool only, bool all, bool flat, bool part, int32_t limit,
                  int32_t indent);

// file-path-to-local: the OS form of the path appended to a text: the path itself (POSIX), a
// relative one after the current directory when `prefix_current_dir`.
void file_path_to_local(const Cell& file, NodeId output, bool prefix_current_dir);
// file-current-dir: the process's current directory as a string! ending in "/".
Cell file_current_dir();
// OS names are bytes, mostly but not always UTF-8. A byte outside any well-formed sequence
// stands in a file! as the lone surrogate U+DC00 + byte (80-FF), which no decoded UTF-8 can
// give, so every name the OS hands out comes back to it unchanged.
inline constexpr uint32_t kNameByteBase = 0xDC00;
inline constexpr uint32_t kFirstNameByteChar = kNameByteBase + 0x80;
inline constexpr uint32_t kLastNameByteChar = kNameByteBase + 0xFF;

// file-to-os-path: the path in OS form as NUL-terminated UTF-8 (relative paths stay relative),
// U+DC80-U+DCFF as their single bytes. A path holding U+0000 or any other surrogate cannot reach
// the OS: script invalid-arg naming the file.
std::string file_to_os_path(const Cell& file);
// An OS name (a listing entry, a directory, a script's name) as a new file!: its well-formed
// UTF-8 decoded, every other byte as U+DC00 + byte.
Cell file_from_os_name(std::string_view name);
// A new block! of such file! values, one per name, in order.
Cell files_from_os_names(const std::vector<std::string>& names);
// file-push: a copy of the value on the value stack.
Cell* file_push(const Cell& file);

}  // namespace qel

// dir-listing.h: directory names and directory listings.
#pragma once

#include "runtime/cell.h"

namespace qel {

// dir-name?: whether a file! names a directory by its spelling: it ends in "/", or is "." or
// "..", or ends in "/." or "/..". Only "/" separates; a backslash is an ordinary character.
bool dir_name(const Cell& file);

// os-read-dir: a new block! of file! values, one per entry of the directory (not "." and ".."),
// a directory's (links followed) ending in "/", sorted by the names' bytes. A directory that
// cannot be listed raises access cannot-open naming the file. The file! given is not changed.
Cell os_read_dir(const Cell& file);

}  // namespace qel

// file-entries.h: what the file layer does to entries as wholes: their date, deleting,
// renaming, making directories, whether they exist, and the current directory.
#pragma once

#include "runtime/cell.h"

namespace qel {

// os-query-file: the entry's last modification as a UTC date! to the millisecond, without a
// zone; none when it is missing, or named as a directory (a trailing "/") and is none.
Cell os_query_file(const Cell& file);

// os-delete: a dir-name removes an empty directory, any other name a file (or link); whether
// it was removed.
bool os_delete(const Cell& file);

// os-rename: moves the entry to the new name unless something is there already (nothing is
// ever replaced) or it would cross devices; whether it moved.
bool os_rename(const Cell& file, const Cell& new_name);

// os-make-dir: makes the one directory named (0777 under the umask); false when it exists or
// its parent does not.
bool os_make_dir(const Cell& file);

// os-file-exists?: whether an entry is there, a link that leads nowhere included.
bool os_file_exists(const Cell& file);

// The process's current directory as a file! ending in "/"; none when it cannot be found.
Cell current_dir_file();
// Makes the directory current; false when it cannot be entered.
bool change_current_dir(const Cell& file);

}  // namespace qel

// path.h: the path family: path! (type 25, parent block!) and its variants lit-path!, set-path!
// and get-path! (parent path!), blocks of steps written with "/" between them.
#pragma once

#include <cstdint>

#include "runtime/cell.h"

namespace qel {

// path-push and its kin: a copy of a block-like value, retyped as `type` (a path type or
// paren!), pushed on the value stack; answers the pushed cell.
Cell* path_push(const Cell& value, Type type);
// path-make-at: an empty path! with room for `capacity` steps (at least 1), into the cell.
void path_make_at(Cell& cell, int64_t capacity);

// path-init, lit-path-init, set-path-init, get-path-init: the registrations.
void path_init();
void lit_path_init();
void set_path_init();
void get_path_init();

}  // namespace qel

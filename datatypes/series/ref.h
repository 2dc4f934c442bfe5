// ref.h: ref! (type 50, parent string!), a reference written after "@". The value holds what
// follows the "@"; form writes the text, mold "@" and the text.
#pragma once

#include "runtime/cell.h"

namespace qel {

// ref-init: registers ref! (random, path steps, the bitwise actions, append, sort and trim
// unsupported; insert works).
void ref_init();

// ref-push: a copy of the value on the value stack.
Cell* ref_push(const Cell& ref);

}  // namespace qel

// tag.h: tag! (type 44, parent string!), text written between angle brackets. The value holds
// what stands between them; form and mold write them back around it, without quotes or escapes.
#pragma once

#include "runtime/cell.h"

namespace qel {

// tag-init: registers tag! (random, the bitwise actions, sort and trim unsupported).
void tag_init();

// tag-form (also its mold): "<", the text (within a /part budget less one), ">".
int32_t tag_form(const Cell& value, Cell& output, bool part, int32_t limit);

// tag-push: a copy of the value on the value stack.
Cell* tag_push(const Cell& tag);

}  // namespace qel

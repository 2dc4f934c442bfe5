// email.h: email! (type 45, parent string!), an address with a user and a host part around its
// first "@". Form and mold write the address as it is.
#pragma once

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// email-init: registers email! (random, the bitwise actions, sort and trim unsupported).
void email_init();

// email-path-step: an integer! selector is string!'s path step; `user` and `host` read the text
// before and after the first "@" as a new string! (without one: the whole text, and an empty
// one), and set them through string! change in the email's own buffer; any other selector
// raises script invalid-path.
Cell* email_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step);

// email-push: a copy of the value on the value stack.
Cell* email_push(const Cell& email);

}  // namespace qel

// paren.h: paren! (type 6, parent block!), an expression group written between parentheses.
#pragma once

namespace qel {

// paren-init: registers paren! with block!'s actions but its own mold and no trim.
void paren_init();

}  // namespace qel

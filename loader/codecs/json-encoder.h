// json-encoder.h: values to JSON text.
#pragma once

#include "runtime/cell.h"

namespace qel {

// json-encode: a new string! of the value as JSON. `indent` is none for compact text, or the
// string written once per level of a pretty layout; with `ascii` every character outside
// U+0020-U+007F (but DEL) is escaped. By type: none null; logic! true or false; integer!; float!
// and percent! (its fraction) in their shortest text that reads back to the same double (a NaN
// or infinity raises script invalid-arg naming it); strings escaped; any-block values as
// arrays; map! and object! as objects, keys from their words (a word key formed, another
// non-string key molded); other text types formed and anything else molded, as strings.
// A series met again inside itself raises internal no-cycle; nesting past the cycle stack's
// room raises internal too-deep.
Cell json_encode(const Cell& value, const Cell& indent, bool ascii);

}  // namespace qel

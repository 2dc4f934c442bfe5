// triple.h: triple!, a cell of three signed 32-bit integers (payload words 1-3) that forms and
// molds as "make triple! [1 -2 3]" and does nothing else. Its type byte also marks the lexer's
// open constructs, so no loader ever makes a triple.
#pragma once

namespace qel {

void register_triple_datatype();

}  // namespace qel

// json-decoder.h: JSON text to values: arrays to block!, objects to map!, strings, numbers,
// true, false and null.
#pragma once

#include "runtime/cell.h"

namespace qel {

// Nesting deeper than this raises internal too-deep: the decoder keeps its levels in an
// explicit stack, so this bounds memory, not the machine stack.
inline constexpr size_t kJsonMaxNesting = 100000;

// json-decode: the one JSON value the text holds from its index, white space (space, tab, CR,
// LF) around it. Object keys that spell a word become word! keys, others stay strings; keys are
// told apart by letter case. Numbers without fraction or exponent that fit 32 bits are
// integer!, others float! (correctly rounded; beyond float! range raises math overflow).
// Text that is no JSON answers an error! value (not raised) whose message names the line, the
// index and column of the last good position and the text near it. An escape of a high
// surrogate without its low half raises script invalid-data naming the string's text.
Cell json_decode(const Cell& text);

}  // namespace qel

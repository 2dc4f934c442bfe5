// word-text-scan.h: reading a word from text for make and to of the word family.
#pragma once

#include "runtime/cell.h"

namespace qel {

// The one value a string! (from its index) or a char! spells, read by the lexer; none! when the
// text holds more than one value or anything but blanks follows it.
Cell scan_word_text(const Cell& text, Type target);

}  // namespace qel

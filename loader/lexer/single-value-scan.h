// single-value-scan.h: reading one value from text, for make and to of words and of scalars.
#pragma once

#include "runtime/cell.h"

namespace qel {

// Which datatypes a caller takes from text.
using WantedType = bool (*)(Type type);

// The one value a string! (from its index) or a char! spells, read by the lexer, when it is of
// a wanted type; none! when the text holds no value, anything but blanks follows the first one,
// the lexer refuses it, or it is of another type. The text is scanned first (nothing made, no
// syntax error raised) and only a wanted value is loaded.
Cell scan_single_value(const Cell& text, WantedType wanted);

// The same when the value must be of `target`.
Cell scan_single_value_as(const Cell& text, Type target);

// The same with the shape of the word family's text scanner: words of kinds word! to get-word!
// (the target kind is theirs to set).
Cell scan_word_text(const Cell& text, Type target);

}  // namespace qel

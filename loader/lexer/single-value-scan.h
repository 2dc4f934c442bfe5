// single-value-scan.h: reading one value from text, for make and to of words and percent!.
#pragma once

#include "runtime/cell.h"

namespace qel {

// The one value a string! (from its index) or a char! spells, read by the lexer; none! when the
// text holds no value, or anything but blanks follows the first one.
Cell scan_single_value(const Cell& text);

// The same when a check of the text finds a value of `target` first; none! (and no syntax
// error) when it does not.
Cell scan_single_value_as(const Cell& text, Type target);

// The same with the shape of the word family's text scanner (the target kind is theirs to set).
Cell scan_word_text(const Cell& text, Type target);

}  // namespace qel

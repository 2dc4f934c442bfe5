// text-columns.h: how many columns of a terminal's row a character or a text takes.
#pragma once

#include <cstddef>
#include <string_view>

namespace qel {

// The columns a terminal gives a character: 0 for combining marks and other characters that
// join the one before, 2 for wide ones (East Asian wide and fullwidth forms, most emoji), else 1.
int character_columns(char32_t code);

// The columns UTF-8 text takes when written from the start of a row: control sequences
// (ESC [ ... final byte) and other control characters take none, a tab reaches the next multiple
// of 8, ill-formed bytes take one each (a terminal shows each as a replacement character).
size_t text_columns(std::string_view utf8);

}  // namespace qel

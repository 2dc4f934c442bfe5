// money-text.h: the one grammar of money amounts in text, for money! tokens and for to money!.
#pragma once

#include <optional>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// Which text: a token (the dollar sign always written, a comma may stand for the point, at most
// five fraction digits) or a string given to `to` (the dollar sign optional without a currency,
// fraction digits beyond the fifth cut off).
enum class MoneyTextKind : bool { token, string };

// An optional sign, an optional three-letter currency code before "$", then digits with single
// apostrophes between them and an optional fraction after the point. The money! it spells, or
// none for malformed text, an unknown currency or more than 17 significant integer digits.
std::optional<Cell> read_money_text(std::u32string_view text, MoneyTextKind kind);

}  // namespace qel

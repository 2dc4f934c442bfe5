// locale-defaults.h: what the locale and option services answer until the system object holds
// them: the twelve English month names, the currency codes in their fixed order, and the
// default money digits.
#pragma once

#include "runtime/cell.h"

namespace qel {

// A block of the month names "January" ... "December", made once per runtime and rooted.
Cell locale_default_months();
// A block of the 170 currency code words (AED ... ZMW), made once per runtime and rooted.
Cell locale_default_currencies();
// The integer! 2.
Cell options_default_money_digits();

}  // namespace qel

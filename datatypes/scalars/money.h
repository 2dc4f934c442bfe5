// money.h: money!, an exact decimal amount with five decimal places and an optional currency,
// held whole in one cell as 22 packed BCD digits: cell access, constructors, conversions, the
// sign tests and the arithmetic other types route here.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

// --- The cell ---------------------------------------------------------------------------------------
// Header bit 14 is the sign (a zero amount may carry it: -$0 behaves as $0); byte 4 the currency
// index (0 none, else the 1-based position in the locale's currency list); bytes 5-15 the amount,
// 22 BCD digits most significant first: 17 integer digits and 5 fraction digits.
inline constexpr uint32_t kMoneySignBit = 0x4000;
inline constexpr int kMoneyAmountBytes = 11;
inline constexpr int kMoneyFractionDigits = 5;
inline constexpr int kMoneyIntegerDigits = 17;

// Amounts are worked on as unsigned integers counting units of 0.00001 (below 10^22).
using MoneyUnits = unsigned __int128;
inline constexpr MoneyUnits kMoneyUnitsPerWhole = 100000;
inline constexpr MoneyUnits kMoneyUnitsLimit = MoneyUnits(10000000000000000000u) * 1000;  // 10^22

MoneyUnits money_units(const Cell& money);
bool money_negative_bit(const Cell& money);
inline uint32_t money_currency(const Cell& money) { return money.w1 & 0xFF; }
inline void money_set_currency(Cell& money, uint32_t index) { money.w1 = (money.w1 & ~0xFFu) | (index & 0xFF); }

// A money! cell of the units (below 10^22), the sign bit and the currency index.
Cell* money_set(Cell& cell, MoneyUnits units, bool negative, uint32_t currency);
// From the codec's fields: the sign (0/1), the currency index and the 11 amount bytes as stored.
Cell* money_make_at(Cell& cell, int sign, uint32_t currency, const uint8_t* amount);
Cell* money_push(int sign, uint32_t currency, const uint8_t* amount);
int money_sign(const Cell& money);  // the sign bit as 0/1

// -1, 0 or 1; an all-zero amount is 0 whatever its sign bit.
int32_t money_sign_of(const Cell& money);
inline bool money_negative(const Cell& money) { return money_sign_of(money) < 0; }
inline bool money_zero(const Cell& money) { return money_sign_of(money) == 0; }
inline bool money_positive(const Cell& money) { return money_sign_of(money) > 0; }

// --- Currencies ----------------------------------------------------------------------------------------

// The 1-based position (1-255) of a currency word in the locale's list, by canonical symbol; -1
// when it is absent or stands past position 255, which a cell cannot hold.
int32_t money_find_currency(const Cell& word);
// The list's word at the index, or none.
Cell money_currency_word(uint32_t index);

// --- Conversions -----------------------------------------------------------------------------------------

Cell* money_from_integer(Cell& cell, int32_t value);
// The double's shortest round-trip digits, the fraction cut after five; script bad-make-arg
// (money!, value) for NaN, infinities and magnitudes of 18 integer digits or more.
Cell* money_from_float(Cell& cell, double value);
// The units of a finite double's shortest digits (below 10^17 in magnitude), the fraction cut
// after five digits; `cut` tells whether nonzero digits were dropped.
MoneyUnits money_units_of_double(double value, bool& cut);
// All 22 digits, correctly rounded.
double money_to_float(const Cell& money);
// The integer part with the sign; script type-limit (integer!) outside 32 bits.
int32_t money_to_integer(const Cell& money);

// A money! from its text parts: sign, currency code (empty for none), integer digits (at most 17
// significant) and fraction digits (cut after five); none for an unknown currency or too many
// integer digits.
std::optional<Cell> money_from_text_parts(bool negative, std::u32string_view currency, std::u32string_view whole,
                                          std::u32string_view fraction);

// --- Arithmetic --------------------------------------------------------------------------------------------

// value1 op value2 into value1 (add, subtract, multiply, divide, remainder) with one or both
// operands money!: the others converted from integer!, float! or percent!.
void money_math(Cell& value1, Cell& value2, int32_t op);
// compare of a money! with another value under a comparison code.
int32_t money_compare(const Cell& money, const Cell& other, int32_t code);
// The compare of a number with a money! (the money on the right).
int32_t money_compare_reversed(const Cell& number, const Cell& money, int32_t code);

void register_money_datatype();

}  // namespace qel

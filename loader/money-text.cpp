// money-text.cpp: reading money amounts.
#include "loader/money-text.h"

#include <string>

#include "datatypes/scalars/money.h"

namespace qel {

namespace {

constexpr bool is_digit(char32_t c) { return c >= U'0' && c <= U'9'; }
constexpr bool is_ascii_letter(char32_t c) { return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z'); }

// digit+ ("'" digit+)*: where it ends, or npos.
size_t grouped_digits_end(std::u32string_view text, size_t at) {
  if (at >= text.size() || !is_digit(text[at])) return std::u32string_view::npos;
  while (at < text.size()) {
    if (is_digit(text[at])) ++at;
    else if (text[at] == U'\'' && at + 1 < text.size() && is_digit(text[at + 1])) ++at;
    else break;
  }
  return at;
}

}  // namespace

std::optional<Cell> read_money_text(std::u32string_view text, MoneyTextKind kind) {
  const bool token = kind == MoneyTextKind::token;
  size_t at = 0;
  bool negative = false;
  if (at < text.size() && (text[at] == U'-' || text[at] == U'+')) negative = text[at++] == U'-';
  std::u32string_view currency;
  if (at < text.size() && is_ascii_letter(text[at])) {
    if (text.size() < at + 4 || text[at + 3] != U'$') return std::nullopt;
    currency = text.substr(at, 3);
    for (char32_t c : currency)
      if (!is_ascii_letter(c)) return std::nullopt;
    at += 4;
  } else if (at < text.size() && text[at] == U'$') {
    ++at;
  } else if (token) {
    return std::nullopt;
  }
  size_t whole_end = grouped_digits_end(text, at);
  if (whole_end == std::u32string_view::npos) return std::nullopt;
  std::u32string whole;
  for (size_t i = at; i < whole_end; ++i)
    if (text[i] != U'\'') whole.push_back(text[i]);
  std::u32string_view fraction;
  at = whole_end;
  if (at < text.size() && (text[at] == U'.' || (token && text[at] == U','))) {
    size_t first = ++at;
    while (at < text.size() && is_digit(text[at])) ++at;
    fraction = text.substr(first, at - first);
    if (fraction.empty() || (token && fraction.size() > 5)) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return money_from_text_parts(negative, currency, whole, fraction);
}

}  // namespace qel

// parse-keywords.h: the keywords of the parse dialect and the words the engine names in its
// errors and tracer events.
//
// A rule word is a keyword when its symbol's canonical id (letter case ignored) is one of the 29
// keyword symbols; `only` counts only after `insert` and `change`, `pick` only after `keep` and
// `after` only after `collect`, which the engine checks where it reads them.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/cell.h"

namespace qel {

enum class Keyword : uint8_t {
  none_,  // not a keyword
  any, break_, copy, end, fail, into, opt, not_, quote, case_, reject, set, skip, some, thru, to, none,
  bar, if_, remove, while_, insert, only, collect, keep, pick, ahead, after, change,
};
inline constexpr size_t kKeywordCount = static_cast<size_t>(Keyword::change) + 1;

// The tracer's events, in the order of their words.
enum class ParseEvent : uint8_t { push, pop, fetch, match, iterate, paren, end };

// Interns the keyword symbols (`|` and `change` are not among the runtime's own) and makes the
// global words of the keywords and events; part of init-parse.
void parse_keywords_init();

// The keyword of each symbol id met so far (kKeywordUnknown for ids not looked at yet), so that
// a rule word costs one load; the slow route fills it from the canonical ids.
inline constexpr uint8_t kKeywordUnknown = 0xFF;
extern std::vector<uint8_t> parse_keyword_by_spelling;
Keyword parse_keyword_of_symbol(uint32_t symbol);

// The keyword a word! names, or Keyword::none_ (any other value is no keyword).
inline Keyword parse_keyword_of(const Cell& rule) {
  if (cell_type(rule) != Type::word) return Keyword::none_;
  if (rule.w2 < parse_keyword_by_spelling.size() && parse_keyword_by_spelling[rule.w2] != kKeywordUnknown) [[likely]]
    return static_cast<Keyword>(parse_keyword_by_spelling[rule.w2]);
  return parse_keyword_of_symbol(rule.w2);
}

// The global word of a keyword, for error arguments and tracers.
const Cell& parse_keyword_word(Keyword keyword);
// The global word of a tracer event.
const Cell& parse_event_word(ParseEvent event);
// The word <parse-callback>, which names the tracer's call frame.
const Cell& parse_callback_word();

}  // namespace qel

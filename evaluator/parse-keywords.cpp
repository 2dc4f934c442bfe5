// parse-keywords.cpp: the keyword table of the parse dialect, by canonical symbol id.
#include "evaluator/parse-keywords.h"

#include <array>
#include <vector>

#include "runtime/contexts.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The spelling of each keyword, in the order of the enum.
constexpr const char* kKeywordNames[kKeywordCount] = {
    "",     "any",  "break",  "copy",  "end",   "fail",   "into",    "opt",  "not",     "quote",
    "case", "reject", "set",  "skip",  "some",  "thru",   "to",      "none", "|",       "if",
    "remove", "while", "insert", "only", "collect", "keep", "pick",  "ahead", "after", "change",
};

constexpr const char* kEventNames[] = {"push", "pop", "fetch", "match", "iterate", "paren", "end"};

// Keyword by canonical symbol id; ids past its end name no keyword.
std::vector<Keyword> keyword_by_symbol;
std::array<Cell, kKeywordCount> keyword_words{};
std::array<Cell, std::size(kEventNames)> event_words{};
Cell callback_word{};

}  // namespace

std::vector<uint8_t> parse_keyword_by_spelling;

void parse_keywords_init() {
  keyword_by_symbol.clear();
  parse_keyword_by_spelling.clear();
  for (size_t k = 1; k < kKeywordCount; ++k) {
    const uint32_t symbol = symbol_intern_cstring(kKeywordNames[k]);
    const uint32_t canonical = symbol_canonical(symbol);
    if (canonical >= keyword_by_symbol.size()) keyword_by_symbol.resize(canonical + 1, Keyword::none_);
    keyword_by_symbol[canonical] = static_cast<Keyword>(k);
    keyword_words[k] = global_add_word(symbol);
  }
  for (size_t e = 0; e < std::size(kEventNames); ++e) event_words[e] = word_from_c_string(kEventNames[e]);
  callback_word = word_from_c_string("<parse-callback>");
}

Keyword parse_keyword_of_symbol(uint32_t symbol) {
  const uint32_t canonical = symbol_canonical(symbol);
  const Keyword keyword = canonical < keyword_by_symbol.size() ? keyword_by_symbol[canonical] : Keyword::none_;
  if (symbol >= parse_keyword_by_spelling.size()) parse_keyword_by_spelling.resize(symbol + 1, kKeywordUnknown);
  parse_keyword_by_spelling[symbol] = static_cast<uint8_t>(keyword);
  return keyword;
}

const Cell& parse_keyword_word(Keyword keyword) { return keyword_words[static_cast<size_t>(keyword)]; }
const Cell& parse_event_word(ParseEvent event) { return event_words[static_cast<size_t>(event)]; }
const Cell& parse_callback_word() { return callback_word; }

}  // namespace qel

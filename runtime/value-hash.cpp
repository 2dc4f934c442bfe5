// value-hash.cpp: the hash of each datatype, one row per group of types.
#include "runtime/value-hash.h"

#include <array>

#include "datatypes/series/string-core.h"
#include "runtime/murmur-hash.h"
#include "runtime/series-buffer.h"
#include "runtime/type-table.h"
#include "runtime/symbols.h"
#include "runtime/text-hash.h"

namespace qel {

namespace {

Cell money_as_is(const Cell& money) { return money; }
MoneyNormaliser money_normaliser = money_as_is;

// Payload words p to q (1-based) of a cell, hashed as bytes.
template <int p, int q>
uint32_t payload_bytes(const Cell& value) {
  const uint32_t words[] = {value.w1, value.w2, value.w3};
  return hash_bytes(words + (p - 1), (q - p + 1) * sizeof(uint32_t));
}

// Bytes of a series value from its index to its tail.
uint32_t series_bytes(const Cell& value) {
  SeriesBuffer* buffer = series_buffer(value.w2);
  uint32_t length = buffer->tail - buffer->head;
  uint32_t index = value.w1 < length ? value.w1 : length;
  return hash_bytes(buffer->head_address() + index, length - index);
}

// tuple!: its bytes from payload word 1 on, up to the last non-zero one within its length
// (header bits 19-22): 1.2.3 and 1.2.3.0 compare equal, so they must hash alike.
uint32_t tuple_bytes(const Cell& value) {
  uint32_t length = (value.header >> 19) & 0xF;
  const auto* bytes = reinterpret_cast<const uint8_t*>(&value.w1);
  if (length > 12) length = 12;
  while (length > 0 && bytes[length - 1] == 0) --length;
  return hash_bytes(bytes, length);
}

uint32_t money_bytes(const Cell& value) {
  Cell normal = money_normaliser(value);
  return hash_bytes(&normal, sizeof normal);
}

// date!: the calendar date (the packed word shifted past the zone, time flag cleared) and the
// time double, as its equality reads them: a date without a time and the same date at 0:00 are
// equal, in any zone with the same stored time.
uint32_t date_bytes(const Cell& value) {
  const uint32_t words[] = {(value.w1 & ~(uint32_t{1} << 16)) >> 7, value.w2, value.w3};
  return hash_bytes(words, sizeof words);
}

enum class Rule : uint8_t { zero, unset, none, word1, word2, word3, canonical, symbol, bytes12, bytes23, bytes123,
                            tuple, binary, text, money, date };

constexpr TypeRow<Rule> kRuleRows[] = {
    {Type::unset, Rule::unset},        {Type::none, Rule::none},
    {Type::datatype, Rule::word1},     {Type::logic, Rule::word1},      {Type::object, Rule::word1},
    {Type::error, Rule::word1},        {Type::port, Rule::word1},
    {Type::char_, Rule::word2},        {Type::integer, Rule::word2},    {Type::map, Rule::word2},
    {Type::handle, Rule::word2},       {Type::event, Rule::word2},
    {Type::native, Rule::word3},       {Type::action, Rule::word3},
    {Type::word, Rule::canonical},     {Type::set_word, Rule::canonical},  {Type::lit_word, Rule::canonical},
    {Type::get_word, Rule::canonical}, {Type::refinement, Rule::canonical}, {Type::issue, Rule::canonical},
    {Type::symbol, Rule::symbol},
    {Type::block, Rule::bytes12},      {Type::paren, Rule::bytes12},    {Type::path, Rule::bytes12},
    {Type::lit_path, Rule::bytes12},   {Type::set_path, Rule::bytes12}, {Type::get_path, Rule::bytes12},
    {Type::hash, Rule::bytes12},       {Type::point2d, Rule::bytes12},  {Type::image, Rule::bytes12},
    {Type::float_, Rule::bytes23},     {Type::pair, Rule::bytes23},     {Type::percent, Rule::bytes23},
    {Type::time, Rule::bytes23},
    {Type::op, Rule::bytes123},        {Type::function, Rule::bytes123}, {Type::triple, Rule::bytes123},
    {Type::typeset, Rule::bytes123},   {Type::date, Rule::date},    {Type::point3d, Rule::bytes123},
    {Type::tuple, Rule::tuple},        {Type::binary, Rule::binary},
    {Type::string, Rule::text},        {Type::file, Rule::text},        {Type::url, Rule::text},
    {Type::tag, Rule::text},           {Type::email, Rule::text},       {Type::ref, Rule::text},
    {Type::money, Rule::money},
};

constexpr std::array<Rule, kTypeTableRows> kRules = type_table(Rule::zero, kRuleRows);

}  // namespace

void set_money_hash_normaliser(MoneyNormaliser normaliser) { money_normaliser = normaliser; }

uint32_t hash_string_value(const Cell& string, bool case_sensitive) {
  return hash_text(string_text(string), case_sensitive);
}

uint32_t value_hash(const Cell& value, bool case_sensitive) {
  uint32_t type = value.header & kTypeByteMask;
  switch (type < kTypeTableRows ? kRules[type] : Rule::zero) {
    case Rule::zero: return 0;
    case Rule::unset: return static_cast<uint32_t>(-2);
    case Rule::none: return static_cast<uint32_t>(-1);
    case Rule::word1: return word_hash(value.w1);
    case Rule::word2: return word_hash(value.w2);
    case Rule::word3: return word_hash(value.w3);
    case Rule::canonical: return word_hash(symbol_canonical(value.w2));
    case Rule::symbol: return hash_symbol_name(value);
    case Rule::bytes12: return payload_bytes<1, 2>(value);
    case Rule::bytes23: return payload_bytes<2, 3>(value);
    case Rule::bytes123: return payload_bytes<1, 3>(value);
    case Rule::tuple: return tuple_bytes(value);
    case Rule::binary: return series_bytes(value);
    case Rule::text: return hash_string_value(value, case_sensitive);
    case Rule::money: return money_bytes(value);
    case Rule::date: return date_bytes(value);
  }
  return 0;
}

}  // namespace qel

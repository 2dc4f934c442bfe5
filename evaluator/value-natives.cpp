// value-natives.cpp: same? with its identity rule per type, not, and type? (/word).
#include "evaluator/value-natives.h"

#include <cstring>

#include "datatypes/scalars/truth.h"
#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/datatype-registry.h"
#include "runtime/type-table.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// How same? tells two values of one type apart.
enum class SameRule : uint8_t {
  all_words,  // every payload word
  always,     // none! and unset!: one value each
  word1,      // the type id, the truth, the context
  word2,      // the number, the bitset's node
  words12,    // a series at an index; a native's or action's slot and spec
  words23,    // the 64 bits of a float, percent!, time!, or a pair's two halves; an op!'s wrapped value
  tuple,      // the same length (header bits 19-22) and the same bytes
  money,      // through the money comparison
};

// Types not listed compare every payload word.
constexpr TypeRow<SameRule> kSameRows[] = {
    {Type::none, SameRule::always},     {Type::unset, SameRule::always},
    {Type::datatype, SameRule::word1},  {Type::logic, SameRule::word1},     {Type::object, SameRule::word1},
    {Type::char_, SameRule::word2},     {Type::integer, SameRule::word2},   {Type::bitset, SameRule::word2},
    {Type::block, SameRule::words12},   {Type::paren, SameRule::words12},   {Type::hash, SameRule::words12},
    {Type::path, SameRule::words12},    {Type::lit_path, SameRule::words12}, {Type::set_path, SameRule::words12},
    {Type::get_path, SameRule::words12}, {Type::string, SameRule::words12}, {Type::file, SameRule::words12},
    {Type::url, SameRule::words12},     {Type::tag, SameRule::words12},     {Type::email, SameRule::words12},
    {Type::ref, SameRule::words12},     {Type::binary, SameRule::words12},  {Type::vector, SameRule::words12},
    {Type::image, SameRule::words12},   {Type::native, SameRule::words12},  {Type::action, SameRule::words12},
    {Type::point2d, SameRule::words12}, {Type::float_, SameRule::words23},  {Type::percent, SameRule::words23},
    {Type::pair, SameRule::words23},    {Type::time, SameRule::words23},    {Type::op, SameRule::words23},
    {Type::tuple, SameRule::tuple},     {Type::money, SameRule::money},
};

constexpr std::array<SameRule, kTypeTableRows> kSameRules = type_table(SameRule::all_words, kSameRows);

// Two tuples: equal lengths and equal bytes (a tuple keeps up to 12 bytes from payload word 1).
bool tuples_same(const Cell& a, const Cell& b) {
  const uint32_t length = (a.header >> 19) & 0xF;
  if (length != ((b.header >> 19) & 0xF)) return false;
  return std::memcmp(&a.w1, &b.w1, length <= 12 ? length : 12) == 0;
}

}  // namespace

bool values_same(const Cell& a, const Cell& b) {
  const Type type = cell_type(a);
  if (type != cell_type(b)) return false;
  switch (kSameRules[type_index(type)]) {
    case SameRule::all_words: return a.w1 == b.w1 && a.w2 == b.w2 && a.w3 == b.w3;
    case SameRule::always: return true;
    case SameRule::word1: return a.w1 == b.w1;
    case SameRule::word2: return a.w2 == b.w2;
    case SameRule::words12: return a.w1 == b.w1 && a.w2 == b.w2;
    case SameRule::words23: return a.w2 == b.w2 && a.w3 == b.w3;
    case SameRule::tuple: return tuples_same(a, b);
    case SameRule::money: return compare_values(a, b, kCompareSame);
  }
  return false;
}

// same? value1 value2
Status native_same(const int32_t*) {
  *value_stack.base = make_cell(Type::logic, values_same(value_stack.base[0], value_stack.base[1]));
  return {};
}

// not value: true for none! and logic! false only.
Status native_not(const int32_t*) {
  *value_stack.base = make_cell(Type::logic, !cell_truthy(value_stack.base[0]));
  return {};
}

// type? value /word: the value's datatype!, or with /word the word of its name.
Status native_type(const int32_t* refinements) {
  const Type type = cell_type(value_stack.base[0]);
  *value_stack.base = refinement_flag(refinements[0]) ? datatype_table[type_index(type)].name_word : datatype_cell(type);
  return {};
}

}  // namespace qel

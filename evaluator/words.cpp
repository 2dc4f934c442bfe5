// words.cpp: the word family's actions (form, mold, index?, make and to, compare) and the angle
// reduction shared by the trigonometric natives.
#include "evaluator/words.h"

#include <cmath>
#include <string>

#include "datatypes/scalars/compare-codes.h"
#include "datatypes/scalars/datatype.h"
#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/none.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/scalars/scalar-errors.h"
#include "datatypes/series/string-convert.h"
#include "datatypes/series/string-core.h"
#include "evaluator/spec-table.h"
#include "runtime/action-lookup.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/runtime-symbols.h"
#include "runtime/symbols.h"
#include "runtime/utf8.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

[[noreturn]] Cell scanner_stand_in(const Cell& text, Type target) { raise_bad_to_arg(target, text); }

WordTextScanner text_scanner = scanner_stand_in;

constexpr bool word_kind(Type type) { return type >= Type::word && type <= Type::issue; }
// word!, set-word!, lit-word! and get-word!: the kinds a spelling read as code may give.
constexpr bool plain_word_kind(Type type) { return type >= Type::word && type <= Type::get_word; }
constexpr bool word_or_lit_word(Type type) { return type == Type::word || type == Type::lit_word; }

// A word of the kind bound to the global context, its slot added when new.
Cell global_word(uint32_t symbol, Type kind) {
  Cell word = context_add_word(symbol, global_context());
  set_value_type_byte(word, kind);
  return word;
}

// The prefix and suffix a kind molds with.
struct Affixes {
  std::string_view prefix;
  std::string_view suffix;
};
constexpr Affixes affixes_of(Type type) {
  switch (type) {
    case Type::set_word: return {"", ":"};
    case Type::lit_word: return {"'", ""};
    case Type::get_word: return {":", ""};
    case Type::refinement: return {"/", ""};
    case Type::issue: return {"#", ""};
    default: return {"", ""};
  }
}

// Appends the spelling; answers the budget less the characters written.
int32_t write_spelling(const Cell& word, Cell& buffer, int32_t limit) {
  const UnitText text = symbol_text(word.w2);
  string_write_text(buffer.w2, 0, text, TextMode::append);
  return budget_less(limit, text.length);
}

int32_t word_form(const Cell& word, Cell& buffer, bool, int32_t limit) { return write_spelling(word, buffer, limit); }

// The spelling with the kind's prefix or suffix; every character written counts.
int32_t word_mold(const Cell& word, Cell& buffer, bool, bool, bool, bool, int32_t limit, int32_t) {
  const Affixes affixes = affixes_of(cell_type(word));
  limit = output_text(buffer, affixes.prefix, limit);
  limit = write_spelling(word, buffer, limit);
  return output_text(buffer, affixes.suffix, limit);
}

// index?: none for an unresolved word, else its slot + 1.
void word_index() {
  Cell& word = *value_stack.base;
  if (word.w3 == kUnresolved)
    none_make_at(word);
  else
    integer_make_at(word, static_cast<int32_t>(word.w3) + 1);
}

// The word a text spells (a word of kind 15 to 18), bound into the global context and retyped
// to the target; none! when the text spells anything else.
Cell word_from_text(const Cell& text, Type target) {
  Cell value = text_scanner(text, target);
  if (!plain_word_kind(cell_type(value))) return make_cell(Type::none);
  bind_word(global_context(), value);
  set_value_type_byte(value, target);
  return value;
}

// make and to of the word kinds, by the source value.
Cell* word_make(Cell& type, Cell& spec, Type target) {
  switch (cell_type(spec)) {
    case Type::datatype: {
      const std::string_view name = datatype_name(datatype_value(spec));
      type = global_word(symbol_intern_bytes(name.substr(0, name.size() - 1)), target);
      return &type;
    }
    case Type::logic:
      type = global_word(spec.w1 ? sym_true : sym_false, target);
      return &type;
    case Type::string:
    case Type::char_:
      type = word_from_text(spec, target);
      if (cell_type(type) == Type::none) raise_error(error_id("script", "invalid-chars"));
      return &type;
    case Type::refinement:
    case Type::issue: {
      // The spelling is read again: one that spells no word ("12", "[") cannot be converted.
      Cell text;
      string_make_at(text, 8);
      stack_push_value(text);
      string_write_text(text.w2, 0, symbol_text(spec.w2), TextMode::append);
      Cell word = word_from_text(text, target);
      if (cell_type(word) == Type::none) raise_bad_to_arg(target, spec);
      type = word;
      return &type;
    }
    default:
      if (!plain_word_kind(cell_type(spec))) raise_bad_to_arg(target, spec);
      type = spec;
      set_value_type_byte(type, target);
      return &type;
  }
}

// The UTF-8 text of a char! or of a string from its index.
std::string issue_text(const Cell& spec) {
  if (cell_type(spec) == Type::string) return string_to_utf8(spec);
  uint8_t bytes[4];
  return std::string(reinterpret_cast<const char*>(bytes), utf8_encode(integer_value(spec), bytes));
}

// make and to of issue!: text is interned unchanged, words are retyped.
Cell* issue_make(Cell& type, Cell& spec, Type target) {
  if (cell_type(spec) == Type::string || cell_type(spec) == Type::char_) {
    type = make_cell(Type::issue, global_context(), symbol_intern_bytes(issue_text(spec)), kUnresolved);
    return &type;
  }
  if (word_kind(cell_type(spec))) {
    type = spec;
    set_value_type_byte(type, Type::issue);
    return &type;
  }
  return word_make(type, spec, target);
}

// Equality under a code as 0 (equal) or 1.
constexpr int32_t equality(bool equal) { return equal ? 0 : 1; }

}  // namespace

void set_word_text_scanner(WordTextScanner scanner) { text_scanner = scanner ? scanner : scanner_stand_in; }

double angle_to_radians(double angle, int32_t mode) {
  constexpr double kPi = 3.141592653589793;
  double a = std::fmod(angle, 360.0);
  if (a > 180.0 || a < -180.0) a = a >= 0 ? a - 360.0 : a + 360.0;
  if (a > 90.0 || a < -90.0) {
    if (mode == 0) a = a >= 0 ? a - 180.0 : a + 180.0;
    if (mode == 2) a = a >= 0 ? 180.0 - a : -180.0 - a;
  }
  return a * kPi / 180.0;
}

int32_t word_compare(const Cell& value, const Cell& other, int32_t code) {
  const Type a = cell_type(value);
  const Type b = cell_type(other);
  if (!word_kind(b) || ((a == Type::issue) != (b == Type::issue))) return kNotComparable;
  const bool same_spelling = value.w2 == other.w2;
  const bool same_folded = symbol_canonical(value.w2) == symbol_canonical(other.w2);
  switch (code) {
    case kCompareSame:
      return equality(a == b && value.w1 == other.w1 && same_spelling);
    case kComparePathCase:
      if (word_or_lit_word(a) && word_or_lit_word(b)) return equality(same_spelling);
      return equality(a == b && same_spelling);
    case kCompareStrictEqual:
      return equality(a == b && same_spelling);
    case kComparePath:
      if (word_or_lit_word(a) && word_or_lit_word(b)) return equality(same_folded);
      return equality(a == b && same_folded);
    case kCompareEqual:
    case kCompareNotEqual:
    case kCompareFind:
      return equality(same_folded);
    default: {
      const Cell first = *symbol_cell(value.w2);
      const Cell second = *symbol_cell(other.w2);
      return symbol_compare(first, second, code);
    }
  }
}

void register_word_datatype() {
  register_datatype(Type::word, Type::symbol, "word!",
                    ActionRow()
                        .set<Act::Make>(word_make)
                        .set<Act::To>(word_make)
                        .set<Act::Form>(word_form)
                        .set<Act::Mold>(word_mold)
                        .set<Act::Compare>(word_compare)
                        .set<Act::IndexQ>(word_index));
}

// The kinds that take everything from word! but their mold.
template <Type Kind>
void register_word_kind(const char* name) {
  register_datatype(Kind, Type::word, name,
                    ActionRow()
                        .inherit<Act::Make>()
                        .inherit<Act::To>()
                        .inherit<Act::Form>()
                        .set<Act::Mold>(word_mold)
                        .inherit<Act::Compare>()
                        .inherit<Act::IndexQ>());
}

void register_set_word_datatype() { register_word_kind<Type::set_word>("set-word!"); }
void register_lit_word_datatype() { register_word_kind<Type::lit_word>("lit-word!"); }
void register_get_word_datatype() { register_word_kind<Type::get_word>("get-word!"); }
void register_refinement_datatype() { register_word_kind<Type::refinement>("refinement!"); }

void register_issue_datatype() {
  register_datatype(Type::issue, Type::word, "issue!",
                    ActionRow()
                        .set<Act::Make>(issue_make)
                        .set<Act::To>(issue_make)
                        .inherit<Act::Form>()
                        .set<Act::Mold>(word_mold)
                        .set<Act::Compare>(word_compare));  // an issue! compares only with an issue!
}

}  // namespace qel

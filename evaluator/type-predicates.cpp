// type-predicates.cpp: the 48 datatype predicates and the 14 typeset predicates, as routine
// entries answering a logic (return type code 4).
#include "evaluator/type-predicates.h"

#include <array>
#include <span>
#include <string_view>
#include <utility>

#include "datatypes/scalars/typeset.h"
#include "evaluator/routine.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

// Types are matched by id alone: `string?` of a file! is false.
template <Type type>
RoutineResult is_type(Arguments arguments) {
  return {cell_type(*arguments[0].cell) == type, 0};
}


constexpr NamedRoutine kDatatypePredicates[] = {
    {"bitset?", is_type<Type::bitset>},         {"binary?", is_type<Type::binary>},
    {"block?", is_type<Type::block>},           {"char?", is_type<Type::char_>},
    {"email?", is_type<Type::email>},           {"file?", is_type<Type::file>},
    {"float?", is_type<Type::float_>},          {"get-path?", is_type<Type::get_path>},
    {"get-word?", is_type<Type::get_word>},     {"hash?", is_type<Type::hash>},
    {"integer?", is_type<Type::integer>},       {"issue?", is_type<Type::issue>},
    {"lit-path?", is_type<Type::lit_path>},     {"lit-word?", is_type<Type::lit_word>},
    {"logic?", is_type<Type::logic>},           {"map?", is_type<Type::map>},
    {"none?", is_type<Type::none>},             {"pair?", is_type<Type::pair>},
    {"paren?", is_type<Type::paren>},           {"path?", is_type<Type::path>},
    {"percent?", is_type<Type::percent>},       {"refinement?", is_type<Type::refinement>},
    {"set-path?", is_type<Type::set_path>},     {"set-word?", is_type<Type::set_word>},
    {"string?", is_type<Type::string>},         {"tag?", is_type<Type::tag>},
    {"time?", is_type<Type::time>},             {"typeset?", is_type<Type::typeset>},
    {"tuple?", is_type<Type::tuple>},           {"unset?", is_type<Type::unset>},
    {"url?", is_type<Type::url>},               {"word?", is_type<Type::word>},
    {"image?", is_type<Type::image>},           {"date?", is_type<Type::date>},
    {"money?", is_type<Type::money>},           {"ref?", is_type<Type::ref>},
    {"point2D?", is_type<Type::point2d>},       {"point3D?", is_type<Type::point3d>},
    {"handle?", is_type<Type::handle>},         {"error?", is_type<Type::error>},
    {"action?", is_type<Type::action>},         {"native?", is_type<Type::native>},
    {"datatype?", is_type<Type::datatype>},     {"function?", is_type<Type::function>},
    {"object?", is_type<Type::object>},         {"op?", is_type<Type::op>},
    {"routine?", is_type<Type::routine>},       {"vector?", is_type<Type::vector>},
};

// The typeset predicates and the typeset word each reads.
struct TypesetPredicate {
  std::string_view name;
  std::string_view typeset;
};

constexpr TypesetPredicate kTypesetPredicates[] = {
    {"any-list?", "any-list!"},     {"any-block?", "any-block!"},   {"any-function?", "any-function!"},
    {"any-object?", "any-object!"}, {"any-path?", "any-path!"},     {"any-string?", "any-string!"},
    {"any-word?", "any-word!"},     {"series?", "series!"},         {"number?", "number!"},
    {"immediate?", "immediate!"},   {"scalar?", "scalar!"},         {"all-word?", "all-word!"},
    {"any-point?", "any-point!"},   {"planar?", "planar!"},
};
constexpr size_t kTypesetPredicateCount = std::size(kTypesetPredicates);

// The typeset words of this run, bound to their global slots.
std::array<Cell, kTypesetPredicateCount> typeset_words{};

// The typeset word's current value; an unset word or one holding anything but a typeset says
// nothing about types, so it is refused rather than read as a bitmap.
const Cell& current_typeset(size_t predicate) {
  const Cell& word = typeset_words[predicate];
  const Cell& value = *word_value_cell(word);
  if (cell_type(value) == Type::typeset) [[likely]] return value;
  if (cell_type(value) == Type::unset) raise_error(error_id("script", "no-value"), word);
  raise_error(error_id("script", "invalid-type"), datatype_cell(cell_type(value)));
}

template <size_t predicate>
RoutineResult in_typeset(Arguments arguments) {
  return {typeset_has(current_typeset(predicate), cell_type(*arguments[0].cell)), 0};
}

template <size_t... predicate>
constexpr std::array<RoutineFunction, sizeof...(predicate)> typeset_entries(std::index_sequence<predicate...>) {
  return {in_typeset<predicate>...};
}
constexpr auto kTypesetEntries = typeset_entries(std::make_index_sequence<kTypesetPredicateCount>());

}  // namespace

void register_type_predicates() {
  for (const NamedRoutine& predicate : kDatatypePredicates) register_routine_once(predicate.name, predicate.function);
  for (size_t i = 0; i < kTypesetPredicateCount; ++i) {
    typeset_words[i] = context_add_word(symbol_intern_bytes(kTypesetPredicates[i].typeset), global_context());
    register_routine_once(kTypesetPredicates[i].name, kTypesetEntries[i]);
  }
}

}  // namespace qel

// environment-natives.cpp: the environment natives on the OS layer's variables.
#include "evaluator/environment-natives.h"

#include <string>

#include "datatypes/series/block-core.h"
#include "datatypes/series/map.h"
#include "datatypes/series/string-convert.h"
#include "evaluator/eval-support.h"
#include "loader/text-from-bytes.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/os-environment.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// A variable's name: a word's spelling or a text's UTF-8.
std::string name_of(const Cell& var) {
  if (any_word_type(cell_type(var))) return std::string(symbol_name(var.w2));
  return string_to_utf8(var);
}

}  // namespace

Status native_set_env(const int32_t*) {
  const Cell& var = value_stack.base[0];
  const Cell& value = value_stack.base[1];
  const std::string name = name_of(var);
  if (cell_type(value) == Type::none) {
    if (!os_set_env(name, std::nullopt)) raise_error(error_id("script", "invalid-arg"), var);
  } else {
    const std::string text = string_to_utf8(value);
    if (text.find('\0') != std::string::npos) raise_error(error_id("script", "invalid-arg"), value);
    if (!os_set_env(name, text)) raise_error(error_id("script", "invalid-arg"), var);
  }
  stack_set_result_only(value_stack.base[1]);
  return {};
}

Status native_get_env(const int32_t*) {
  const std::optional<std::string> value = os_get_env(name_of(value_stack.base[0]));
  stack_set_result_only(value ? string_from_os_text(*value) : make_cell(Type::none));
  return {};
}

Status native_list_env(const int32_t*) {
  const auto variables = os_environment_list();
  const Cell pairs = *block_push_new(static_cast<int64_t>(2 * variables.size()));
  for (const auto& [name, value] : variables) {
    // One variable outside UTF-8 must not keep the others from being listed.
    for (const std::string& text : {name, value}) {
      GcRoot<Cell> item(string_from_os_text(text));
      block_append_copy(pairs, *item);
    }
  }
  Cell* map = stack_push_cell();
  map_make_at(*map, nullptr, static_cast<int64_t>(variables.size()));
  map_extend(*map, pairs, true);
  stack_set_result_only(*map);
  return {};
}

}  // namespace qel

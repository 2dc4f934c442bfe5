// system-values.cpp: the error catalog object, the error prototype and the error settings,
// built from the catalog table, and the port prototypes and schemes block, all rooted in the
// root block.
#include "evaluator/system-values.h"

#include <string_view>

#include "datatypes/scalars/integer.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/error.h"
#include "evaluator/object.h"
#include "evaluator/port.h"
#include "runtime/contexts.h"
#include "runtime/error-catalog.h"
#include "runtime/gc-root.h"
#include "runtime/root-block.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The root slots of the values, in this order, from `first_slot`.
enum SystemValue : uint32_t {
  kCatalog,
  kStandardError,
  kStackTrace,
  kSourceFiles,
  kStandardPort,
  kStandardUrlParts,
  kStandardScheme,
  kSchemes,
  kSystemValues
};
constexpr uint32_t kNotBuilt = UINT32_MAX;
uint32_t first_slot = kNotBuilt;

// The language's initial settings.
constexpr int32_t kInitialStackTrace = 1;
constexpr int64_t kSourceFilesRoom = 4;
constexpr int64_t kSchemesRoom = 10;

Cell value_at(SystemValue which) {
  return first_slot == kNotBuilt ? make_cell(Type::none) : *root_slot(first_slot + which);
}

// A word! of the spelling, bound to no context.
Cell word_of(std::string_view name, Type type = Type::word) {
  return make_cell(type, 0, symbol_intern_bytes(name), kUnresolved);
}

// A new string! of UTF-8 text.
Cell text_of(std::string_view text) {
  Cell string;
  string_load({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, string, TextEncoding::utf8);
  return string;
}

// A catalog message as the language reads it.
Cell message_value(std::string_view message) {
  MessageReader reader(message);
  MessagePart part;
  if (reader.shape() != MessageShape::block) {
    reader.next(part);
    return part.field ? word_of(part.text) : text_of(part.text);
  }
  GcRoot<Cell> block;
  block_make_at(*block, 4);
  while (reader.next(part)) {
    GcRoot<Cell> piece(part.field ? word_of(part.text, part.get ? Type::get_word : Type::word) : text_of(part.text));
    block_append_copy(*block, *piece);
  }
  return *block;
}

// Adds a field of that name and value to the object.
void add_field(const Cell& object, std::string_view name, const Cell& value) {
  GcRoot<Cell> kept(value);
  context_add_value(object.w1, word_of(name), *kept);
}

// The object of one category: code, type and its messages.
void add_category(const Cell& catalog, uint32_t position) {
  const ErrorCategory& category = error_categories[position];
  GcRoot<Cell> object(object_make_empty(static_cast<int64_t>(category.ids.size()) + 2));
  add_field(catalog, category.name, *object);
  add_field(*object, "code", make_cell(Type::integer, 0, 100 * position));
  add_field(*object, "type", text_of(category.type_text));
  for (const ErrorEntry& entry : category.ids) add_field(*object, entry.id, message_value(entry.message));
}

}  // namespace

void system_values_init() {
  const Cell none = make_cell(Type::none);
  const uint32_t first = root_slot_append(none);
  for (uint32_t k = 1; k < kSystemValues; ++k) root_slot_append(none);
  *root_slot(first + kCatalog) = object_make_empty(std::size(error_categories));
  for (uint32_t c = 0; c < std::size(error_categories); ++c) add_category(*root_slot(first + kCatalog), c);
  *root_slot(first + kStandardError) = error_fields_object();
  *root_slot(first + kStackTrace) = make_cell(Type::integer, 0, kInitialStackTrace);
  Cell files;
  block_make_at(files, kSourceFilesRoom);
  *root_slot(first + kSourceFiles) = files;
  *root_slot(first + kStandardPort) = object_with_none_fields(kPortFieldNames);
  *root_slot(first + kStandardUrlParts) = object_with_none_fields(kUrlPartsFieldNames);
  *root_slot(first + kStandardScheme) = object_with_none_fields(kSchemeFieldNames);
  Cell schemes;
  block_make_at(schemes, kSchemesRoom);
  *root_slot(first + kSchemes) = schemes;
  first_slot = first;
}

void system_values_forget() { first_slot = kNotBuilt; }

Cell system_error_catalog() { return value_at(kCatalog); }
Cell system_standard_error() { return value_at(kStandardError); }
Cell system_stack_trace() {
  return first_slot == kNotBuilt ? make_cell(Type::integer, 0, kInitialStackTrace) : value_at(kStackTrace);
}
Cell system_source_files() { return value_at(kSourceFiles); }
Cell system_standard_port() { return value_at(kStandardPort); }
Cell system_standard_url_parts() { return value_at(kStandardUrlParts); }
Cell system_standard_scheme() { return value_at(kStandardScheme); }
Cell system_schemes() { return value_at(kSchemes); }

}  // namespace qel

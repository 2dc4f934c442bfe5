// system-values.cpp: the error catalog object, the error prototype and the error settings,
// built from the catalog table, and the port prototypes and schemes block, all rooted in the
// root block; the system object takes them over at the end of the boot.
#include "evaluator/system-values.h"

#include <string_view>

#include "datatypes/scalars/integer.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/error.h"
#include "evaluator/library-values.h"
#include "evaluator/port.h"
#include "evaluator/object.h"
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
static_assert(kSystemValues == kSystemValueCount);
constexpr uint32_t kNotBuilt = UINT32_MAX;
uint32_t first_slot = kNotBuilt;

// The language's initial settings.
constexpr int32_t kInitialStackTrace = 1;
constexpr int64_t kSourceFilesRoom = 4;
constexpr int64_t kSchemesRoom = 10;

bool released = false;

Cell value_at(SystemValue which) {
  return first_slot == kNotBuilt ? make_cell(Type::none) : *root_slot(first_slot + which);
}

// The system object's field once the seed has been handed over, else the seed.
Cell current_value(SystemValue which, std::initializer_list<const char*> field) {
  return released ? system_field(field) : value_at(which);
}

// A word! of the spelling, bound to no context.
Cell word_of(std::string_view name, Type type = Type::word) {
  return make_cell(type, 0, symbol_intern_bytes(name), kUnresolved);
}

}  // namespace

// A new string! of UTF-8 text.
Cell text_of(std::string_view text) {
  Cell string;
  string_load({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, string, TextEncoding::utf8);
  return string;
}

Cell catalog_message_value(std::string_view message) {
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

namespace {

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
  for (const ErrorEntry& entry : category.ids) add_field(*object, entry.id, catalog_message_value(entry.message));
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
  released = false;
}

void system_values_forget() {
  first_slot = kNotBuilt;
  released = false;
  forget_library_values();
}

Cell system_values_seed(uint32_t position) { return value_at(static_cast<SystemValue>(position)); }

void system_values_release() {
  if (first_slot == kNotBuilt) return;
  for (uint32_t k = 0; k < kSystemValues; ++k) *root_slot(first_slot + k) = make_cell(Type::none);
  released = true;
}

Cell system_error_catalog() { return current_value(kCatalog, {"catalog", "errors"}); }
Cell system_standard_error() { return current_value(kStandardError, {"standard", "error"}); }
Cell system_stack_trace() {
  if (first_slot == kNotBuilt) return make_cell(Type::integer, 0, kInitialStackTrace);
  return current_value(kStackTrace, {"state", "stack-trace"});
}
Cell system_source_files() { return current_value(kSourceFiles, {"state", "source-files"}); }
Cell system_standard_port() { return current_value(kStandardPort, {"standard", "port"}); }
Cell system_standard_url_parts() { return current_value(kStandardUrlParts, {"standard", "url-parts"}); }
Cell system_standard_scheme() { return current_value(kStandardScheme, {"standard", "scheme"}); }
Cell system_schemes() { return current_value(kSchemes, {"schemes"}); }

}  // namespace qel

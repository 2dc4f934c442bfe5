// library-values.cpp: the library value slots cached at the end of the boot.
#include "evaluator/library-values.h"

#include <array>

#include "runtime/contexts.h"
#include "runtime/series.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

constexpr const char* kLibraryWords[] = {"system", "url-parser", "show-memory-stats", "preprocessor", "do-file"};
static_assert(std::size(kLibraryWords) == static_cast<size_t>(LibraryValue::count));

constexpr int32_t kAbsent = -1;
NodeId cached_library = 0;
std::array<int32_t, std::size(kLibraryWords)> slots{};

// A field's value cell in an object's context; null when the object lacks the field.
Cell* object_field_cell(const Cell& object, const char* name) {
  return cell_type(object) == Type::object ? context_word_value_cell(symbol_intern_cstring(name), object.w1) : nullptr;
}

}  // namespace

void cache_library_values(NodeId library) {
  cached_library = library;
  for (size_t k = 0; k < std::size(kLibraryWords); ++k)
    slots[k] = context_find_word(library, symbol_intern_cstring(kLibraryWords[k]), true);
}

void forget_library_values() { cached_library = 0; }

Cell library_value(LibraryValue which) {
  const int32_t slot = slots[static_cast<size_t>(which)];
  if (!cached_library || slot == kAbsent) return make_cell(Type::none);
  return series_buffer(context_cell(cached_library).w2)->head_cell()[slot];
}

Cell library_field(LibraryValue object, const char* name) {
  const Cell* cell = object_field_cell(library_value(object), name);
  return cell ? *cell : make_cell(Type::none);
}

Cell* system_field_cell(std::initializer_list<const char*> path) {
  Cell object = library_value(LibraryValue::system);
  Cell* cell = nullptr;
  for (const char* name : path) {
    cell = object_field_cell(object, name);
    if (!cell) return nullptr;
    object = *cell;
  }
  return cell;
}

Cell system_field(std::initializer_list<const char*> path) {
  const Cell* cell = system_field_cell(path);
  return cell ? *cell : make_cell(Type::none);
}

}  // namespace qel

// error.cpp: error! values: fields, making, the catalog lookups, and form and mold.
#include "evaluator/error.h"

#include <optional>
#include <string>
#include <string_view>

#include "datatypes/scalars/integer.h"
#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/interpreter.h"
#include "evaluator/object.h"
#include "evaluator/spec-table.h"
#include "evaluator/system-values.h"
#include "runtime/action-lookup.h"
#include "runtime/call-trace.h"
#include "runtime/contexts.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

constexpr int32_t kNearLimit = 40;
constexpr int32_t kFilesLimit = 40;
constexpr int32_t kNoLimit = INT32_MAX;
// How much of an argument a report shows: the first characters, then "..."; and how deep its
// molding goes, so that no argument, however long or deep, keeps the report from printing.
constexpr int32_t kArgumentLimit = 200;
constexpr std::string_view kEllipsis = "...";
constexpr uint32_t kReportDepth = 20;

// system/state/stack-trace: the call-trace level of reports; 0 (none) unless an integer!.
int32_t stack_trace_level() {
  const Cell setting = system_stack_trace();
  return cell_type(setting) == Type::integer ? integer_value(setting) : 0;
}

// A word! of the spelling, bound to no context.
Cell unbound_word(std::string_view name) {
  return make_cell(Type::word, 0, symbol_intern_bytes(name), kUnresolved);
}

// --- The catalog ---------------------------------------------------------------------------------
// make error! and forming read the catalog object (system/catalog/errors), so a category or id a
// script adds works. The C++ table is its seed, names what the runtime raises, and stands in
// when there is no catalog object (before the start-up builds it, or after a script replaced it
// with something else), so an error always forms.

Cell field_value_at(const Cell& object, uint32_t slot) {
  return series_buffer(context_cell(object.w1).w2)->head_cell()[slot];
}
uint32_t field_count(const Cell& object) {
  return cell_type(object) == Type::object ? context_length(object.w1) : 0;
}

// The slot (from `from`) of the object's field that the word names (any case), or none.
std::optional<uint32_t> field_named(const Cell& object, const Cell& word, uint32_t from) {
  if (cell_type(word) != Type::word) return std::nullopt;
  const uint32_t wanted = symbol_canonical(word.w2);
  for (uint32_t slot = from; slot < field_count(object); ++slot)
    if (symbol_canonical(context_word_at(object.w1, slot)->w2) == wanted) return slot;
  return std::nullopt;
}

// A category object's first two fields are its code and its type text; the ids follow.
constexpr uint32_t kFirstIdSlot = 2;
constexpr uint32_t kTypeTextSlot = 1;

// The catalog as one entry point reads it: the object, fetched from the system object once (the
// walk down system/catalog/errors is the costly part of every lookup), or the C++ table when
// there is no catalog object. An entry point that evaluates code fetches it after, since the
// code may replace the catalog.
class Catalog {
 public:
  Catalog() : object_(system_error_catalog()) {}

  // The position of a category named by a word (any case), or none.
  std::optional<uint32_t> category_position(const Cell& word) const {
    if (present()) return field_named(object_, word, 0);
    if (cell_type(word) != Type::word) return std::nullopt;
    for (uint32_t c = 0; c < std::size(error_categories); ++c)
      if (symbol_name_equal(symbol_name(word.w2), error_categories[c].name, true)) return c;
    return std::nullopt;
  }

  // The position (from 2) of an id of the category named by a word (any case), or none.
  std::optional<uint32_t> id_position(uint32_t category, const Cell& word) const {
    if (present()) return field_named(category_object(category), word, kFirstIdSlot);
    if (cell_type(word) != Type::word) return std::nullopt;
    const auto& ids = error_categories[category].ids;
    for (uint32_t i = 0; i < ids.size(); ++i)
      if (symbol_name_equal(symbol_name(word.w2), ids[i].id, true)) return i + kFirstIdSlot;
    return std::nullopt;
  }

  // How many categories there are, and how many ids (from 2) a category has.
  uint32_t category_count() const { return present() ? field_count(object_) : std::size(error_categories); }
  uint32_t id_end(uint32_t category) const {
    if (present()) return field_count(category_object(category));
    return static_cast<uint32_t>(error_categories[category].ids.size()) + kFirstIdSlot;
  }

  // The names of a category and of one of its ids.
  std::string_view category_name(uint32_t category) const {
    if (present()) return symbol_name(context_word_at(object_.w1, category)->w2);
    return error_categories[category].name;
  }
  std::string_view id_name(uint32_t category, uint32_t id) const {
    if (present()) return symbol_name(context_word_at(category_object(category).w1, id)->w2);
    return error_categories[category].ids[id - kFirstIdSlot].id;
  }

  // A category's type text and an id's message, as the catalog holds them.
  Cell type_text(uint32_t category) const {
    if (present()) return field_value_at(category_object(category), kTypeTextSlot);
    return text_of(error_categories[category].type_text);
  }
  Cell message(uint32_t category, uint32_t id) const {
    if (present()) return field_value_at(category_object(category), id);
    return catalog_message_value(error_categories[category].ids[id - kFirstIdSlot].message);
  }

 private:
  bool present() const { return cell_type(object_) == Type::object; }
  Cell category_object(uint32_t category) const { return field_value_at(object_, category); }

  Cell object_;
};

// Sets code, type and id from the C++ table's id: what the runtime raises.
void error_set_id(const Cell& error, ErrorId id) {
  integer_make_at(error_field(error, ErrorField::code), id.code());
  error_field(error, ErrorField::type) = unbound_word(error_categories[id.category].name);
  error_field(error, ErrorField::id) = unbound_word(error_categories[id.category].ids[id.position - 2].id);
}

// Sets code, type and id from catalog positions.
void error_set_entry(const Cell& error, const Catalog& catalog, ErrorId id) {
  integer_make_at(error_field(error, ErrorField::code), id.code());
  error_field(error, ErrorField::type) = unbound_word(catalog.category_name(id.category));
  error_field(error, ErrorField::id) = unbound_word(catalog.id_name(id.category, id.position));
}

// The id named by a code: 100 x category + id counted from 0; script out-of-range otherwise.
ErrorId id_of_code(const Catalog& catalog, const Cell& code) {
  const int32_t n = integer_value(code);
  if (n >= 0) {
    const uint32_t category = static_cast<uint32_t>(n / 100), id = static_cast<uint32_t>(n % 100) + kFirstIdSlot;
    if (category < catalog.category_count() && id < catalog.id_end(category)) return ErrorId{category, id};
  }
  raise_error(error_id("script", "out-of-range"), code);
}

// The id named by a block of a category word and an id word.
ErrorId id_of_words(const Catalog& catalog, const Cell& spec) {
  const Cell* cells = series_buffer(spec.w2)->head_cell() + spec.w1;
  const uint32_t length = series_buffer_length(spec.w2) - spec.w1;
  const std::optional<uint32_t> category = catalog.category_position(cells[0]);
  if (!category) raise_error(error_id("script", "invalid-spec-field"), unbound_word("type"));
  if (length < 2) raise_error(error_id("script", "invalid-spec-field"), unbound_word("id"));
  if (cell_type(cells[1]) != Type::word) raise_error(error_id("script", "invalid-arg"), cells[1]);
  const std::optional<uint32_t> id = catalog.id_position(*category, cells[1]);
  if (!id) raise_error(error_id("script", "invalid-spec-field"), unbound_word("id"));
  return ErrorId{*category, *id};
}

// An error whose fields a block of assignments sets: the block is bound to the fields and
// evaluated, then `type` and `id` must name a catalog entry, which gives the code.
Cell error_of_assignments(const Cell& spec) {
  GcRoot<Cell> error(error_new());
  bind_block_deep(spec, error->w1, false);
  Cell* top = value_stack.top;
  throw_if_exit(eval_block(spec, false));
  value_stack.top = top;
  const Catalog catalog;
  const std::optional<uint32_t> category = catalog.category_position(error_field(*error, ErrorField::type));
  if (!category) raise_error(error_id("script", "invalid-spec-field"), unbound_word("type"));
  const std::optional<uint32_t> id = catalog.id_position(*category, error_field(*error, ErrorField::id));
  if (!id) raise_error(error_id("script", "invalid-spec-field"), unbound_word("id"));
  integer_make_at(error_field(*error, ErrorField::code), ErrorId{*category, *id}.code());
  return *error;
}

// A new error of a catalog entry, without arguments.
Cell error_of_entry(const Catalog& catalog, ErrorId id) {
  GcRoot<Cell> error(error_new());
  error_set_entry(*error, catalog, id);
  return *error;
}

// --- Form ---------------------------------------------------------------------------------------

// Appends UTF-8 text to the output string.
void append_utf8(Cell& output, std::string_view text) {
  for (uint32_t c : text_code_points(UnitText{reinterpret_cast<const uint8_t*>(text.data()), text.size(), 1}))
    string_append_char(output.w2, c);
}

// Appends the value formed or molded (flat); with a limit, cut to that many characters.
void append_value_text(Cell& output, const Cell& value, bool mold, int32_t limit) {
  const bool part = limit != kNoLimit;
  if (mold)
    lookup_action_for_value<Act::Mold>(value)(value, output, false, false, true, part, limit, 0);
  else
    lookup_action_for_value<Act::Form>(value)(value, output, part, limit);
}

// Appends the value as append_value_text does; a text cut at the limit is followed by the cut
// mark. A value that fails to form shows its type's name instead, so that the report's other
// lines still print.
void append_value(Cell& output, const Cell& value, bool mold, int32_t limit, std::string_view cut_mark = {}) {
  const uint32_t start = series_buffer_length(output.w2);
  if (trap_errors([&] { append_value_text(output, value, mold, limit); }).taken) {
    stack_drop(1);
    series_buffer_truncate(output.w2, start);
    append_utf8(output, datatype_name(cell_type(value)));
    return;
  }
  if (limit == kNoLimit || series_buffer_length(output.w2) - start <= static_cast<uint32_t>(limit)) return;
  series_buffer_truncate(output.w2, start + static_cast<uint32_t>(limit));
  series_append_ascii(output.w2, cut_mark);
}

// What a report names: the category's type text and the message as the catalog holds them, read
// from copies of the error's fields so that forming never changes the error.
struct Report {
  Cell type_text;
  Cell message;
  bool syntax;
  Cell args[3];
};

// The report of internal invalid-error from the C++ table, which a script cannot break.
void invalid_error_report(Report& report) {
  constexpr ErrorId invalid = error_id("internal", "invalid-error");
  report.type_text = text_of(error_categories[invalid.category].type_text);
  report.message = catalog_message_value(error_categories[invalid.category].ids[invalid.position - 2].message);
  report.syntax = false;
}

// The report of the error: an unknown type or id reports internal invalid-error naming the bad
// value.
Report report_of(const Cell& error) {
  Report report{{}, {}, false, {error_field(error, ErrorField::arg1), error_field(error, ErrorField::arg2),
                                 error_field(error, ErrorField::arg3)}};
  const Cell type = error_field(error, ErrorField::type), id = error_field(error, ErrorField::id);
  const Catalog catalog;
  const std::optional<uint32_t> category = catalog.category_position(type);
  const std::optional<uint32_t> position = category ? catalog.id_position(*category, id) : std::nullopt;
  if (category && position) {
    report.syntax = symbol_name_equal(catalog.category_name(*category), "syntax", true);
    report.type_text = catalog.type_text(*category);
    report.message = catalog.message(*category, *position);
    return report;
  }
  report.args[0] = category ? id : type;
  invalid_error_report(report);
  return report;
}

// The error field (1 to 3) a message word names; 0 for any other word.
uint32_t argument_named(const Cell& word) {
  if (!is_word_type(cell_type(word))) return 0;
  const std::string_view name = symbol_name(word.w2);
  for (uint32_t k = 1; k <= 3; ++k)
    if (symbol_name_equal(name, "arg" + std::to_string(k), true)) return k;
  return 0;
}

// Step 4: the message; fields formed for syntax errors, molded for every other category. A
// message of another shape reports internal invalid-error instead.
void append_message(Cell& output, const Report& report) {
  const Cell message = report.message;
  const uint32_t field = argument_named(message);
  if (cell_type(message) == Type::string) {
    append_value(output, message, false, kNoLimit);
  } else if (field && cell_type(report.args[field - 1]) == Type::string) {
    append_value(output, report.args[field - 1], false, kNoLimit);
  } else if (cell_type(message) == Type::block) {
    for (uint32_t i = message.w1; i < series_buffer_length(message.w2); ++i) {
      const Cell part = series_buffer(message.w2)->head_cell()[i];
      if (i > message.w1) series_append_ascii(output.w2, " ");
      if (const uint32_t named = argument_named(part))
        append_value(output, report.args[named - 1], !report.syntax, kArgumentLimit, kEllipsis);
      else
        append_value(output, part, false, kNoLimit);
    }
  } else {
    Report fallback = report;
    invalid_error_report(fallback);
    append_message(output, fallback);
  }
}

// Step 5: the word's spelling, the text, or "???".
void append_where(Cell& output, const Cell& where) {
  if (is_word_type(cell_type(where)))
    append_utf8(output, symbol_name(where.w2));
  else if (cell_type(where) == Type::string)
    append_value(output, where, false, kNoLimit);
  else
    series_append_ascii(output.w2, "???");
}

// Only the error services build error! values with fields behind them; any other is internal
// invalid-error.
void require_fields(const Cell& error) {
  if (error.w1 == 0) raise_error(error_id("internal", "invalid-error"), make_cell(Type::none));
}

// The report text: category and message, where, near, the calls and the files.
int32_t error_form(const Cell& error, Cell& output, bool part, int32_t limit) {
  require_fields(error);
  MoldDepthLimit shallow(kReportDepth);
  const uint32_t start = series_buffer_length(output.w2);
  const Report report = report_of(error);
  series_append_ascii(output.w2, "*** ");
  append_value(output, report.type_text, false, kNoLimit);
  series_append_ascii(output.w2, ": ");
  append_message(output, report);
  series_append_ascii(output.w2, "\n*** Where: ");
  append_where(output, error_field(error, ErrorField::where));
  series_append_ascii(output.w2, "\n*** Near : ");
  append_value(output, error_field(error, ErrorField::near), true, kNearLimit);
  const Cell stack = error_field(error, ErrorField::stack);
  const int32_t level = stack_trace_level();
  if (level > 0 && cell_type(stack) == Type::integer) {
    series_append_ascii(output.w2, "\n*** Stack:");
    stack_form_calls(level, static_cast<uint32_t>(integer_value(stack)), output, kNoLimit);
  } else if (level > 0 && cell_type(stack) == Type::block) {
    series_append_ascii(output.w2, "\n*** Stack: ");
    append_value(output, stack, false, kNoLimit);
  }
  const Cell files = error_field(error, ErrorField::files);
  if (cell_type(files) == Type::block) {
    series_append_ascii(output.w2, "\n*** Files: ");
    append_value(output, files, true, kFilesLimit);
  }
  return part ? budget_less(limit, series_buffer_length(output.w2) - start) : limit;
}

// "make error! [" and the fields as an object body.
int32_t error_mold(const Cell& error, Cell& output, bool, bool all, bool flat, bool part, int32_t limit, int32_t indent) {
  require_fields(error);
  return object_mold_as(error, "make error! [", output, all, flat, part, limit, indent);
}

// make error! spec: the new error in place of the type argument.
Cell* error_make_action(Cell& type, Cell& spec, Type) {
  type = error_make(spec);
  return &type;
}

}  // namespace

Cell error_fields_object() { return object_with_none_fields(kErrorFieldNames); }

Cell error_new() {
  // A copy of system/standard/error once it exists, retyped; the same layout before.
  Cell error = system_standard_error();
  if (cell_type(error) == Type::object)
    context_clone(error, kObjectContext);
  else
    error = error_fields_object();
  error = make_cell(Type::error, error.w1, kErrorClassId, 0);
  context_owner(error.w1) = error;
  // An error shows the expression being evaluated when it was made.
  if (cell_type(current_expression()) != Type::none_id) error_field(error, ErrorField::near) = current_expression();
  return error;
}

Cell& error_field(const Cell& error, ErrorField field) {
  return series_buffer(context_cell(error.w1).w2)->head_cell()[static_cast<uint32_t>(field)];
}

Cell error_build(ErrorId id, std::span<const Cell> args) {
  Cell error = error_new();
  error_set_id(error, id);
  for (size_t k = 0; k < args.size() && k < 3; ++k)
    error_field(error, static_cast<ErrorField>(static_cast<uint32_t>(ErrorField::arg1) + k)) = args[k];
  return error;
}

Cell error_make(const Cell& spec) {
  switch (cell_type(spec)) {
    case Type::integer: {
      const Catalog catalog;
      return error_of_entry(catalog, id_of_code(catalog, spec));
    }
    case Type::string:
      return error_build(error_id("user", "message"), std::span(&spec, 1));
    case Type::block: {
      const uint32_t length = series_buffer_length(spec.w2);
      const Type first = spec.w1 < length ? cell_type(series_buffer(spec.w2)->head_cell()[spec.w1]) : Type::none_id;
      if (first == Type::word) {
        const Catalog catalog;
        return error_of_entry(catalog, id_of_words(catalog, spec));
      }
      if (first == Type::set_word) return error_of_assignments(spec);
      raise_error(error_id("internal", "invalid-error"), spec);
    }
    default:
      raise_error(error_id("script", "bad-make-arg"), datatype_cell(Type::error), spec);
  }
}

void error_set_where(Cell& error, const Cell& where) {
  Cell& field = error_field(error, ErrorField::where);
  if (cell_type(field) == Type::none) field = where;
}

void error_complete(Cell& error) {
  if (cell_type(error) != Type::error) return;
  const Cell mark = error_field(error, ErrorField::stack);
  if (cell_type(mark) != Type::integer) return;
  GcRoot<Cell> calls;
  block_make_at(*calls, 8);
  stack_collect_calls(stack_trace_level(), *calls, static_cast<uint32_t>(integer_value(mark)));
  error_field(error, ErrorField::stack) = *calls;
  // The files being loaded, when there are any (an empty list names none).
  const Cell files = system_source_files();
  if (cell_type(files) == Type::block && block_length(files) > 0) {
    Cell* top = value_stack.top;
    const Cell copy = *block_copy_deep(files, DeepCopy::none);
    error_field(error, ErrorField::files) = copy;
    value_stack.top = top;
  }
}

void register_error_datatype() {
  system_values_forget();  // memory is fresh: the values of a former run are gone
  services().error_build = error_build;
  services().error_set_where = error_set_where;
  services().error_stack_field = [](const Cell& error) { return &error_field(error, ErrorField::stack); };
  register_datatype(Type::error, Type::object, "error!",
                    ActionRow()
                        .inherit_all()
                        .set<Act::Make>(error_make_action)
                        .set<Act::Form>(error_form)
                        .set<Act::Mold>(error_mold));
}

}  // namespace qel

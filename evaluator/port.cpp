// port.cpp: port! values: making them from a spec and a scheme, their fields, form and mold.
#include "evaluator/port.h"

#include "datatypes/series/block-core.h"
#include "evaluator/object.h"
#include "evaluator/port-actor.h"
#include "evaluator/system-values.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/gc-root.h"
#include "runtime/series.h"
#include "runtime/services.h"
#include "runtime/symbols.h"

namespace qel {

namespace {

// The value cell of the object's field of that name, null when it has none; valid until the
// next safe point.
Cell* field_cell(const Cell& object, const char* name) {
  return context_word_value_cell(symbol_intern_cstring(name), object.w1);
}

// The object's first field's value, none when it has no fields.
Cell first_field(const Cell& object) {
  if (context_length(object.w1) == 0) return make_cell(Type::none);
  return series_buffer(context_cell(object.w1).w2)->head_cell()[0];
}

// A new port: a copy of system/standard/port (the same fields when there is none yet) retyped
// to port! with class id 2.
Cell port_new() {
  Cell port = system_standard_port();
  if (cell_type(port) == Type::object)
    context_clone(port, kObjectContext);
  else
    port = object_with_none_fields(kPortFieldNames);
  port = make_cell(Type::port, port.w1, kPortClassId, 0);
  context_owner(port.w1) = port;
  return port;
}

// The spec object of a port: the spec itself when it is an object!, else a copy of
// system/standard/url-parts made from it.
Cell spec_object(const Cell& spec) {
  if (cell_type(spec) == Type::object) return spec;
  return object_make(system_standard_url_parts(), spec);
}

// The scheme object registered under the word in system/schemes, none when there is none.
Cell registered_scheme(const Cell& name) {
  const Cell schemes = system_schemes();
  if (cell_type(schemes) != Type::block) return make_cell(Type::none);
  return block_find_value(schemes, name);
}

void set_port_field(const Cell& port, const char* name, const Cell& value) {
  if (Cell* field = field_cell(port, name)) *field = value;
}

Cell* port_make_action(Cell& type, Cell& spec, Type) {
  type = port_make(spec);
  return &type;
}

int32_t port_mold(const Cell& port, Cell& output, bool, bool all, bool flat, bool part, int32_t limit, int32_t indent) {
  return object_mold_as(port, "make port! [", output, all, flat, part, limit, indent);
}

int32_t port_form(const Cell& port, Cell& output, bool part, int32_t limit) {
  return port_mold(port, output, false, false, false, part, limit, 0);
}

}  // namespace

Cell port_make(const Cell& spec) {
  GcRoot<Cell> given(spec);
  GcRoot<Cell> specs(spec_object(spec));
  const Cell scheme = first_field(*specs);
  if (cell_type(scheme) != Type::word) raise_error(error_id("access", "no-scheme"), *given);
  GcRoot<Cell> port(port_new());
  set_port_field(*port, "spec", *specs);
  set_port_field(*port, "scheme", scheme);
  const Cell scheme_object = registered_scheme(scheme);
  if (cell_type(scheme_object) != Type::object) raise_error(error_id("access", "unknown-scheme"), *given);
  const Cell* actor = field_cell(scheme_object, "actor");
  const Type actor_type = actor ? cell_type(*actor) : Type::none;
  if (actor_type != Type::object && actor_type != Type::handle) raise_error(error_id("access", "invalid-actor"), *given);
  set_port_field(*port, "actor", *actor);
  return *port;
}

Cell port_field(const Cell& port, const char* name) {
  const Cell* field = field_cell(port, name);
  return field ? *field : make_cell(Type::none);
}

void register_port_datatype() {
  services().port_actor = [](const Cell& port) { return port_field(port, "actor"); };
  services().port_make = port_make;
  services().port_forward = port_forward;
  ActionRow row;
  row.inherit<Act::Reflect>().inherit<Act::PathStep>().inherit<Act::Compare>();
  row.set<Act::Make>(port_make_action).set<Act::Form>(port_form).set<Act::Mold>(port_mold);
  row.set<Act::Open>(port_open).set<Act::Read>(port_read).set<Act::Write>(port_write);
  register_datatype(Type::port, Type::object, "port!", row);
}

}  // namespace qel

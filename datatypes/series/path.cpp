// path.cpp: the path family: make, to, form and the molds of path!, lit-path!, set-path! and
// get-path!; everything else is block!'s.
#include "datatypes/series/path.h"

#include "datatypes/scalars/output-text.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/block.h"
#include "datatypes/series/series.h"
#include "runtime/action-lookup.h"
#include "runtime/compiled-support.h"
#include "runtime/cycle-guard.h"
#include "runtime/datatype-registry.h"
#include "runtime/error-raise.h"
#include "runtime/language-thread.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// make: a block-like spec copied, or a number giving the room of an empty path.
Cell* path_make(Cell&, Cell& spec, Type type_id) {
  Type spec_type = cell_type(spec);
  if (any_block_type(spec_type)) return block_make_from(spec, type_id);
  if (spec_type == Type::integer || spec_type == Type::float_ || spec_type == Type::percent) {
    Cell* made = block_push_new(number_to_int32(spec));
    set_value_type_byte(*made, type_id);
    return made;
  }
  raise_error(error_id("script", "bad-make-arg"), datatype_cell(type_id), spec);
}

// to: an object!, typeset! or map! becomes a one-step path; anything else converts as block!.
Cell* path_to(Cell& type, Cell& spec, Type type_id) {
  Type spec_type = cell_type(spec);
  if (spec_type != Type::object && spec_type != Type::typeset && spec_type != Type::map)
    return block_to(type, spec, type_id);
  Cell* made = block_push_new(1);
  block_append_copy(*made, spec);
  set_value_type_byte(*made, type_id);
  return made;
}

// The steps formed (or molded) with "/" between them; "..." for a path met inside itself.
int32_t path_write(const Cell& value, Cell& buffer, bool mold, bool only, bool all, bool flat, bool part,
                   int32_t limit, int32_t indent) {
  check_stack_headroom();
  if (mold_cycle_marker(value, buffer.w2, limit, mold)) return limit;
  CyclePush level(value.w2);
  for (int64_t i = series_clamped_index(value); i < block_total_cells(value); ++i) {
    if (part && limit < 1) break;
    if (i > series_clamped_index(value)) limit = output_text(buffer, "/", limit);
    Cell step = *block_cell_at(value, i);
    limit = mold ? lookup_action_for_value<Act::Mold>(step)(step, buffer, only, all, flat, part, limit, indent)
                 : lookup_action_for_value<Act::Form>(step)(step, buffer, part, limit);
  }
  return limit;
}

int32_t path_form(const Cell& value, Cell& buffer, bool part, int32_t limit) {
  return path_write(value, buffer, false, false, false, false, part, limit, 0);
}

int32_t path_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                  int32_t indent) {
  return path_write(value, buffer, true, only, all, flat, part, limit, indent);
}

// lit-path! and get-path! write their mark first, set-path! its mark last.
template <char Mark, bool Before>
int32_t marked_path_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                         int32_t indent) {
  constexpr char mark[] = {Mark, '\0'};
  if (Before) limit = output_text(buffer, mark, limit);
  limit = path_mold(value, buffer, only, all, flat, part, limit, indent);
  if (!Before) limit = output_text(buffer, mark, limit);
  return limit;
}

// The row of a path variant: path!'s, its own mold, no random, sort or trim.
void register_path_variant(Type type, const char* name, slot_fn<Act::Mold> mold) {
  ActionRow row;
  row.inherit_all().set<Act::Mold>(mold).set<Act::Random>(nullptr).set<Act::Sort>(nullptr).set<Act::Trim>(nullptr);
  register_datatype(type, Type::path, name, row);
  block_register_element_hooks(type);
}

}  // namespace

Cell* path_push(const Cell& value, Type type) {
  Cell* pushed = stack_push_value(value);
  set_value_type_byte(*pushed, type);
  return pushed;
}

void path_make_at(Cell& cell, int64_t capacity) {
  block_make_at(cell, capacity);
  set_value_type_byte(cell, Type::path);
}

void path_init() {
  ActionRow row;
  row.inherit_all()
      .set<Act::Make>(path_make)
      .set<Act::To>(path_to)
      .set<Act::Form>(path_form)
      .set<Act::Mold>(path_mold)
      .set<Act::Random>(nullptr)
      .set<Act::Sort>(nullptr)
      .set<Act::Trim>(nullptr);
  register_datatype(Type::path, Type::block, "path!", row);
  block_register_element_hooks(Type::path);
}

void lit_path_init() { register_path_variant(Type::lit_path, "lit-path!", marked_path_mold<'\'', true>); }
void set_path_init() { register_path_variant(Type::set_path, "set-path!", marked_path_mold<':', false>); }
void get_path_init() { register_path_variant(Type::get_path, "get-path!", marked_path_mold<':', true>); }

}  // namespace qel

// paren.cpp: paren!: block!'s actions with its own mold between parentheses and no trim.
#include "datatypes/series/paren.h"

#include "datatypes/series/block-core.h"
#include "datatypes/series/block.h"
#include "runtime/datatype-registry.h"

namespace qel {

namespace {

int32_t paren_mold(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                   int32_t indent) {
  return block_mold_bracketed(value, buffer, "(", ")", only, all, flat, part, limit, indent);
}

}  // namespace

void paren_init() {
  ActionRow row;
  row.inherit_all().set<Act::Mold>(paren_mold).set<Act::Trim>(nullptr);
  register_datatype(Type::paren, Type::block, "paren!", row);
  block_register_element_hooks(Type::paren);
}

}  // namespace qel

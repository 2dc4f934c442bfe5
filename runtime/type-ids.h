// type-ids.h: the type ids of the datatypes, 1 (datatype!) to 54 (event!).
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel {

enum class Type : uint8_t {
  none_id = 0,  // no type: the empty header, and "no parent" in the registry
  datatype = 1,
  unset,
  none,
  logic,
  block,       // parent series!
  paren,       // parent block!
  string,      // parent series!
  file,        // parent url!
  url,         // parent string!
  char_,       // parent integer!
  integer,
  float_,
  symbol,
  context,
  word,        // parent symbol!
  set_word,    // parent word!
  lit_word,    // parent word!
  get_word,    // parent word!
  refinement,  // parent word!
  issue,       // parent word!
  native,
  action,      // parent native!
  op,          // parent native!
  function,    // parent context!
  path,        // parent block!
  lit_path,    // parent path!
  set_path,    // parent path!
  get_path,    // parent path!
  routine,     // parent function!
  bitset,
  triple,
  object,
  typeset,
  error,       // parent object!
  vector,      // parent string!
  hash,        // parent block!
  pair,
  percent,     // parent float!
  tuple,
  map,
  binary,      // parent string!
  series,
  time,        // parent float!
  tag,         // parent string!
  email,       // parent string!
  handle,      // parent integer!
  date,
  port,        // parent object!
  money,
  ref,         // parent string!
  point2d,
  point3d,
  image,       // parent series!
  event,
};

inline constexpr size_t kTypeTableRows = 57;  // ids 0 to 56; 1 to 54 are used
inline constexpr Type kHighestTypeId = Type::event;

constexpr size_t type_index(Type type) { return static_cast<size_t>(type); }

// The block-like types: block!, paren!, hash! and the path family, whose cells are values.
constexpr bool any_block_type(Type type) {
  switch (type) {
    case Type::block: case Type::paren: case Type::hash:
    case Type::path: case Type::lit_path: case Type::set_path: case Type::get_path: return true;
    default: return false;
  }
}

}  // namespace qel

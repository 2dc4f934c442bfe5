// spec-table.cpp: the canonical native and action specs, the datatype names, the language
// typesets, the spec reader, and the start-up that defines them.
#include "evaluator/spec-table.h"

#include <array>
#include <string>

#include "datatypes/scalars/typeset.h"
#include "datatypes/series/block-core.h"
#include "datatypes/series/string-load.h"
#include "evaluator/native-table.h"
#include "evaluator/native.h"
#include "runtime/actions.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/gc-root.h"
#include "runtime/quit.h"
#include "runtime/series.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

// The natives in slot order, with the specs they are made with.
const NativeSpec kNativeSpecs[107] = {
    {"if", R"~("If conditional expression is truthy, evaluate block; else return NONE" cond [any-type!] then-blk [block!])~"},
    {"unless", R"~("If conditional expression is falsy, evaluate block; else return NONE" cond [any-type!] then-blk [block!])~"},
    {"either",
     R"~("If conditional expression is truthy, evaluate the first branch; else evaluate the alternative" cond [any-type!] true-blk [block!] false-blk [block!])~"},
    {"any", R"~("Evaluates and returns the first truthy value, if any; else NONE" conds [block!])~"},
    {"all", R"~("Evaluates and returns the last value if all are truthy; else NONE" conds [block!])~"},
    {"while", R"~("Evaluates body as long as condition block evaluates to truthy value" cond [block!] body [block!])~"},
    {"until", R"~("Evaluates body until it is truthy" body [block!])~"},
    {"loop", R"~("Evaluates body a number of times" count [integer! float!] body [block!])~"},
    {"repeat",
     R"~("Evaluates body a number of times, tracking iteration count" 'word [word!] value [integer! float!] body [block!])~"},
    {"forever", R"~("Evaluates body repeatedly forever" body [block!])~"},
    {"foreach", R"~("Evaluates body for each value in a series" 'word [word! block!] series [series! map!] body [block!])~"},
    {"forall", R"~("Evaluates body for all values in a series" 'word [word!] body [block!])~"},
    {"remove-each",
     R"~("Removes values for each block that returns truthy value" 'word [word! block!] data [series!] body [block!])~"},
    {"func", R"~("Defines a function with a given spec and body" spec [block!] body [block!])~"},
    {"function", R"~("Defines a function, making all set-words found in body, local" spec [block!] body [block!] /extern)~"},
    {"does", R"~("Defines a function with no arguments or local variables" body [block!])~"},
    {"has", R"~("Defines a function with local variables, but no arguments" vars [block!] body [block!])~"},
    {"switch",
     R"~("Evaluates the first block following the value found in cases" value [any-type!] cases [block!] /default case [block!])~"},
    {"case", R"~("Evaluates the block following the first truthy condition" cases [block!] /all)~"},
    {"do",
     R"~("Evaluates a value, returning the last evaluation result" value [any-type!] /expand /args arg /next position [word!] /trace callback [function! [event [word!] code [any-block! none!] offset [integer!] value [any-type!] ref [any-type!] frame [pair!]]])~"},
    {"get", "word [any-word! any-path! object!] /any /case"},
    {"set",
     R"~("Sets the value(s) one or more words refer to" word [any-word! block! object! any-path!] value [any-type!] /any /case /only /some)~"},
    {"print", "value [any-type!]"},
    {"prin", "value [any-type!]"},
    {"equal?", "value1 [any-type!] value2 [any-type!]"},
    {"not-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"strict-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"lesser?", "value1 [any-type!] value2 [any-type!]"},
    {"greater?", "value1 [any-type!] value2 [any-type!]"},
    {"lesser-or-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"greater-or-equal?", "value1 [any-type!] value2 [any-type!]"},
    {"same?", R"~("Returns TRUE if two values have the same identity" value1 [any-type!] value2 [any-type!])~"},
    {"not", "value [any-type!]"},
    {"type?", "value [any-type!] /word"},
    {"reduce", "value [any-type!] /into out [any-block!]"},
    {"compose", "value [block!] /deep /only /into out [any-block!]"},
    {"stats", "/show /info"},
    {"bind", "word [block! any-word!] context [any-word! any-object! function!] /copy"},
    {"in", "object [any-object! any-function!] word [any-word! refinement!]"},
    {"parse", "input [binary! any-block! any-string!] rules [block!] /case /part length [number! series!] /trace callback"},
    {"union",
     "set1 [block! hash! string! bitset! typeset!] set2 [block! hash! string! bitset! typeset!] /case /skip size [integer!]"},
    {"intersect",
     "set1 [block! hash! string! bitset! typeset!] set2 [block! hash! string! bitset! typeset!] /case /skip size [integer!]"},
    {"unique", "set [block! hash! string!] /case /skip size [integer!]"},
    {"difference",
     R"~("Returns the special difference of two data sets" set1 [block! hash! string! bitset! typeset! date!] set2 [block! hash! string! bitset! typeset! date!] /case /skip size [integer!])~"},
    {"exclude",
     "set1 [block! hash! string! bitset! typeset!] set2 [block! hash! string! bitset! typeset!] /case /skip size [integer!]"},
    {"complement?", "bits [bitset!]"},
    {"dehex", "value [any-string!]"},
    {"enhex", "value [any-string!]"},
    {"negative?", "number [number! money! time!]"},
    {"positive?", "number [number! money! time!]"},
    {"max", "value1 [scalar! series!] value2 [scalar! series!]"},
    {"min", "value1 [scalar! series!] value2 [scalar! series!]"},
    {"shift", "data [integer!] bits [integer!] /left /logical"},
    {"to-hex", "value [integer!] /size length [integer!]"},
    {"sine", R"~(angle [float! integer!] /radians "DEPRECATED: use sin native instead")~"},
    {"cosine", R"~(angle [float! integer!] /radians "DEPRECATED: use cos native instead")~"},
    {"tangent", R"~(angle [float! integer!] /radians "DEPRECATED: use tan native instead")~"},
    {"arcsine", R"~(sine [float! integer!] /radians "DEPRECATED: use asin native instead")~"},
    {"arccosine", R"~(cosine [float! integer!] /radians "DEPRECATED: use acos native instead")~"},
    {"arctangent", R"~(tangent [float! integer!] /radians "DEPRECATED: use atan native instead")~"},
    {"arctangent2",
     R"~("Returns the smallest angle between the vectors (1,0) and (x,y) in degrees (-180,180]" y [float! integer!] x [float! integer!] /radians "DEPRECATED: use atan2 native instead")~"},
    {"NaN?", "value [number!]"},
    {"log-2", "value [float! integer! percent!]"},
    {"log-10", "value [float! integer! percent!]"},
    {"log-e", "value [float! integer! percent!]"},
    {"exp", "value [float! integer! percent!]"},
    {"square-root", "value [float! integer! percent!]"},
    {"construct", "block [block!] /with object [object!] /only"},
    {"value?", "value [word!]"},
    {"try",
     R"~(block [block!] /all "Catch also BREAK, CONTINUE, RETURN, EXIT and THROW exceptions" /keep "Capture and save the call stack in the error object")~"},
    {"uppercase", "string [any-string! char!] /part limit [number! any-string!]"},
    {"lowercase", "string [any-string! char!] /part limit [number! any-string!]"},
    {"as-pair", "x [integer! float!] y [integer! float!]"},
    {"as-point2D", "x [integer! float!] y [integer! float!]"},
    {"as-point3D", "x [integer! float!] y [integer! float!] z [integer! float!]"},
    {"as-money", "currency [word!] amount [integer! float!]"},
    {"break", "/return value"},
    {"continue", ""},
    {"exit", ""},
    {"return", "value [any-type!]"},
    {"throw", "value [any-type!] /name word [word!]"},
    {"catch", "block [block!] /name word [word! block!]"},
    {"extend", "obj [object! map!] spec [block! hash! map!] /case"},
    {"debase",
     R"~("Decodes binary-coded string (BASE-64 default) to binary value" value [string!] /base base-value [integer!] "The base to convert from: 64, 58, 16, or 2")~"},
    {"to-local-file", "path [file! string!] /full"},
    {"wait", "value [number! time! block! none!] /all"},
    {"checksum",
     R"~("Computes a checksum, CRC, hash, or HMAC" data [binary! string! file!] method [word!] "MD5 SHA1 SHA256 SHA384 SHA512 CRC32 TCP ADLER32 hash" /with "Extra value for HMAC key or hash table size; not compatible with TCP/CRC32/ADLER32 methods" spec [any-string! binary! integer!] "String or binary for MD5/SHA* HMAC key, integer for hash table size")~"},
    {"unset", "word [word! block!]"},
    {"new-line", "position [any-list!] value [logic!] /all /skip size [integer!]"},
    {"new-line?", "position [any-list!]"},
    {"enbase",
     R"~("Encodes a string into a binary-coded string (BASE-64 default)" value [binary! string!] /base base-value [integer!] "The base to convert from: 64, 58, 16, or 2")~"},
    {"context?", "word [any-word!]"},
    {"set-env", "var [any-string! any-word!] value [string! none!]"},
    {"get-env", "var [any-string! any-word!]"},
    {"list-env", ""},
    {"now", "/year /month /day /time /zone /date /weekday /yearday /precise /utc"},
    {"sign?", "number [number! money! time!]"},
    {"as", "type [datatype! block! paren! any-path! any-string!] spec [block! paren! any-path! any-string!]"},
    {"call",
     R"~(cmd [string! file!] /wait /show /console /shell /input in /output out /error err return: [integer!] "0 if success, -1 if error, or a process ID")~"},
    {"zero?", "value [number! money! pair! time! char! tuple! any-point!]"},
    {"size?", "file [file!]"},
    {"browse", "url [url! file!]"},
    {"compress", "data [any-string! binary!] method [word!]"},
    {"decompress",
     R"~(data [binary!] method [word!] /size "Uncompressed data size; must not be negative" sz [integer!] "(ignored for GZIP)")~"},
    {"recycle", "/on /off"},
    {"transcode", "src [binary! string!] /next /one /prescan /scan /part length [integer! binary!] /into dst [block!] /trace callback"},
    {"apply",
     R"~(func [word! path! any-function!] args [block!] /all "Provide every argument in the function spec, in order, tail-completed with false/none." /safer "Forces single refinement arguments, skip them when inactive instead of evaluating")~"},
};

namespace {

// The datatype names by type id (1 to 54).
constexpr std::string_view kDatatypeNames[] = {
    "",          "datatype!", "unset!",    "none!",       "logic!",   "block!",   "paren!",    "string!",
    "file!",     "url!",      "char!",     "integer!",    "float!",   "symbol!",  "context!",  "word!",
    "set-word!", "lit-word!", "get-word!", "refinement!", "issue!",   "native!",  "action!",   "op!",
    "function!", "path!",     "lit-path!", "set-path!",   "get-path!", "routine!", "bitset!",  "triple!",
    "object!",   "typeset!",  "error!",    "vector!",     "hash!",    "pair!",    "percent!",  "tuple!",
    "map!",      "binary!",   "series!",   "time!",       "tag!",     "email!",   "handle!",   "date!",
    "port!",     "money!",    "ref!",      "point2D!",    "point3D!", "image!",   "event!",
};
static_assert(std::size(kDatatypeNames) == type_index(kHighestTypeId) + 1);

// The language typesets, in definition order: their own types, and earlier typesets they include.
struct TypesetRow {
  std::string_view name;
  std::initializer_list<Type> types;
  std::initializer_list<std::string_view> includes;
};

const TypesetRow kTypesets[] = {
    {"internal!", {Type::unset}, {}},
    {"external!", {Type::event}, {}},
    {"number!", {Type::integer, Type::float_, Type::percent}, {}},
    {"planar!", {Type::pair, Type::point2d}, {}},
    {"any-point!", {Type::point2d, Type::point3d}, {}},
    {"scalar!", {Type::money, Type::char_, Type::pair, Type::tuple, Type::time, Type::date}, {"number!", "any-point!"}},
    {"any-word!", {Type::word, Type::set_word, Type::lit_word, Type::get_word}, {}},
    {"all-word!", {Type::refinement, Type::issue}, {"any-word!"}},
    {"any-list!", {Type::block, Type::paren, Type::hash}, {}},
    {"any-path!", {Type::path, Type::lit_path, Type::set_path, Type::get_path}, {}},
    {"any-block!", {}, {"any-path!", "any-list!"}},
    {"any-function!", {Type::native, Type::action, Type::op, Type::function, Type::routine}, {}},
    {"any-object!", {Type::object, Type::error, Type::port}, {}},
    {"any-string!", {Type::string, Type::file, Type::url, Type::tag, Type::email, Type::ref}, {}},
    {"series!", {Type::binary, Type::image, Type::vector}, {"any-block!", "any-string!"}},
    {"immediate!", {Type::none, Type::logic, Type::datatype, Type::typeset, Type::handle, Type::date},
     {"scalar!", "all-word!"}},
    {"default!", {Type::map, Type::bitset}, {"series!", "immediate!", "any-object!", "external!", "any-function!"}},
    {"any-type!", {}, {"default!", "internal!"}},
};

// The types of the action arguments that take only some types; every other argument takes
// any-type!, and the datatype function judges it.
struct ActionArgumentTypes {
  Act action;
  std::string_view argument;
  std::string_view types;
};
constexpr ActionArgumentTypes kActionArgumentTypes[] = {
    {Act::Form, "limit", "integer!"},   {Act::Mold, "limit", "integer!"},  {Act::Append, "count", "integer!"},
    {Act::Insert, "count", "integer!"}, {Act::Change, "count", "integer!"},
};

// The type block of an action's argument.
std::string_view action_argument_types(Act action, std::string_view argument) {
  for (const ActionArgumentTypes& row : kActionArgumentTypes)
    if (row.action == action && row.argument == argument) return row.types;
  return "any-type!";
}

// The operators over actions.
struct OperatorRow {
  std::string_view word;
  Act action;
};
constexpr OperatorRow kOperators[] = {
    {"+", Act::Add},       {"-", Act::Subtract}, {"*", Act::Multiply}, {"/", Act::Divide}, {"%", Act::Remainder},
    {"**", Act::Power},    {"and", Act::And},    {"or", Act::Or},      {"xor", Act::Xor},
};

// The operators over natives: the operator word and the native it wraps.
struct NativeOperatorRow {
  std::string_view word;
  std::string_view native;
};
constexpr NativeOperatorRow kNativeOperators[] = {
    {"=", "equal?"},   {"<>", "not-equal?"}, {"==", "strict-equal?"},    {"=?", "same?"},
    {"<", "lesser?"},  {">", "greater?"},    {"<=", "lesser-or-equal?"}, {">=", "greater-or-equal?"},
};

// The slot of a native by its name; 0 for a name not in the table.
uint32_t native_slot_named(std::string_view name) {
  for (uint32_t slot = 1; slot <= kNamedNatives; ++slot)
    if (kNativeSpecs[slot - 1].name == name) return slot;
  return 0;
}

// The global word of a name, bound to its slot (added unset when new).
Cell global_word(std::string_view name) { return context_add_word(symbol_intern_bytes(name), global_context()); }

void define(std::string_view name, const Cell& value) {
  Cell word = global_word(name);
  word_set(word, value);
}

// Reads spec text into blocks.
class SpecReader {
 public:
  explicit SpecReader(std::string_view text) : text_(text) {}

  // The items up to a closing bracket or the end, into a new block.
  Cell block() {
    Cell made;
    block_make_at(made, 4);
    stack_push_value(made);  // held while it fills
    for (;;) {
      while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
      if (pos_ >= text_.size()) break;
      if (text_[pos_] == ']') {
        ++pos_;
        break;
      }
      item(made);
    }
    stack_drop(1);
    return made;
  }

 private:
  void item(const Cell& block) {
    const char c = text_[pos_];
    if (c == '[') {
      ++pos_;
      block_append_copy(block, this->block());
      return;
    }
    if (c == '"') {
      const size_t close = text_.find('"', pos_ + 1);
      if (close == std::string_view::npos) fatal_assertion();
      const std::string_view text = text_.substr(pos_ + 1, close - pos_ - 1);
      string_load_in({reinterpret_cast<const uint8_t*>(text.data()), text.size()}, block.w2, TextEncoding::utf8);
      pos_ = close + 1;
      return;
    }
    const size_t end = text_.find_first_of(" []", pos_);
    std::string_view token = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
    pos_ += token.size();
    block_append_copy(block, word_token(token));
  }

  // A word of the kind its punctuation gives.
  static Cell word_token(std::string_view token) {
    Type type = Type::word;
    if (token.size() > 1 && token[0] == '/') {
      return make_cell(Type::refinement, 0, symbol_intern_bytes(token.substr(1)), 0);
    } else if (token.size() > 1 && token[0] == '\'') {
      type = Type::lit_word, token.remove_prefix(1);
    } else if (token.size() > 1 && token[0] == ':') {
      type = Type::get_word, token.remove_prefix(1);
    } else if (token.size() > 1 && token.back() == ':') {
      type = Type::set_word, token.remove_suffix(1);
    }
    Cell word = global_word(token);
    set_value_type_byte(word, type);
    return word;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// Every datatype name word holds its datatype!. The canonical values need them: their
// argument descriptions read the type words of the specs.
void define_datatype_words() {
  for (size_t id = 1; id < std::size(kDatatypeNames); ++id) {
    const Type type = static_cast<Type>(id);
    if (datatype_registered(type) && datatype_table[id].name != kDatatypeNames[id]) fatal_assertion();
    define(kDatatypeNames[id], datatype_cell(type));
  }
}

void define_typesets() {
  for (const TypesetRow& row : kTypesets) {
    Cell typeset = make_cell(Type::typeset);
    for (Type type : row.types) typeset_set(typeset, type);
    for (std::string_view included : row.includes) {
      const Cell& other = *word_value_cell(global_word(included));
      typeset.w1 |= other.w1;
      typeset.w2 |= other.w2;
      typeset.w3 |= other.w3;
    }
    define(row.name, typeset);
  }
}

// The canonical value of each native whose entry exists and of each action slot with a word.
void make_canonical_values() {
  canonical_values_init();
  for (uint32_t slot = 1; slot <= kNamedNatives; ++slot)
    if (native_entry(slot))
      set_canonical_value(native_value_build(Type::native, slot, spec_block_from_text(kNativeSpecs[slot - 1].spec), 0));
  for (uint32_t slot = 1; slot <= kActionSlots; ++slot)
    if (action_slot_has_word(slot))
      set_canonical_value(native_value_build(Type::action, slot, spec_block_from_text(action_spec_text(slot)), 0));
}

void define_operators() {
  for (const OperatorRow& row : kOperators)
    define(row.word, op_make_value(canonical_value(Type::action, static_cast<uint32_t>(slot_number(row.action)))));
  for (const NativeOperatorRow& row : kNativeOperators) {
    const uint32_t slot = native_slot_named(row.native);
    if (native_entry(slot)) define(row.word, op_make_value(canonical_value(Type::native, slot)));
  }
}

// Appends the set-word of the name and the value.
void append_definition(const Cell& block, std::string_view name, const Cell& value) {
  Cell word = global_word(name);
  set_value_type_byte(word, Type::set_word);
  block_append_copy(block, word);
  block_append_copy(block, value);
}

}  // namespace

std::string action_spec_text(uint32_t slot) {
  const std::string_view text = action_spec(act_of_slot(slot)).text;
  std::string spec;
  for (size_t i = 1; !action_text::item(text, i).empty(); ++i) {
    const std::string_view item = action_text::item(text, i);
    if (!spec.empty()) spec += ' ';
    spec += item;
    if (!action_text::is_refinement(item))
      spec += " [" + std::string(action_argument_types(act_of_slot(slot), item)) + "]";
  }
  return spec;
}

Cell spec_block_from_text(std::string_view text) { return SpecReader(text).block(); }

std::string_view datatype_name(Type type) {
  const size_t id = type_index(type);
  return id < std::size(kDatatypeNames) ? kDatatypeNames[id] : std::string_view{};
}

void define_language_values() {
  define_datatype_words();
  define_typesets();
  make_canonical_values();
  define_operators();
}

Cell language_definitions() {
  GcRoot<Cell> block;
  block_make_at(*block, 2 * (kNamedNatives + kActionSlots));
  for (uint32_t slot = 1; slot <= kNamedNatives; ++slot)
    if (native_entry(slot)) append_definition(*block, kNativeSpecs[slot - 1].name, canonical_value(Type::native, slot));
  for (uint32_t slot = 1; slot <= kActionSlots; ++slot)
    if (action_slot_has_word(slot))
      append_definition(*block, action_text::item(action_spec(act_of_slot(slot)).text, 0),
                        canonical_value(Type::action, slot));
  return *block;
}

}  // namespace qel

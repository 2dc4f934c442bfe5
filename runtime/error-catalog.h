// error-catalog.h: the categories, ids and messages of language errors, the only source of them.
//
// A category is picked by its position in the catalog; an id by its position inside its
// category, where the category's `code` and `type` fields come first, so the first id has
// position 2. error_id("script", "expect-arg") resolves at compile time; a typo does not compile.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace qel {

struct ErrorId {
  uint32_t category;  // catalog position of the category
  uint32_t position;  // catalog position of the id inside its category (first id: 2)

  // The error's `code` field: 100 x category + id counted from 0.
  constexpr int code() const { return static_cast<int>(100 * category + position - 2); }
  friend constexpr bool operator==(ErrorId, ErrorId) = default;
};

// One id of a category and its message, written as the language reads it: a string ("text"),
// the word of an error field whose value is the message (arg1), or a block of strings and
// field words ([:arg1 "text" arg2]); field words are arg1, arg2 and arg3, plain or get-words.
struct ErrorEntry {
  std::string_view id;
  std::string_view message;
};

struct ErrorCategory {
  std::string_view name;
  std::string_view type_text;  // shown in reports
  std::span<const ErrorEntry> ids;
};

namespace catalog_ids {
// clang-format off
inline constexpr ErrorEntry throw_ids[] = {
    {"break",      R"("no loop to break")"},
    {"return",     R"("return or exit not in function")"},
    {"throw",      R"(["no catch for throw:" :arg1])"},
    {"continue",   R"("no loop to continue")"},
    {"while-cond", R"("BREAK/CONTINUE cannot be used in WHILE condition block")"},
};
inline constexpr ErrorEntry note_ids[] = {
    {"no-load", R"(["cannot load: " :arg1])"},
};
inline constexpr ErrorEntry syntax_ids[] = {
    {"invalid",      R"([:arg1 "invalid" :arg2 "at" :arg3])"},
    {"missing",      R"([:arg1 "missing" :arg2 "at" :arg3])"},
    {"no-header",    R"(["script is missing a Qel header:" :arg1])"},
    {"no-rs-header", R"(["script is missing a Qel/System header:" :arg1])"},
    {"bad-header",   R"(["script header is not valid:" :arg1])"},
    {"malconstruct", R"([:arg1 "invalid construction spec at" :arg2])"},
    {"bad-char",     R"([:arg1 "invalid character at" :arg2])"},
};
inline constexpr ErrorEntry script_ids[] = {
    {"no-value",           R"([:arg1 "has no value"])"},
    {"need-value",         R"([:arg1 "needs a value"])"},
    {"not-defined",        R"([:arg1 "word is not bound to a context"])"},
    {"not-in-context",     R"([:arg1 "is not in the specified context"])"},
    {"no-arg",             R"([:arg1 "is missing its" :arg2 "argument"])"},
    {"expect-arg",         R"([:arg1 "does not allow" :arg2 "for its" :arg3 "argument"])"},
    {"expect-val",         R"(["expected" :arg1 "not" :arg2])"},
    {"expect-type",        R"([:arg1 "field must be of type" :arg2])"},
    {"cannot-use",         R"(["cannot use" :arg1 "on" :arg2 "value"])"},
    {"invalid-arg",        R"(["invalid argument:" :arg1])"},
    {"invalid-type",       R"([:arg1 "type is not allowed here"])"},
    {"invalid-type-spec",  R"(["invalid type specifier:" :arg1])"},
    {"invalid-key-type",   R"(["invalid key type:" :arg1])"},
    {"invalid-op",         R"(["invalid operator:" :arg1])"},
    {"no-op-arg",          R"([:arg1 "operator is missing an argument"])"},
    {"bad-op-spec",        R"("making an op! requires a function with only 2 arguments and no lit/get-word on left argument")"},
    {"invalid-data",       R"(["data not in correct format:" :arg1])"},
    {"invalid-part",       R"(["invalid /part count:" :arg1])"},
    {"not-same-type",      R"("values must be of the same type")"},
    {"not-same-class",     R"(["cannot coerce" :arg1 "to" :arg2])"},
    {"not-related",        R"(["incompatible argument for" :arg1 "of" :arg2])"},
    {"bad-func-def",       R"(["invalid function definition:" :arg1])"},
    {"bad-func-arg",       R"(["function argument" :arg1 "is not valid"])"},
    {"bad-func-extern",    R"(["invalid /extern value:" :arg1])"},
    {"no-refine",          R"([:arg1 "has no refinement called" :arg2])"},
    {"bad-refines",        R"("incompatible or invalid refinements")"},
    {"bad-refine",         R"(["invalid refinement value:" :arg1])"},
    {"dup-refine",         R"(["duplicate refinement usage in:" :arg1])"},
    {"word-first",         R"(["path must start with a word:" :arg1])"},
    {"empty-path",         R"("cannot evaluate an empty path value")"},
    {"unset-path",         R"([:arg2 "is unset in path" :arg1])"},
    {"invalid-path",       R"(["cannot access" :arg2 "in path" :arg1])"},
    {"invalid-path-set",   R"(["unsupported type in" :arg1 "set-path"])"},
    {"invalid-path-get",   R"(["unsupported type in" :arg1 "get-path"])"},
    {"bad-path-type",      R"([:arg3 "returned a" :arg2 "value, so" :arg1 "could not be accessed"])"},
    {"bad-path-type2",     R"([:arg1 "is not a valid path element for" :arg2])"},
    {"bad-path-set",       R"(["cannot set" :arg2 "in path" :arg1])"},
    {"bad-field-set",      R"(["cannot set" :arg1 "field to" :arg2 "datatype"])"},
    {"dup-vars",           R"(["duplicate variable specified:" :arg1])"},
    {"past-end",           R"("out of range or past end")"},
    {"missing-arg",        R"("missing a required argument or refinement")"},
    {"out-of-range",       R"(["value out of range:" :arg1])"},
    {"invalid-chars",      R"("contains invalid characters")"},
    {"invalid-compare",    R"(["cannot compare" :arg1 "with" :arg2])"},
    {"wrong-type",         R"(["datatype assertion failed for:" :arg1])"},
    {"invalid-refine-arg", R"(["invalid" :arg1 "argument:" :arg2])"},
    {"type-limit",         R"([:arg1 "overflow/underflow"])"},
    {"size-limit",         R"(["maximum limit reached:" :arg1])"},
    {"no-return",          R"("block did not return a value")"},
    {"throw-usage",        R"("invalid use of a thrown error value")"},
    {"locked-word",        R"(["protected word - cannot modify:" :arg1])"},
    {"protected",          R"("protected value or series - cannot modify")"},
    {"bad-bad",            R"([:arg1 "error:" :arg2])"},
    {"bad-make-arg",       R"(["cannot MAKE" :arg1 "from:" :arg2])"},
    {"bad-to-arg",         R"(["cannot MAKE/TO" :arg1 "from:" :arg2])"},
    {"invalid-months",     R"("invalid system/locale/month list")"},
    {"invalid-spec-field", R"(["invalid" :arg1 "field in spec block"])"},
    {"missing-spec-field", R"([:arg1 "not found in spec block"])"},
    {"move-bad",           R"(["cannot MOVE elements from" :arg1 "to" :arg2])"},
    {"too-long",           R"("Content too long")"},
    {"invalid-char",       R"(["invalid character code:" :arg1])"},
    {"bad-loop-series",    R"(["Loop series changed to invalid value:" :arg1])"},
    {"wrong-denom",        R"([:arg1 "not same denomination as" :arg2])"},
    {"bad-denom",          R"(["invalid denomination:" :arg1])"},
    {"invalid-obj-evt",    R"(["invalid object event handler:" :arg1])"},
    {"parse-rule",         R"(["PARSE - invalid rule or usage of rule:" :arg1])"},
    {"parse-end",          R"(["PARSE - unexpected end of rule after:" :arg1])"},
    {"parse-invalid-ref",  R"(["PARSE - get-word refers to a different series!" :arg1])"},
    {"parse-block",        R"(["PARSE - input must be of any-block! type:" :arg1])"},
    {"parse-unsupported",  R"("PARSE - matching by datatype not supported for any-string! input")"},
    {"parse-infinite",     R"(["PARSE - infinite recursion at rule: [" :arg1 "]"])"},
    {"parse-stack",        R"("PARSE - stack limit reached")"},
    {"parse-keep",         R"("PARSE - KEEP is used without a wrapping COLLECT")"},
    {"parse-into-bad",     R"("PARSE - COLLECT INTO/AFTER invalid series! argument")"},
    {"parse-into-type",    R"("PARSE - COLLECT INTO/AFTER expects a series! of compatible datatype")"},
    {"draw-invalid",       R"(["DRAW - invalid input at:" :arg1])"},
    {"draw-infinite",      R"(["DRAW - infinite recursion at:" :arg1])"},
    {"invalid-data-facet", R"(["VIEW - invalid DATA facet content:" :arg1])"},
    {"face-type",          R"(["VIEW - invalid face type:" :arg1])"},
    {"not-window",         R"("VIEW - expected a window root face")"},
    {"bad-window",         R"("VIEW - a window face cannot be nested in another window")"},
    {"not-linked",         R"("VIEW - face not linked to a window")"},
    {"not-event-type",     R"(["VIEW - not a valid event type" :arg1])"},
    {"invalid-facet-type", R"(["VIEW - invalid rate value:" :arg1])"},
    {"vid-invalid-syntax", R"(["VID - invalid syntax at:" :arg1])"},
    {"rtd-invalid-syntax", R"(["RTD - invalid syntax at:" :arg1])"},
    {"rtd-no-match",       R"(["RTD - opening/closing tag not matching for:" :arg1])"},
    {"react-bad-func",     R"("REACT - /LINK option requires a function! as argument")"},
    {"react-not-enough",   R"("REACT - reactive functions must accept at least 2 arguments")"},
    {"react-no-match",     R"("REACT - objects block length must match reaction function arg count")"},
    {"react-bad-obj",      R"("REACT - target can only contain object values")"},
    {"react-gctx",         R"(["REACT - word is not bound to an object:" :arg1])"},
    {"lib-invalid-arg",    R"(["LIBQEL - invalid argument for" :arg1])"},
    {"rb-invalid-record",  R"(["QELBIN - invalid record at index" :arg1])"},
};
inline constexpr ErrorEntry math_ids[] = {
    {"zero-divide", R"("attempt to divide by zero")"},
    {"overflow",    R"("math or number overflow")"},
    {"positive",    R"("positive number required")"},
};
inline constexpr ErrorEntry access_ids[] = {
    {"cannot-open",    R"(["cannot open:" :arg1])"},
    {"cannot-close",   R"(["cannot close:" :arg1])"},
    {"invalid-utf8",   R"(["invalid UTF-8 encoding:" :arg1])"},
    {"not-open",       R"(["port is not open:" :arg1])"},
    {"no-connect",     R"(["cannot connect:" :arg1 "reason:" :arg2])"},
    {"no-scheme",      R"(["missing port scheme:" :arg1])"},
    {"unknown-scheme", R"(["scheme is unknown:" :arg1])"},
    {"invalid-spec",   R"(["invalid spec or options:" :arg1])"},
    {"invalid-port",   R"~(["invalid port object (invalid field values)"])~"},
    {"invalid-actor",  R"~(["invalid port actor (must be handle or object)"])~"},
    {"no-port-action", R"("port action not supported")"},
    {"no-create",      R"(["cannot create:" :arg1])"},
    {"no-codec",       R"(["cannot decode or encode (no codec):" :arg1])"},
    {"bad-media",      R"~(["bad media data (corrupt image, sound, video)"])~"},
    {"invalid-cmd",    R"(["invalid port command:" :arg1])"},
};
// The user's message is the error's text argument itself.
inline constexpr ErrorEntry user_ids[] = {
    {"message", R"(arg1)"},
};
inline constexpr ErrorEntry internal_ids[] = {
    {"bad-path",       R"(["bad path:" arg1])"},
    {"not-here",       R"([arg1 "not supported on your system"])"},
    {"no-memory",      R"("not enough memory")"},
    {"wrong-mem",      R"("failed to release memory")"},
    {"stack-overflow", R"("stack overflow")"},
    {"limit-hit",      R"(["internal limit reached:" :arg1])"},
    {"too-deep",       R"("block or paren series is too deep to process")"},
    {"no-cycle",       R"("circular reference not allowed")"},
    {"feature-na",     R"("feature not available")"},
    {"not-done",       R"~("reserved for future use (or not yet implemented)")~"},
    {"invalid-error",  R"(["invalid error object field value:" :arg1])"},
    {"routines",       R"("routines require compilation, from OS shell: `qel -r <script.qel>`")"},
    {"qel-system",     R"("contains Qel/System code which requires compilation")"},
    {"deprecated",     R"([arg1 "is DEPRECATED, please use" arg2 "instead"])"},
};
// clang-format on
}  // namespace catalog_ids

inline constexpr ErrorCategory error_categories[] = {
    {"throw", "Throw Error", catalog_ids::throw_ids},
    {"note", "note", catalog_ids::note_ids},
    {"syntax", "Syntax Error", catalog_ids::syntax_ids},
    {"script", "Script Error", catalog_ids::script_ids},
    {"math", "Math Error", catalog_ids::math_ids},
    {"access", "Access Error", catalog_ids::access_ids},
    {"reserved1", "Reserved1 Error", {}},
    {"reserved2", "Reserved2 Error", {}},
    {"user", "User Error", catalog_ids::user_ids},
    {"internal", "Internal Error", catalog_ids::internal_ids},
};

// The shape of a catalog message.
enum class MessageShape { text, field, block };

// One piece of a message: a text, or the error field arg1..arg3 it names.
struct MessagePart {
  std::string_view text;  // the text, or the field word's spelling (a get-word without its colon)
  int field = 0;          // 1 to 3 for a field word, 0 for a text
  bool get = false;       // the field word is written as a get-word
};

// Reads the pieces of a catalog message in order; a text message is a single text piece.
class MessageReader {
 public:
  constexpr explicit MessageReader(std::string_view message) : rest_(message) {
    if (!rest_.empty() && rest_.front() == '[') {
      shape_ = MessageShape::block;
      rest_ = rest_.substr(1, rest_.size() >= 2 ? rest_.size() - 2 : 0);
    } else if (!rest_.empty() && rest_.front() != '"') {
      shape_ = MessageShape::field;
    }
  }

  constexpr MessageShape shape() const { return shape_; }

  // Takes the next piece; false at the end, and false with well_formed() false on a bad piece.
  constexpr bool next(MessagePart& part) {
    while (!rest_.empty() && rest_.front() == ' ') rest_.remove_prefix(1);
    if (rest_.empty()) return false;
    if (rest_.front() == '"') {
      const size_t close = rest_.find('"', 1);
      if (close == std::string_view::npos) return fail();
      part = {rest_.substr(1, close - 1), 0};
      rest_.remove_prefix(close + 1);
      return true;
    }
    size_t end = rest_.find(' ');
    if (end == std::string_view::npos) end = rest_.size();
    std::string_view word = rest_.substr(0, end);
    rest_.remove_prefix(end);
    const bool get = !word.empty() && word.front() == ':';
    if (get) word.remove_prefix(1);
    if (word != "arg1" && word != "arg2" && word != "arg3") return fail();
    part = {word, word.back() - '0', get};
    return true;
  }

  constexpr bool well_formed() const { return well_formed_; }

 private:
  constexpr bool fail() {
    well_formed_ = false;
    rest_ = {};
    return false;
  }

  std::string_view rest_;
  MessageShape shape_ = MessageShape::text;
  bool well_formed_ = true;
};

// Whether every message of the catalog reads as texts and field words only.
consteval bool catalog_messages_well_formed() {
  for (const ErrorCategory& category : error_categories)
    for (const ErrorEntry& entry : category.ids) {
      if (entry.message.empty()) return false;
      MessageReader reader(entry.message);
      MessagePart part;
      while (reader.next(part)) {
      }
      if (!reader.well_formed()) return false;
    }
  return true;
}
static_assert(catalog_messages_well_formed(), "a catalog message is not made of texts and field words");

// Resolves a category and an id name to their catalog positions; fails to compile when unknown.
consteval ErrorId error_id(std::string_view category, std::string_view id) {
  for (uint32_t c = 0; c < std::size(error_categories); ++c) {
    if (error_categories[c].name != category) continue;
    const auto& ids = error_categories[c].ids;
    for (uint32_t i = 0; i < ids.size(); ++i)
      if (ids[i].id == id) return ErrorId{c, i + 2};
  }
  throw "unknown error category or id";
}

}  // namespace qel

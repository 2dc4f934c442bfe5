// error-catalog.h: the categories and ids of language errors, the only source of their numbers.
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

struct ErrorCategory {
  std::string_view name;
  std::string_view type_text;  // shown in reports
  std::span<const std::string_view> ids;
};

namespace catalog_ids {
inline constexpr std::string_view throw_ids[] = {"break", "return", "throw", "continue", "while-cond"};
inline constexpr std::string_view note_ids[] = {"no-load"};
inline constexpr std::string_view syntax_ids[] = {"invalid",      "missing",    "no-header",   "no-rs-header",
                                                  "bad-header",   "malconstruct", "bad-char"};
inline constexpr std::string_view script_ids[] = {
    "no-value",        "need-value",        "not-defined",       "not-in-context",   "no-arg",
    "expect-arg",      "expect-val",        "expect-type",       "cannot-use",       "invalid-arg",
    "invalid-type",    "invalid-type-spec", "invalid-key-type",  "invalid-op",       "no-op-arg",
    "bad-op-spec",     "invalid-data",      "invalid-part",      "not-same-type",    "not-same-class",
    "not-related",     "bad-func-def",      "bad-func-arg",      "bad-func-extern",  "no-refine",
    "bad-refines",     "bad-refine",        "dup-refine",        "word-first",       "empty-path",
    "unset-path",      "invalid-path",      "invalid-path-set",  "invalid-path-get", "bad-path-type",
    "bad-path-type2",  "bad-path-set",      "bad-field-set",     "dup-vars",         "past-end",
    "missing-arg",     "out-of-range",      "invalid-chars",     "invalid-compare",  "wrong-type",
    "invalid-refine-arg", "type-limit",     "size-limit",        "no-return",        "throw-usage",
    "locked-word",     "protected",         "bad-bad",           "bad-make-arg",     "bad-to-arg",
    "invalid-months",  "invalid-spec-field", "missing-spec-field", "move-bad",       "too-long",
    "invalid-char",    "bad-loop-series",   "wrong-denom",       "bad-denom",        "invalid-obj-evt",
    "parse-rule",      "parse-end",         "parse-invalid-ref", "parse-block",      "parse-unsupported",
    "parse-infinite",  "parse-stack",       "parse-keep",        "parse-into-bad",   "parse-into-type",
    "draw-invalid",    "draw-infinite",     "invalid-data-facet", "face-type",       "not-window",
    "bad-window",      "not-linked",        "not-event-type",    "invalid-facet-type", "vid-invalid-syntax",
    "rtd-invalid-syntax", "rtd-no-match",   "react-bad-func",    "react-not-enough", "react-no-match",
    "react-bad-obj",   "react-gctx",        "lib-invalid-arg",   "rb-invalid-record"};
inline constexpr std::string_view math_ids[] = {"zero-divide", "overflow", "positive"};
inline constexpr std::string_view access_ids[] = {
    "cannot-open", "cannot-close", "invalid-utf8",   "not-open",     "no-connect",
    "no-scheme",   "unknown-scheme", "invalid-spec", "invalid-port", "invalid-actor",
    "no-port-action", "no-create", "no-codec",       "bad-media",    "invalid-cmd"};
inline constexpr std::string_view user_ids[] = {"message"};
inline constexpr std::string_view internal_ids[] = {
    "bad-path",  "not-here",   "no-memory",  "wrong-mem", "stack-overflow", "limit-hit",    "too-deep",
    "no-cycle",  "feature-na", "not-done",   "invalid-error", "routines",   "qel-system",   "deprecated"};
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

// Resolves a category and an id name to their catalog positions; fails to compile when unknown.
consteval ErrorId error_id(std::string_view category, std::string_view id) {
  for (uint32_t c = 0; c < std::size(error_categories); ++c) {
    if (error_categories[c].name != category) continue;
    const auto& ids = error_categories[c].ids;
    for (uint32_t i = 0; i < ids.size(); ++i)
      if (ids[i] == id) return ErrorId{c, i + 2};
  }
  throw "unknown error category or id";
}

}  // namespace qel

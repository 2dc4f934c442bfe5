// spec-table.h: the canonical specs of the 107 natives and the 59 action words, the language
// typesets, the start-up that makes the datatype words, typesets, canonical values and
// operators, and the definitions of the native and action words that the boot image carries.
//
// Specs are written here as text in the language's own notation (doc strings, parameters with
// type blocks, refinements, return:), read by a small reader that knows only what specs hold.
#pragma once

#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

struct NativeSpec {
  std::string_view name;
  std::string_view spec;
};

// The natives in slot order (slot n at n - 1).
extern const NativeSpec kNativeSpecs[107];

// The spec of action slot n (slots 1-6 and 10-62): its parameters and refinements, each
// parameter taking [any-type!] (the action table decides what it supports).
std::string action_spec_text(uint32_t slot);

// A new block read from spec text: strings, words, lit-words, get-words, set-words,
// refinements and blocks; words are bound in the global context.
Cell spec_block_from_text(std::string_view text);

// The name of a datatype ("integer!"), registered or not.
std::string_view datatype_name(Type type);

// The start-up's values: the datatype words, the 18 language typesets, the canonical values of
// the natives whose entries exist and of the action slots with a word (whose argument
// descriptions read those words), and the operators over actions and natives. The native and
// action words get their values from the boot image.
void define_language_values();

// What the boot image defines before the library's modules: a new block of set-word, value
// pairs, each native whose entry exists and each action word with its canonical value.
Cell language_definitions();

}  // namespace qel

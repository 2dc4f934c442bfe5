// environment-natives.h: set-env, get-env and list-env over the process environment.
//
// Names and values are UTF-8 both ways, unchanged; a name is a word's spelling or a text.
#pragma once

#include <cstdint>

#include "runtime/throw.h"

namespace qel {

// set-env var value: sets the variable, or removes it for a none value; answers the value. A
// name that is empty or holds "=" or U+0000, or a value holding U+0000, cannot be stored: script
// invalid-arg naming it, the environment unchanged.
Status native_set_env(const int32_t* refinements);
// get-env var: the variable's value as a new string!, none when it is not set.
Status native_get_env(const int32_t* refinements);
// list-env: a new map! from every name to its value, names compared with letter case.
Status native_list_env(const int32_t* refinements);

}  // namespace qel

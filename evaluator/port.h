// port.h: port! values: objects through which the language reaches a resource of a scheme. A
// port's actions from append on are not the runtime's: they go, by name, to the functions of the
// actor its scheme supplies (an object! of functions), or to the action table a handle! actor
// names.
//
// A port cell is an object cell (w1 the context, w2 the class id, always 2, w3 no change-hook
// record) whose context holds a copy of system/standard/port's fields: spec, scheme, actor,
// awake, state, data, extra. Making a port sets the first three; the rest are the actor's.
#pragma once

#include <cstdint>

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

inline constexpr uint32_t kPortClassId = 2;

// The layouts of the prototypes behind ports: a port's fields (system/standard/port), a spec
// object's (system/standard/url-parts) and a scheme's (system/standard/scheme).
inline constexpr const char* kPortFieldNames[] = {"spec", "scheme", "actor", "awake", "state", "data", "extra"};
inline constexpr const char* kUrlPartsFieldNames[] = {"scheme", "user-info", "host",     "port", "path",
                                                      "target", "query",     "fragment", "ref"};
inline constexpr const char* kSchemeFieldNames[] = {"name", "title", "info", "actor", "awake"};

// port-make: a port of the spec's scheme, its actor taken from the scheme, no actor function
// called. The spec object is the spec itself when it is an object!, else a copy of
// system/standard/url-parts made from it as make object! makes one. Access errors, naming the
// spec given: no-scheme when the spec object's first field is no word!, unknown-scheme when
// system/schemes holds no object! after that word, invalid-actor when the scheme's actor is
// neither an object! nor a handle!.
Cell port_make(const Cell& spec);

// The value of the port's field of that name, none when it has no such field.
Cell port_field(const Cell& port, const char* name);

// register-port-datatype: port! under object! (reflect, path steps and compare inherited) with
// make, form and mold of its own, open, read and write through its actor, every other action up
// to append and open? unsupported; installs the port services.
void register_port_datatype();

}  // namespace qel

// port-actor.h: forwarding a port's actions to the functions of its actor object.
//
// Each forwarded call runs the actor's function of the action's name as a callback of the port
// bit, with the port and the action's arguments: a refinement as a logic! and its argument as
// the value given, none when the refinement is absent. The function's parameters are filled by
// its own layout, so an actor function taking fewer or more arguments than the action passes
// still reads only its own slots. The function's result is the action's.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/actions.h"
#include "runtime/cell.h"

namespace qel {

// port-get-actor: the port's actor field; a value that is no object! raises access
// invalid-port.
Cell port_actor_object(const Cell& port);

// port-call-actor: calls the function the actor holds under the action's word with the
// arguments (the port first) and answers its result; a field that is no function! (or none at
// all) raises access no-port-action with the word.
Cell port_call_actor(const Cell& port, Act act, std::span<const Cell> arguments);

// The port-forward service: an action of the port in the current frame, forwarded to an
// object! actor with the arguments the action's row names, taken from the frame. False, with
// nothing done, for a handle! actor and for open, open?, read and write, which take the typed
// route (port_open, port_read, port_write, or the unsupported-action error).
bool port_forward(Act act, const int32_t* refinements);

// The typed functions of port!'s open, read and write slots (also reached by url! I/O).
// open: the actor's open with its four flags and the /allow argument.
Cell* port_open(Cell& port, bool new_, bool read, bool write, bool seek, Cell* allow);
// read: the actor's open (/seek as given, the other flags false), copy (/part as given), close;
// copy's result is read's. /binary, /lines, /info and /as are not passed on.
Cell* port_read(Cell& source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as);
// write: the actor's open (/write, /seek as given), insert of the data (/part with an integer
// length when one was given), copy (write's /part), close; copy's result is write's.
Cell* port_write(Cell& destination, Cell& data, bool binary, bool lines, bool info, bool append, Cell* part, Cell* seek,
                 Cell* allow, Cell* as);

}  // namespace qel

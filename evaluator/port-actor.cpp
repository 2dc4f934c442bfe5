// port-actor.cpp: forwarding a port's actions to its actor object, and the composed read and
// write.
#include "evaluator/port-actor.h"

#include <array>
#include <string_view>

#include "datatypes/scalars/logic.h"
#include "evaluator/interpreter.h"
#include "evaluator/port.h"
#include "runtime/callback-bits.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/exits.h"
#include "runtime/gc-root.h"
#include "runtime/services.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// What each forwarded action passes after the port, by the names of its action text: a fixed
// argument's name passes that argument, "/name" the refinement's flag as a logic!, and the name
// of a refinement's argument that argument (none when the refinement is absent). Open, read and
// write have typed functions of their own; open? is not forwarded.
struct ForwardRow {
  Act act;
  std::string_view items;
};
constexpr ForwardRow kForwardRows[] = {
    {Act::Append, "value /part length /only /dup count"},
    {Act::At, "index"},
    {Act::Back, ""},
    {Act::Change, "value /part range /only /dup count"},
    {Act::Clear, ""},
    {Act::Copy, "/part length /deep /types kind"},
    {Act::Find, "value /part length /only /case /same /any /with wild /skip size /last /reverse /tail /match"},
    {Act::Head, ""},
    {Act::HeadQ, ""},
    {Act::IndexQ, ""},
    {Act::Insert, "value /part length /only /dup count"},
    {Act::LengthQ, ""},
    {Act::Move, "target /part length"},
    {Act::Next, ""},
    {Act::Pick, "index"},
    {Act::Poke, "index value"},
    {Act::Put, "key value /case"},
    {Act::Remove, "/part length"},
    {Act::Reverse, "/part length"},
    {Act::Select, "value /part length /only /case /same /any /with wild /skip size /last /reverse"},
    {Act::Sort, "/case /skip size /compare comparator /part length /all /reverse /stable"},
    {Act::Skip, "offset"},
    {Act::Swap, "series2"},
    {Act::Tail, ""},
    {Act::TailQ, ""},
    {Act::Take, "/part length /deep /last"},
    {Act::Trim, "/head /tail /auto /lines /all /with str"},
    {Act::Create, ""},
    {Act::Close, ""},
    {Act::Delete, ""},
    {Act::Modify, "field value /case"},
    {Act::Query, ""},
    {Act::Rename, "to"},
    {Act::Update, ""},
};

// The most cells a forwarded call passes: find's port, value and thirteen refinement items.
constexpr size_t kMostForwarded = 16;

const ForwardRow* forward_row(Act act) {
  for (const ForwardRow& row : kForwardRows)
    if (row.act == act) return &row;
  return nullptr;
}

Cell none_cell() { return make_cell(Type::none); }

// The word of an action: the first item of its text.
Cell action_word(Act act) {
  const std::string_view name = action_text::item(action_spec(act).text, 0);
  return make_cell(Type::word, 0, symbol_intern_bytes(name), kUnresolved);
}

// One forwarded item, read from the current frame by its name in the action's text.
Cell frame_item(Act act, std::string_view name, const int32_t* refinements) {
  const std::string_view text = action_spec(act).text;
  int32_t refinement = -1;  // the refinement the items so far belong to
  for (size_t i = 1; i < action_text::item_count(text); ++i) {
    const std::string_view item = action_text::item(text, i);
    if (action_text::is_refinement(item)) {
      ++refinement;
      if (item == name) return make_cell(Type::logic, refinements[refinement] != -1 ? 1 : 0);
    } else if (item == name) {
      if (refinement < 0) return value_stack.base[i - 1];
      const int32_t offset = refinements[refinement];
      return offset == -1 ? none_cell() : value_stack.base[offset];
    }
  }
  fatal_assertion();  // a row names an item its action does not have
}

// Runs the actor's step (copy, or insert and copy), then its close whatever the step did, so a
// resource the step failed on is not left open. The step's error, or its other exit (break,
// throw ...), whose unwinder has already brought the stacks to its target, passes on after
// close, ahead of any error close raises in turn.
template <class Step>
Cell run_then_close(const Cell& port, Step step) {
  GcRoot<Cell> result(none_cell());
  const std::array<Cell, 1> closing{port};
  const Caught caught = trap_errors([&] { *result = step(); });
  if (!caught.taken) {
    port_call_actor(port, Act::Close, closing);
    return *result;
  }
  if (caught.taken == kThrowError) {
    *result = *stack_last_value();
    stack_drop(1);
  }
  // An exit's unwinder may have left its value in the cell at the stack top: close runs above it.
  Cell* const top = value_stack.top;
  stack_push_cell();
  if (trap_errors([&] { port_call_actor(port, Act::Close, closing); }).taken == kThrowError) stack_drop(1);
  value_stack.top = top;
  if (caught.taken == kThrowError) throw_error_value(*result);
  throw_code(caught.taken);
}

// The actor's open with /new and /read false, /write and /seek as given, and no access.
void open_for(const Cell& port, bool write, bool seek) {
  const Cell no = make_cell(Type::logic, 0);
  const std::array<Cell, 6> opening{port, no, no, make_cell(Type::logic, write ? 1 : 0),
                                    make_cell(Type::logic, seek ? 1 : 0), none_cell()};
  port_call_actor(port, Act::Open, opening);
}

// The actor's copy with /part as given (flag and value), /deep false and no /types.
Cell copy_part(const Cell& port, const Cell* part) {
  const Cell no = make_cell(Type::logic, 0);
  const std::array<Cell, 6> copying{port, make_cell(Type::logic, part ? 1 : 0), part ? *part : none_cell(), no, no,
                                    none_cell()};
  return port_call_actor(port, Act::Copy, copying);
}

}  // namespace

Cell port_actor_object(const Cell& port) {
  const Cell actor = services().port_actor(port);
  if (cell_type(actor) != Type::object) raise_error(error_id("access", "invalid-port"));
  return actor;
}

Cell port_call_actor(const Cell& port, Act act, std::span<const Cell> arguments) {
  const Cell actor = port_actor_object(port);
  const Cell word = action_word(act);
  const Cell* function = context_word_value_cell(word.w2, actor.w1);
  if (!function || cell_type(*function) != Type::function) raise_error(error_id("access", "no-port-action"), word);
  return call_function_unchecked(*function, arguments, word, kPortCallback);
}

bool port_forward(Act act, const int32_t* refinements) {
  const ForwardRow* row = forward_row(act);
  if (!row) return false;
  const Cell port = value_stack.base[0];
  if (cell_type(services().port_actor(port)) == Type::handle) return false;
  std::array<Cell, kMostForwarded> arguments;
  size_t count = 0;
  arguments[count++] = port;
  for (size_t i = 0; i < action_text::item_count(row->items); ++i)
    arguments[count++] = frame_item(act, action_text::item(row->items, i), refinements);
  *value_stack.base = port_call_actor(port, act, std::span(arguments.data(), count));
  return true;
}

Cell* port_open(Cell& port, bool new_, bool read, bool write, bool seek, Cell* allow) {
  const std::array<Cell, 6> opening{port,
                                    make_cell(Type::logic, new_ ? 1 : 0),
                                    make_cell(Type::logic, read ? 1 : 0),
                                    make_cell(Type::logic, write ? 1 : 0),
                                    make_cell(Type::logic, seek ? 1 : 0),
                                    allow ? *allow : none_cell()};
  port = port_call_actor(port, Act::Open, opening);
  return &port;
}

Cell* port_read(Cell& source, Cell* part, Cell* seek, bool, bool, bool, Cell*) {
  GcRoot<Cell> port(source);
  open_for(*port, false, seek != nullptr);
  source = run_then_close(*port, [&] { return copy_part(*port, part); });
  return &source;
}

Cell* port_write(Cell& destination, Cell& data, bool, bool, bool, bool, Cell* part, Cell* seek, Cell*, Cell*) {
  GcRoot<Cell> port(destination);
  const int32_t length = part && cell_type(*part) == Type::integer ? payload_i32(*part, 2) : -1;
  open_for(*port, true, seek != nullptr);
  destination = run_then_close(*port, [&] {
    const Cell no = make_cell(Type::logic, 0);
    const std::array<Cell, 7> inserting{*port,
                                        data,
                                        make_cell(Type::logic, length >= 0 ? 1 : 0),
                                        length >= 0 ? make_cell(Type::integer, 0, static_cast<uint32_t>(length))
                                                    : none_cell(),
                                        no,
                                        no,
                                        none_cell()};
    port_call_actor(*port, Act::Insert, inserting);
    return copy_part(*port, part);
  });
  return &destination;
}

}  // namespace qel

// actions.h: the 62 action slots: their order, their words, arguments and refinements, how each
// entry finishes, and the C++ signature of the datatype function that fills each slot.
//
// The slot number is an action's identity everywhere. The table below is the one source of each
// action's argument layout: the interpreter builds the action specs from it, the entries turn
// refinement positions into arguments by it, and slot_traits<S> fixes the function type that a
// datatype registers, so a function of the wrong shape does not compile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "runtime/cell.h"

namespace qel {

enum class Act : uint8_t {
  Make = 1, Random, Reflect, To, Form, Mold, PathStep, Reserved, Compare, Absolute,
  Add, Divide, Multiply, Negate, Power, Remainder, Round, Subtract, EvenQ, OddQ,
  And, Complement, Or, Xor, Append, At, Back, Change, Clear, Copy,
  Find, Head, HeadQ, IndexQ, Insert, LengthQ, Move, Next, Pick, Poke,
  Put, Remove, Reverse, Select, Sort, Skip, Swap, Tail, TailQ, Take,
  Trim, Create, Close, Delete, Modify, Open, OpenQ, Query, Read, Rename,
  Update, Write,
};

inline constexpr size_t kActionSlots = 62;
constexpr size_t slot_number(Act act) { return static_cast<size_t>(act); }
constexpr size_t slot_index(Act act) { return static_cast<size_t>(act) - 1; }
constexpr Act act_of_slot(size_t slot) { return static_cast<Act>(slot); }

// How an entry turns what the datatype function answers into the frame's result.
enum class ActionResult : uint8_t {
  none,      // the reserved slot: no entry
  copy,      // the function answers a cell, copied into the result cell
  in_place,  // the function wrote the result cell or left its first argument there
  logic,     // the function answers a flag, made a logic! result
  length,    // the function answers a count; -1 becomes none!
  self,      // the function reads the frame and writes the result itself
  compare,   // compare-values: a comparison code, a logic! result
};

// One action: its word and arguments as "word arg ... /refinement [argument] ...", and how its
// entry finishes. path-step and compare have no word; their text names their frame cells.
struct ActionSpec {
  Act slot;
  std::string_view text;
  ActionResult result;
};

inline constexpr ActionSpec kActionSpecs[kActionSlots] = {
    {Act::Make, "make type spec", ActionResult::copy},
    {Act::Random, "random value /seed /secure /only", ActionResult::in_place},
    {Act::Reflect, "reflect value field", ActionResult::in_place},
    {Act::To, "to type spec", ActionResult::copy},
    {Act::Form, "form value /part limit", ActionResult::copy},
    {Act::Mold, "mold value /only /all /flat /part limit", ActionResult::copy},
    {Act::PathStep, "<path-step> value element new-value", ActionResult::copy},
    {Act::Reserved, "<reserved>", ActionResult::none},
    {Act::Compare, "<compare> value1 value2", ActionResult::compare},
    {Act::Absolute, "absolute value", ActionResult::self},
    {Act::Add, "add value1 value2", ActionResult::self},
    {Act::Divide, "divide value1 value2", ActionResult::self},
    {Act::Multiply, "multiply value1 value2", ActionResult::self},
    {Act::Negate, "negate number", ActionResult::in_place},
    {Act::Power, "power number exponent", ActionResult::self},
    {Act::Remainder, "remainder value1 value2", ActionResult::self},
    {Act::Round, "round n /to scale /even /down /half-down /floor /ceiling /half-ceiling", ActionResult::in_place},
    {Act::Subtract, "subtract value1 value2", ActionResult::self},
    {Act::EvenQ, "even? number", ActionResult::logic},
    {Act::OddQ, "odd? number", ActionResult::logic},
    {Act::And, "and~ value1 value2", ActionResult::self},
    {Act::Complement, "complement value", ActionResult::copy},
    {Act::Or, "or~ value1 value2", ActionResult::self},
    {Act::Xor, "xor~ value1 value2", ActionResult::self},
    {Act::Append, "append series value /part length /only /dup count", ActionResult::in_place},
    {Act::At, "at series index", ActionResult::self},
    {Act::Back, "back series", ActionResult::self},
    {Act::Change, "change series value /part range /only /dup count", ActionResult::in_place},
    {Act::Clear, "clear series", ActionResult::in_place},
    {Act::Copy, "copy value /part length /deep /types kind", ActionResult::copy},
    {Act::Find,
     "find series value /part length /only /case /same /any /with wild /skip size /last /reverse /tail /match",
     ActionResult::copy},
    {Act::Head, "head series", ActionResult::self},
    {Act::HeadQ, "head? series", ActionResult::self},
    {Act::IndexQ, "index? series", ActionResult::self},
    {Act::Insert, "insert series value /part length /only /dup count", ActionResult::in_place},
    {Act::LengthQ, "length? series", ActionResult::length},
    {Act::Move, "move origin target /part length", ActionResult::copy},
    {Act::Next, "next series", ActionResult::self},
    {Act::Pick, "pick series index", ActionResult::copy},
    {Act::Poke, "poke series index value", ActionResult::copy},
    {Act::Put, "put series key value /case", ActionResult::copy},
    {Act::Remove, "remove series /part length /key key-arg", ActionResult::in_place},
    {Act::Reverse, "reverse series /part length /skip size", ActionResult::in_place},
    {Act::Select, "select series value /part length /only /case /same /any /with wild /skip size /last /reverse",
     ActionResult::copy},
    {Act::Sort, "sort series /case /skip size /compare comparator /part length /all /reverse /stable",
     ActionResult::copy},
    {Act::Skip, "skip series offset", ActionResult::self},
    {Act::Swap, "swap series1 series2", ActionResult::in_place},
    {Act::Tail, "tail series", ActionResult::self},
    {Act::TailQ, "tail? series", ActionResult::self},
    {Act::Take, "take series /part length /deep /last", ActionResult::copy},
    {Act::Trim, "trim series /head /tail /auto /lines /all /with str", ActionResult::in_place},
    {Act::Create, "create port", ActionResult::copy},
    {Act::Close, "close port", ActionResult::copy},
    {Act::Delete, "delete port", ActionResult::copy},
    {Act::Modify, "modify target field value /case", ActionResult::copy},
    {Act::Open, "open port /new /read /write /seek /allow access", ActionResult::copy},
    {Act::OpenQ, "open? port", ActionResult::copy},
    {Act::Query, "query target", ActionResult::copy},
    {Act::Read, "read source /part length /seek index /binary /lines /info /as encoding", ActionResult::copy},
    {Act::Rename, "rename from to", ActionResult::copy},
    {Act::Update, "update port", ActionResult::copy},
    {Act::Write,
     "write destination data /binary /lines /info /append /part length /seek index /allow access /as encoding",
     ActionResult::copy},
};

constexpr const ActionSpec& action_spec(Act act) { return kActionSpecs[slot_index(act)]; }

// --- Reading an action's text ---------------------------------------------------------------------

namespace action_text {

// The n-th space-separated item of a text (n from 0); empty past the end.
constexpr std::string_view item(std::string_view text, size_t n) {
  size_t start = 0;
  for (;;) {
    size_t end = text.find(' ', start);
    if (n == 0) return text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (end == std::string_view::npos) return {};
    start = end + 1;
    --n;
  }
}

constexpr size_t item_count(std::string_view text) {
  size_t n = 0;
  while (!item(text, n).empty()) ++n;
  return n;
}

constexpr bool is_refinement(std::string_view item) { return !item.empty() && item[0] == '/'; }

}  // namespace action_text

// The fixed arguments: the items after the word up to the first refinement.
constexpr size_t fixed_argument_count(Act act) {
  std::string_view text = action_spec(act).text;
  size_t n = 0;
  while (!action_text::item(text, n + 1).empty() && !action_text::is_refinement(action_text::item(text, n + 1))) ++n;
  return n;
}

constexpr size_t refinement_count(Act act) {
  std::string_view text = action_spec(act).text;
  size_t n = 0;
  for (size_t i = 0; i < action_text::item_count(text); ++i) n += action_text::is_refinement(action_text::item(text, i));
  return n;
}

// The item index of refinement r (from 0) in the action's text.
constexpr size_t refinement_item(Act act, size_t r) {
  std::string_view text = action_spec(act).text;
  for (size_t i = 0; i < action_text::item_count(text); ++i)
    if (action_text::is_refinement(action_text::item(text, i)) && r-- == 0) return i;
  return 0;
}

// Whether refinement r takes an argument (the item after it is not another refinement).
constexpr bool refinement_takes_argument(Act act, size_t r) {
  std::string_view next = action_text::item(action_spec(act).text, refinement_item(act, r) + 1);
  return !next.empty() && !action_text::is_refinement(next);
}

// The position (from 0) of a refinement among the action's refinements, by its name without "/".
consteval size_t refinement_position(Act act, std::string_view name) {
  for (size_t r = 0; r < refinement_count(act); ++r)
    if (action_text::item(action_spec(act).text, refinement_item(act, r)).substr(1) == name) return r;
  throw "the action has no such refinement";
}

// --- The datatype function of each slot ---------------------------------------------------------

// What a path-step function is told beyond the value, the element and the value to set.
struct PathStep {
  const Cell* path;      // the whole path, for error reports; null when stepping alone
  Cell* parent;          // the value the previous step was applied to, or null
  const Cell* previous;  // the previous element, or null
  const Cell* previous_selector;  // what the previous step selected by (a get-word's value, a
                                  // paren's result, else the element), or null
  int32_t index;         // this step's position in the path; -1 when stepping alone
  bool case_sensitive;
  bool get;
  bool last;
  bool notify_owner;     // tell the parent's owner of the change (a set's last step)
};

// Refinements reach datatype functions as a bool (a flag) or as a Cell* (an argument; null when
// the refinement is absent), in the action's order. Fixed arguments come as the frame's cells.
template <Act A>
struct slot_traits;

#define QEL_SLOT(act, ...)        \
  template <>                     \
  struct slot_traits<Act::act> {  \
    using fn = __VA_ARGS__;       \
  }

using SelfAction = void (*)();  // reads the frame, writes the result cell

QEL_SLOT(Make, Cell* (*)(Cell& type, Cell& spec, Type type_id));
QEL_SLOT(Random, void (*)(Cell& value, bool seed, bool secure, bool only));
QEL_SLOT(Reflect, void (*)(Cell& value, Cell& field));
QEL_SLOT(To, Cell* (*)(Cell& type, Cell& spec, Type type_id));
QEL_SLOT(Form, int32_t (*)(const Cell& value, Cell& buffer, bool part, int32_t limit));
QEL_SLOT(Mold, int32_t (*)(const Cell& value, Cell& buffer, bool only, bool all, bool flat, bool part, int32_t limit,
                           int32_t indent));
QEL_SLOT(PathStep, Cell* (*)(Cell& value, Cell& element, Cell* new_value, const PathStep& step));
QEL_SLOT(Compare, int32_t (*)(const Cell& value1, const Cell& value2, int32_t op));
QEL_SLOT(Absolute, SelfAction);
QEL_SLOT(Add, SelfAction);
QEL_SLOT(Divide, SelfAction);
QEL_SLOT(Multiply, SelfAction);
QEL_SLOT(Negate, void (*)(Cell& number));
QEL_SLOT(Power, SelfAction);
QEL_SLOT(Remainder, SelfAction);
QEL_SLOT(Round, void (*)(Cell& n, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                         bool half_ceiling));
QEL_SLOT(Subtract, SelfAction);
QEL_SLOT(EvenQ, bool (*)(const Cell& number));
QEL_SLOT(OddQ, bool (*)(const Cell& number));
QEL_SLOT(And, SelfAction);
QEL_SLOT(Complement, Cell* (*)(Cell& value));
QEL_SLOT(Or, SelfAction);
QEL_SLOT(Xor, SelfAction);
// append and insert: part is a count of units (-1: all), dup a count (1 without /dup).
QEL_SLOT(Append, void (*)(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool append));
QEL_SLOT(At, SelfAction);
QEL_SLOT(Back, SelfAction);
QEL_SLOT(Change, void (*)(Cell& series, Cell& value, int32_t part, bool only, int32_t dup));
QEL_SLOT(Clear, void (*)(Cell& series));
QEL_SLOT(Copy, Cell* (*)(Cell& value, Cell* part, bool deep, Cell* types, Cell& result));
QEL_SLOT(Find, Cell* (*)(Cell& series, Cell& value, Cell* part, bool only, bool case_, bool same, bool any, Cell* with,
                         Cell* skip, bool last, bool reverse, bool tail, bool match));
QEL_SLOT(Head, SelfAction);
QEL_SLOT(HeadQ, SelfAction);
QEL_SLOT(IndexQ, SelfAction);
QEL_SLOT(Insert, void (*)(Cell& series, Cell& value, int32_t part, bool only, int32_t dup, bool append));
QEL_SLOT(LengthQ, int32_t (*)(Cell& series));
QEL_SLOT(Move, Cell* (*)(Cell& origin, Cell& target, Cell* part));
QEL_SLOT(Next, SelfAction);
QEL_SLOT(Pick, Cell* (*)(Cell& series, int32_t index, Cell& index_cell));
QEL_SLOT(Poke, Cell* (*)(Cell& series, int32_t index, Cell& index_cell, Cell& value));
QEL_SLOT(Put, Cell* (*)(Cell& series, Cell& key, Cell& value, bool case_));
QEL_SLOT(Remove, void (*)(Cell& series, Cell* part, Cell* key));
QEL_SLOT(Reverse, void (*)(Cell& series, Cell* part, Cell* skip));
QEL_SLOT(Select, Cell* (*)(Cell& series, Cell& value, Cell* part, bool only, bool case_, bool same, bool any,
                           Cell* with, Cell* skip, bool last, bool reverse));
QEL_SLOT(Sort, Cell* (*)(Cell& series, bool case_, Cell* skip, Cell* compare, Cell* part, bool all, bool reverse,
                         bool stable));
QEL_SLOT(Skip, SelfAction);
QEL_SLOT(Swap, void (*)(Cell& series1, Cell& series2));
QEL_SLOT(Tail, SelfAction);
QEL_SLOT(TailQ, SelfAction);
QEL_SLOT(Take, Cell* (*)(Cell& series, Cell* part, bool deep, bool last));
QEL_SLOT(Trim, void (*)(Cell& series, bool head, bool tail, bool auto_, bool lines, bool all, Cell* with));
QEL_SLOT(Create, Cell* (*)(Cell& port));
QEL_SLOT(Close, Cell* (*)(Cell& port));
QEL_SLOT(Delete, Cell* (*)(Cell& port));
QEL_SLOT(Modify, Cell* (*)(Cell& target, Cell& field, Cell& value, bool case_));
QEL_SLOT(Open, Cell* (*)(Cell& port, bool new_, bool read, bool write, bool seek, Cell* allow));
QEL_SLOT(OpenQ, Cell* (*)(Cell& port));
QEL_SLOT(Query, Cell* (*)(Cell& target));
QEL_SLOT(Read, Cell* (*)(Cell& source, Cell* part, Cell* seek, bool binary, bool lines, bool info, Cell* as));
QEL_SLOT(Rename, Cell* (*)(Cell& from, Cell& to));
QEL_SLOT(Update, Cell* (*)(Cell& port));
QEL_SLOT(Write, Cell* (*)(Cell& destination, Cell& data, bool binary, bool lines, bool info, bool append, Cell* part,
                          Cell* seek, Cell* allow, Cell* as));

#undef QEL_SLOT

template <Act A>
using slot_fn = typename slot_traits<A>::fn;

}  // namespace qel

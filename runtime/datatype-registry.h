// datatype-registry.h: the datatype table (names and name words) and the action table (the 62
// action functions of every type id), filled once by the registrations at start-up.
//
// A type's row is fixed when it registers: a slot given "inherit" takes the parent's function at
// that moment, so the parent must register first and a later change to the parent's row does
// not reach the child. Slot 8 (reserved) is empty in every row. After start-up the tables are
// only read.
#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/type-ids.h"

namespace qel {

// An action function of any slot; cast back to slot_fn<A> by the slot's reader.
using ActionFn = void (*)();

// A slot value as registrations give it: a function address, 0 (unsupported) or -1 (inherit).
using RawSlot = intptr_t;
inline constexpr RawSlot kUnsupportedSlot = 0;
inline constexpr RawSlot kInheritSlot = -1;

// The 62 slots a datatype registers, each filled with a function of the slot's own type.
class ActionRow {
 public:
  template <Act A>
  ActionRow& set(slot_fn<A> fn) {
    static_assert(A != Act::Reserved);
    slots_[slot_index(A)] = reinterpret_cast<RawSlot>(fn);
    return *this;
  }
  template <Act A>
  ActionRow& inherit() {
    slots_[slot_index(A)] = kInheritSlot;
    return *this;
  }
  template <Act A>
  ActionRow& unsupported() {
    slots_[slot_index(A)] = kUnsupportedSlot;
    return *this;
  }
  // Every slot inherits; set<>() then overrides the type's own.
  ActionRow& inherit_all();

  std::span<const RawSlot> slots() const { return slots_; }

 private:
  std::array<RawSlot, kActionSlots> slots_{};
};

struct DatatypeRow {
  const char* name = nullptr;  // NUL-terminated, ending in "!"; null while unregistered
  int32_t name_length = 0;     // bytes without the final "!"
  Cell name_word{};            // the word! of the name; header 0 until made
};

extern DatatypeRow datatype_table[kTypeTableRows];
extern ActionFn action_table[kTypeTableRows][kActionSlots];

// The largest type id registered so far.
Type highest_type_id();
bool datatype_registered(Type type);

// A datatype! value naming the type.
constexpr Cell datatype_cell(Type type) { return make_cell(Type::datatype, static_cast<uint32_t>(type)); }

// Registers a datatype. A parent that has not registered is a build defect (runtime error 98);
// an inherit slot with no parent stays unsupported.
void register_datatype(Type type, Type parent, const char* name, const ActionRow& row);
// The same from raw slot values. A count other than 62 prints the datatype error's three lines
// and ends the process with runtime error 98, writing nothing.
void register_datatype(Type type, Type parent, const char* name, std::span<const RawSlot> slots);

// Empties both tables (the runtime initialisation's step before any registration).
void datatype_tables_init();

// Runs the registrations of the start-up in their order (every parent before its children).
struct DatatypeInit {
  const char* what;
  void (*init)();
};
std::span<const DatatypeInit> datatype_inits();
void register_datatypes();

// Makes the name word of every registered type; later registrations make theirs at once. Runs
// once the symbol table and the global context exist.
void datatype_table_make_words();

}  // namespace qel

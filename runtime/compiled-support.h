// compiled-support.h: the helpers C++ natives and library code use to check arguments, raise
// and print errors, set words and context slots from the value stack, handle refinements,
// find values in blocks, convert numbers and build text.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"
#include "runtime/error-catalog.h"

namespace qel {

// --- Arguments ------------------------------------------------------------------------------------

// check-arg-type: the argument's type must be in the typeset; else script expect-arg with the
// caller's word, the argument's datatype and the word of parameter `index`.
void check_arg_type(const Cell& typeset, const Cell& argument, uint32_t index);
// check-optional-arg-type: the same for an argument that may be absent (a negative index).
void check_optional_arg_type(int32_t index, const Cell& typeset, const Cell& argument);
// check-refinement-arg-type: the same only when the refinement is set.
void check_refinement_arg_type(const Cell& refinement, const Cell& typeset, const Cell& argument, uint32_t index);

// reject-unset-value: script no-value when the cell is unset!.
void reject_unset_value(const Cell& value);
// raise-make-arg-error: script bad-make-arg with the two values.
[[noreturn]] void raise_make_arg_error(const Cell& type, const Cell& spec);
// print-error-value: builds the error and prints it in a native frame; nothing is thrown.
void print_error_value(ErrorId id, std::span<const Cell> args);

// --- Words and slots from the value stack ---------------------------------------------------------

// set-word-from-stack: the word set to the last pushed value (unset! raises no-value naming the
// word), then the stack top back at the frame's base; -keep leaves the top.
void set_word_from_stack(Cell& word);
void set_word_from_stack_keep(Cell& word);
// get-word-value-checked: the word's value cell; unset! raises no-value naming the word.
Cell* get_word_value_checked(const Cell& word);
// set-context-slot-from-stack: the last pushed value into a slot (unset! raises no-value naming
// the slot's word); -and-drop then puts the top back at the base.
void set_context_slot_from_stack(NodeId context, uint32_t slot);
void set_context_slot_and_drop(NodeId context, uint32_t slot);
// set-context-value-at: as set_context_slot_from_stack; in an object's context the slot's word
// is first marked set.
void set_context_value_at(NodeId context, uint32_t slot);
// context-slot-address: a slot's value cell (a running function's argument cell, else the
// values block's cell).
Cell* context_slot_address(NodeId context, uint32_t slot);

// compiled-refinement-set: when the value is true, the refinement at `slot` of the current
// frame becomes true; else its `count` argument cells after it become none!.
void compiled_refinement_set(const Cell& value, uint32_t slot, uint32_t count);

// --- Blocks, numbers, text ------------------------------------------------------------------------

// What find_value_in_block answers about a match.
enum class FoundAnswer : uint8_t { cell_after, block_after };

// find-value-in-block: from the block's index, every `stride` cells, the first cell of the
// value's own type that its compare action finds equal (the find equality); answers the
// position of the cell after it, or (block_after) of the first block! after it; -1 when there
// is none. A block! value is never found.
int64_t find_value_in_block(const Cell& block, const Cell& value, uint32_t stride, FoundAnswer answer);

// number-to-int32: an integer!, or a float! (or percent!) truncated toward zero; NaN and values
// beyond the 32-bit range raise script type-limit naming integer!; other types invalid-arg.
int32_t number_to_int32(const Cell& number);

// emit-indent: n x four spaces appended to a text buffer; answers the limit less 4n.
int32_t emit_indent(NodeId buffer, int32_t n, int32_t limit);

// A new string of the same type and unit holding `length` units from `start` (clamped), its
// buffer flags copied but for the owned mark.
Cell string_copy_part(const Cell& string, uint32_t start, uint32_t length);

// The current frame's first argument formed into a new string pushed on the value stack (with
// part, cut to the limit); answers the pushed cell.
Cell& form_frame_argument(bool part, int32_t limit);

// Whether a path step tells the owner of what it changes: only the last step of a set of a path
// of two elements or more, when the parent is a block!, paren!, hash! or a path, or an object!
// with a change record reached through a word!.
bool path_step_notifies(bool set, uint32_t elements, bool last, const Cell* parent, const Cell* previous);

}  // namespace qel

// error.h: error! values: their fields, making them from codes, id words and texts, and the
// report text they form into.
//
// An error! cell is an object cell (w1 the context of its fields, w2 the class id, always 1,
// w3 no change-hook record) whose context holds the ten fields below in this order.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"
#include "runtime/error-catalog.h"

namespace qel {

enum class ErrorField : uint32_t { code, type, id, arg1, arg2, arg3, near, where, stack, files };
inline constexpr const char* kErrorFieldNames[] = {"code", "type", "id",    "arg1",  "arg2",
                                                   "arg3", "near", "where", "stack", "files"};
inline constexpr uint32_t kErrorClassId = 1;

// A new object! of the ten error fields, every one none: the layout of every error! value (the
// prototype system/standard/error is one).
Cell error_fields_object();
// A fresh error: a copy of the prototype retyped to error! (class id 1), every field none but
// `near`, which holds the current expression.
Cell error_new();
// The field's value cell; valid until the next safe point.
Cell& error_field(const Cell& error, ErrorField field);

// error-build: the error of the catalog id with up to three arguments; raises nothing.
Cell error_build(ErrorId id, std::span<const Cell> args);
// error-make: an error from an integer code, a block of a category word and an id word, or a
// text (a user message); every other argument is script bad-make-arg.
Cell error_make(const Cell& spec);
// error-set-where: stores the value in `where` when `where` is none.
void error_set_where(Cell& error, const Cell& where);
// error-complete: when the value is an error! whose `stack` holds a call-stack depth, replaces
// it by the block of the call words up to that depth at the stack-trace level, and copies the
// source files being loaded (system/state/source-files) into `files` when there are any.
void error_complete(Cell& error);

// register-error-datatype: error! with make, form and mold; installs the error services
// (error_build, error_set_where, error_stack_field); forgets the system values of a former run.
void register_error_datatype();

}  // namespace qel

// text-codec-routines.cpp: the JSON and CSV routines: each takes its arguments from the frame
// and leaves its result in the frame's result cell.
#include "loader/codecs/text-codec-routines.h"

#include <span>

#include "datatypes/scalars/integer.h"
#include "datatypes/series/string-core.h"
#include "evaluator/routine.h"
#include "loader/codecs/csv.h"
#include "loader/codecs/json-decoder.h"
#include "loader/codecs/json-encoder.h"
#include "runtime/gc-root.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

using Arguments = std::span<const RoutineArgument>;

void set_result(const Cell& value) { *value_stack.base = value; }

uint32_t char_argument(const RoutineArgument& argument) { return static_cast<uint32_t>(integer_value(*argument.cell)); }

RoutineResult json_decode_routine(Arguments arguments) {
  set_result(json_decode(*arguments[0].cell));
  return {};
}

RoutineResult json_encode_routine(Arguments arguments) {
  set_result(json_encode(*arguments[0].cell, *arguments[1].cell, arguments[2].integer != 0));
  return {};
}

RoutineResult csv_read_routine(Arguments arguments) {
  set_result(csv_read(*arguments[0].cell, *arguments[1].cell, char_argument(arguments[2]), arguments[3].integer != 0));
  return {};
}

RoutineResult csv_line_routine(Arguments arguments) {
  set_result(csv_line(*arguments[0].cell, *arguments[1].cell, char_argument(arguments[2]), *arguments[3].cell));
  return {};
}

RoutineResult csv_escape_routine(Arguments arguments) {
  Cell field;
  string_make_at(field, 16);
  csv_escape_onto(field.w2, *arguments[0].cell, char_argument(arguments[1]), *arguments[2].cell);
  set_result(field);
  return {};
}

constexpr NamedRoutine kTextCodecRoutines[] = {
    {"json-decode", json_decode_routine}, {"json-encode", json_encode_routine}, {"csv-read", csv_read_routine},
    {"csv-line", csv_line_routine},       {"csv-escape", csv_escape_routine},
};

}  // namespace

void register_text_codec_routines() {
  for (const NamedRoutine& routine : kTextCodecRoutines) register_routine_once(routine.name, routine.function);
}

}  // namespace qel

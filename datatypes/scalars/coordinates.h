// coordinates.h: what pair!, point2D! and point3D! share: their cell layouts and constructors,
// the field words x, y and z, and the path step, pick, compare, form and arithmetic routing of
// all three.
//
// pair!: x and y signed 32-bit in payload words 2 and 3 (word 1 unused). point2D!: x and y
// float32 in words 1 and 2 (word 3 left as found). point3D!: x, y and z float32 in words 1-3.
// Every constructor writes the type byte and keeps only the new-line flag of the header.
#pragma once

#include <bit>
#include <cstdint>

#include "runtime/actions.h"
#include "runtime/cell.h"
#include "runtime/series.h"
#include "runtime/value-stack.h"

namespace qel {

// --- Cells ----------------------------------------------------------------------------------------

inline void coordinate_set_type(Cell& cell, Type type) { cell.header = (cell.header & kNewLineFlag) | static_cast<uint32_t>(type); }

inline int32_t pair_x(const Cell& pair) { return payload_i32(pair, 2); }
inline int32_t pair_y(const Cell& pair) { return payload_i32(pair, 3); }

inline Cell* pair_make_at(Cell& cell, int32_t x, int32_t y) {
  coordinate_set_type(cell, Type::pair);
  set_payload_i32(cell, 2, x);
  set_payload_i32(cell, 3, y);
  return &cell;
}
inline Cell* pair_make_in(const Cell& block, int32_t x, int32_t y) {
  return pair_make_at(*block_append_fresh_slot(block), x, y);
}
inline Cell* pair_push(int32_t x, int32_t y) { return pair_make_at(*stack_push_cell(), x, y); }

// Coordinate i (0 x, 1 y, 2 z) of a point.
inline float point_coordinate(const Cell& point, int i) {
  return std::bit_cast<float>(i == 0 ? point.w1 : i == 1 ? point.w2 : point.w3);
}
inline void set_point_coordinate(Cell& point, int i, float value) {
  (i == 0 ? point.w1 : i == 1 ? point.w2 : point.w3) = std::bit_cast<uint32_t>(value);
}

inline Cell* point2D_make_at(Cell& cell, float x, float y) {
  coordinate_set_type(cell, Type::point2d);
  set_point_coordinate(cell, 0, x);
  set_point_coordinate(cell, 1, y);
  return &cell;
}
inline Cell* point2D_make_in(const Cell& block, float x, float y) {
  return point2D_make_at(*block_append_fresh_slot(block), x, y);
}
inline Cell* point2D_push(float x, float y) { return point2D_make_at(*stack_push_cell(), x, y); }

inline Cell* point3D_make_at(Cell& cell, float x, float y, float z) {
  coordinate_set_type(cell, Type::point3d);
  set_point_coordinate(cell, 0, x);
  set_point_coordinate(cell, 1, y);
  set_point_coordinate(cell, 2, z);
  return &cell;
}
inline Cell* point3D_make_in(const Cell& block, float x, float y, float z) {
  return point3D_make_at(*block_append_fresh_slot(block), x, y, z);
}
inline Cell* point3D_push(float x, float y, float z) { return point3D_make_at(*stack_push_cell(), x, y, z); }

// The number of coordinates of a pair!, point2D! or point3D!.
constexpr int coordinate_count(Type type) { return type == Type::point3d ? 3 : 2; }

// A pair turned into the point2D! of its coordinates, in place.
inline Cell* pair_to_point2D(Cell& pair) {
  return point2D_make_at(pair, static_cast<float>(pair_x(pair)), static_cast<float>(pair_y(pair)));
}

// Every coordinate is 0 (-0.0 included).
inline bool coordinates_zero(const Cell& value) {
  if (cell_type(value) == Type::pair) return pair_x(value) == 0 && pair_y(value) == 0;
  for (int i = 0; i < coordinate_count(cell_type(value)); ++i)
    if (point_coordinate(value, i) != 0.0f) return false;
  return true;
}

// --- Shared actions ------------------------------------------------------------------------------

// The field number (1 x, 2 y, 3 z) a word names among the first `count` fields, by its canonical
// symbol; 0 when it names none.
int coordinate_field_of_word(const Cell& word, int count);

// The path step of all three: an integer! field number or a field word; reads the field (an
// integer! of a pair, a float! of a point) or sets it in the value (a set changes this cell).
Cell* coordinate_path_step(Cell& value, Cell& element, Cell* new_value, const PathStep& step);

// pick by field number or field word.
Cell* coordinate_pick(Cell& value, int32_t index, Cell& index_cell);

// compare: a pair against a pair (x, then y) or a point2D!; points by the comparison code,
// point2D! also against a pair. Neither argument is changed.
int32_t coordinate_compare(const Cell& value, const Cell& other, int32_t code);

// form and mold: 10x-20, (1.5, 2) and (1, 2, 3).
int32_t coordinate_form(const Cell& value, Cell& output, bool part, int32_t budget);
int32_t coordinate_mold(const Cell& value, Cell& output, bool only, bool all, bool flat, bool part, int32_t budget,
                        int32_t indent);

// The arithmetic core of points: value op other for a point2D! (with a point2D!, pair!, number)
// or a point3D! (with a point3D! or number), each coordinate through the float core and back to
// float32; an integer or point divisor of zero raises math zero-divide.
void point_math_op(Cell& value, Cell& other, int32_t op);

// The arithmetic core of the value's type: value op other, the result in value (other may be
// changed too, when a pair's operation moves to points).
void coordinate_math_op(Cell& value, Cell& other, int32_t op);

// add, subtract, multiply, divide, remainder, and~, or~ and xor~ on the frame's two arguments.
template <int32_t Op>
void coordinate_arithmetic() {
  coordinate_math_op(value_stack.base[0], value_stack.base[1], Op);
}

// number op coordinates for an integer!, char!, float! or percent! on the left (value1, also the
// result): the operands change places; after an integer, subtract is negate and add and divide
// is not-related; after a float, subtract and divide are not-related. A time! refuses them:
// script invalid-type.
void coordinate_math_from_number(Cell& value1, Cell& value2, int32_t op);

// negate: a pair's coordinates (-2147483648 raises math overflow), 0.0 - c of a point's.
void coordinate_negate(Cell& value);
// absolute of the frame's value: integer absolute of a pair's, the sign bits of a point's cleared.
void coordinate_absolute();
// reverse: pair! and point2D! swap x and y, point3D! x and z.
void coordinate_reverse(Cell& value, Cell* part, Cell* skip);
// random: /seed seeds and answers unset; else each non-zero coordinate is drawn.
void coordinate_random(Cell& value, bool seed, bool secure, bool only);

// round of pairs and points: the scale (the same type's coordinates, or a number, or a pair or
// point of the accepted kinds) applies per coordinate.
void coordinate_round(Cell& value, Cell* scale, bool even, bool down, bool half_down, bool floor, bool ceiling,
                      bool half_ceiling);

// make and to of point2D! and point3D! (`target`): a number for every coordinate, a block of as
// many numbers as coordinates, a pair or point2D! (z 0), a point3D! for a point3D!, a string
// that spells the type.
Cell* point_make(Cell& type, Cell& spec, Type target);

// The value a text spells (from its index) when it is of `target`, else script bad-to-arg.
Cell coordinate_from_text(const Cell& text, Type target);

// The action row the three types share (and~, or~ and xor~ are pair!'s alone), with the type's
// make and to.
class ActionRow;
ActionRow coordinate_actions(slot_fn<Act::Make> make_to);

// Syntax malconstruct naming the datatype and the spec.
[[noreturn]] void raise_malconstruct(Type target, const Cell& spec);

}  // namespace qel

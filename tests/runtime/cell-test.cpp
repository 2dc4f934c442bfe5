// Value cells: copying, the type byte, the new-line marker, payload words.
#include <gtest/gtest.h>

#include "runtime/cell.h"

namespace qel {
namespace {

TEST(Cell, CloneCopiesFourWordsAndASelfCopyDoesNothing) {
  Cell source = make_cell(Type::integer, 1, 2, 3);
  Cell target;
  clone_value_slot(target, source);
  EXPECT_EQ(target.header, 11u);
  EXPECT_EQ(target.w3, 3u);
  clone_value_slot(target, target);
  EXPECT_EQ(target.w2, 2u);
}

TEST(Cell, TypeByteAndNewLineMarkerKeepTheOtherFlags) {
  Cell cell = make_cell(Type::word);
  cell.header |= kNewLineFlag | 0x2000;
  set_value_type_byte(cell, Type::set_word);
  EXPECT_EQ(cell_type(cell), Type::set_word);
  EXPECT_EQ(cell.header & ~kTypeByteMask, kNewLineFlag | 0x2000);
  value_clear_flag_30(cell);
  EXPECT_EQ(cell.header, 0x2000u | 16);
  EXPECT_EQ(Cell{kUnsetHeader}.header, static_cast<uint32_t>(Type::unset));
}

TEST(Cell, PayloadsRoundTrip) {
  Cell cell;
  set_payload_i32(cell, 2, -7);
  EXPECT_EQ(cell.w2, 0xFFFFFFF9u);
  EXPECT_EQ(payload_i32(cell, 2), -7);
  set_payload_f64(cell, -0.1);
  EXPECT_EQ(payload_f64(cell), -0.1);
  EXPECT_EQ(cell.w1, 0u);  // the double lies in w2 and w3 only
}

}  // namespace
}  // namespace qel

// text-columns-test.cpp: the columns characters and prompts take on a terminal's row.
#include "console/text-columns.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(TextColumns, CharactersAndPromptsTakeTheColumnsATerminalGivesThem) {
  struct Row {
    const char* text;
    size_t columns;
  };
  const Row rows[] = {
      {">> ", 3},
      {"caf\xC3\xA9", 4},
      {"e\xCC\x81", 1},                     // a combining accent joins the letter before
      {"\xE4\xB8\xAD\xE6\x96\x87", 4},      // CJK ideographs are wide
      {"\xEF\xBC\xA1", 2},                  // a fullwidth letter
      {"\xF0\x9F\x99\x82", 2},              // an emoji
      {"\x1B[1;32m>> \x1B[0m", 3},          // colours take no room
      {"a\tb", 9},                          // a tab reaches the next stop
      {"\x07\xC3(", 2},                     // a bell takes none, each ill-formed byte one
  };
  for (const Row& row : rows) EXPECT_EQ(text_columns(row.text), row.columns) << row.text;
}

}  // namespace
}  // namespace qel

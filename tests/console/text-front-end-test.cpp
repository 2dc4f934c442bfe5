// text-front-end-test.cpp: the terminal title's sequence carries the title's text and nothing
// that a terminal would take as a control of its own.
#include "console/text-front-end.h"

#include <gtest/gtest.h>

namespace qel {
namespace {

TEST(TerminalTitle, ControlCharactersAreLeftOutOfTheSequence) {
  struct Row {
    const char* title;
    const char* sequence;
  };
  const Row rows[] = {
      {"Qel", "\x1B]0;Qel\a"},
      {"", "\x1B]0;\a"},
      {"a\x1B]0;evil\a" "b", "\x1B]0;a]0;evilb\a"},  // ESC and BEL would end it and start another
      {"one\ttwo\r\nthree\x7F", "\x1B]0;onetwothree\a"},
      {"c1 \xC2\x9B" "31m\xC2\x9C.\xC2\x80\xC2\x9F", "\x1B]0;c1 31m.\a"},  // CSI, ST and the rest of C1
      {"\xC2\xA0\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x99\x82", "\x1B]0;\xC2\xA0\xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x99\x82\a"},
  };
  for (const Row& row : rows) EXPECT_EQ(terminal_title_sequence(row.title), row.sequence) << row.title;
}

}  // namespace
}  // namespace qel

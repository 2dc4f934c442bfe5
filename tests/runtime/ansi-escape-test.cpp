// The escape-sequence interpreter: what each sequence consumes, does to the screen and says to xterm.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/ansi-escape.h"

namespace qel {
namespace {

// An 80 x 25 screen with the given attribute and cursor.
ScreenState screen(uint16_t attribute, uint32_t column = 0, uint32_t row = 0) {
  ScreenState state;
  state.attribute = attribute;
  state.cursor = {column, row};
  state.width = 80;
  state.height = 25;
  return state;
}

struct Outcome {
  size_t consumed;
  EscapeAction action;
  std::string rendered;
};

// Applies the sequence in text (one byte per unit, widened to unit_size) to state.
Outcome apply(const std::string& text, int unit_size, ScreenState& state) {
  std::vector<uint8_t> units(text.size() * static_cast<size_t>(unit_size));
  for (size_t i = 0; i < text.size(); ++i) units[i * static_cast<size_t>(unit_size)] = static_cast<uint8_t>(text[i]);
  EscapeEffect effect = ansi_escape_apply(units.data(), unit_size, text.size(), state);
  char out[kEscapeRenderMax];
  return {effect.consumed, effect.action, std::string(out, ansi_escape_render(effect, state, out))};
}

struct Case {
  std::string text;  // from the ESC to the end of the text
  ScreenState before;
  size_t units;      // consumed
  ScreenState after;
  EscapeAction action;
  std::string rendered;
};

TEST(AnsiEscape, SequencesAtEveryUnitSize) {
  using enum EscapeAction;
  ScreenState saved_then_moved = screen(7, 9, 9);
  saved_then_moved.saved_cursor = {3, 4};
  ScreenState saved = screen(7, 3, 4);
  saved.saved_cursor = {3, 4};
  const Case cases[] = {
      {"\x1B[32;45m", screen(0x07), 8, screen(0x52), set_attribute, "\x1B[0;32;45m"},
      {"\x1B[7m", screen(0x1E), 4, screen(0xE1), set_attribute, "\x1B[0;34;103m"},
      {"\x1B[0m", screen(0x52), 4, screen(0x07), set_attribute, "\x1B[0m"},
      {"\x1B[31;1m", screen(0x07), 7, screen(0x8C), set_attribute, "\x1B[0;91;100m"},
      {"\x1B[1;31;44m", screen(0x07), 10, screen(0x9C), set_attribute, "\x1B[0;91;104m"},
      {"\x1B[4m", screen(0x07), 4, screen(0x8007), set_attribute, "\x1B[0;4m"},
      {"\x1B[65566m", screen(0x07), 8, screen(0x04), set_attribute, "\x1B[0;31m"},  // numbers kept modulo 65535
      {"\x1B[;5m", screen(0x07), 5, screen(0x07), set_attribute, "\x1B[0m"},         // 5 means nothing
      {"\x1B[12A", screen(7, 4, 3), 5, screen(7, 4, 0), cursor_up, "\x1B[12A"},
      {"\x1B[0A", screen(7, 4, 3), 4, screen(7, 4, 3), cursor_up, ""},
      {"\x1B[5B", screen(7, 4, 22), 4, screen(7, 4, 24), cursor_down, "\x1B[5B"},
      {"\x1B[90C", screen(7, 4, 3), 5, screen(7, 79, 3), cursor_right, "\x1B[90C"},
      {"\x1B[2D", screen(7, 4, 3), 4, screen(7, 2, 3), cursor_left, "\x1B[2D"},
      {"\x1B[6;2H", screen(7), 6, screen(7, 6, 2), cursor_to, "\x1B[3;7H"},
      {"\x1B[f", screen(7, 6, 2), 3, screen(7), cursor_to, "\x1B[1;1H"},
      {"\x1B[J", screen(7, 6, 2), 3, screen(7, 6, 2), erase_display, "\x1B[2K\x1B[J"},
      {"\x1B[1J", screen(7, 6, 2), 4, screen(7, 6, 2), erase_display, "\x1B[1J"},
      {"\x1B[2J", screen(7, 6, 2), 4, screen(7), erase_display, "\x1B[2J\x1B[H"},
      {"\x1B[K", screen(7, 5, 2), 3, screen(7, 5, 2), erase_line, "\x1B[K"},
      {"\x1B[1K", screen(7, 5, 2), 4, screen(7, 0, 2), erase_line, "\x1B[1K\x1B[G"},
      {"\x1B[2K", screen(7, 5, 2), 4, screen(7, 0, 2), erase_line, "\x1B[2K\x1B[G"},
      {"\x1B[s", screen(7, 3, 4), 3, saved, save_cursor, "\x1B[s"},
      {"\x1B[u", saved_then_moved, 3, saved, restore_cursor, "\x1B[u"},
      {"\x1B[?", screen(7), 3, screen(7), report, ""},
      // consumed whole, no effect
      {"\x1B[m", screen(0x52), 3, screen(0x52), none, ""},
      {"\x1B[5H", screen(7, 1, 1), 4, screen(7, 1, 1), none, ""},
      {"\x1B[0J", screen(7, 1, 1), 4, screen(7, 1, 1), none, ""},
      {"\x1B[3K", screen(7, 1, 1), 4, screen(7, 1, 1), none, ""},
      {"\x1B[1;2;m", screen(0x07), 7, screen(0x07), none, ""},
      {"\x1B[4s", screen(7, 1, 1), 4, screen(7, 1, 1), none, ""},
      {"\x1B[x", screen(0x07), 3, screen(0x07), none, ""},
      // cut by the end of the text: consumed to the end, no effect
      {"\x1B[1;31;", screen(0x07), 7, screen(0x07), none, ""},
      {"\x1B[", screen(0x07), 2, screen(0x07), none, ""},
      // not a sequence
      {"\x1B(", screen(0x07), 0, screen(0x07), none, ""},
      {"\x1B", screen(0x07), 0, screen(0x07), none, ""},
  };
  for (int unit_size : {1, 2, 4}) {
    for (const Case& c : cases) {
      SCOPED_TRACE("unit " + std::to_string(unit_size) + ": ESC" + c.text.substr(1));
      ScreenState state = c.before;
      Outcome outcome = apply(c.text, unit_size, state);
      EXPECT_EQ(outcome.consumed, c.units * static_cast<size_t>(unit_size));
      EXPECT_EQ(outcome.action, c.action);
      EXPECT_EQ(state, c.after);
      EXPECT_EQ(outcome.rendered, c.rendered);
    }
  }
}

TEST(AnsiEscape, RenditionTable) {
  struct Row {
    uint16_t attribute;
    uint32_t parameter;
    uint16_t result;
  };
  const Row rows[] = {
      {0x52, 0, 0x07},  {0x07, 1, 0x8F},  {0x07, 4, 0x8007}, {0x801E, 7, 0x80E1}, {0xFF, 30, 0xF8},
      {0x00, 33, 0x06}, {0x00, 34, 0x01}, {0x00, 37, 0x07},  {0x07, 39, 0x0F},    {0xFF, 40, 0x8F},
      {0x00, 41, 0x40}, {0x00, 46, 0x30}, {0x07, 49, 0x87},  {0x07, 38, 0x07},    {0x07, 50, 0x07},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(ansi_rendition(row.attribute, 0x07, row.parameter), row.result)
        << "attribute " << row.attribute << " parameter " << row.parameter;
  }
}

TEST(AnsiEscapeDeathTest, UnitSizeThreeEndsTheProcess) {
  const uint8_t text[] = {0x1B, '[', 'm', 0, 0, 0};
  ScreenState state;
  EXPECT_EXIT(ansi_escape_apply(text, 3, 2, state), ::testing::ExitedWithCode(101), "no value matched in SWITCH");
}

}  // namespace
}  // namespace qel

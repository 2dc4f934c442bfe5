// line-editor-test.cpp: the line editor driven by the bytes a terminal sends: the line each key
// sequence makes, the history browsing, what ends a read, and a row that a model of the terminal
// shows intact however long the line and wherever the caret.
#include "console/line-editor.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "console/text-columns.h"
#include "runtime/utf8.h"

namespace qel {
namespace {

const std::vector<std::string> kHistory = {"newest", "older"};

// Feeds the bytes to an editor on an 80-column row after a 3-column question.
LineEditor typed(std::string_view bytes, const std::vector<std::string>& history = kHistory) {
  LineEditor editor(history, false, 80, 3);
  editor.feed(bytes);
  return editor;
}

TEST(LineEditor, KeysEditTheLine) {
  struct Row {
    const char* bytes;
    const char* line;
  };
  const Row rows[] = {
      {"abc\r", "abc"},
      {"abc\n", "abc"},                                 // Enter as the terminal turns it
      {"abc\x1B[D\x1B[DX\r", "aXbc"},                   // Left
      {"abc\x1B[D\x1B[D\x1B[CX\r", "abXc"},             // Right
      {"abc\x1BOD\x1BODX\r", "aXbc"},                   // Left in the keypad's other mode
      {"abc\x01X\x05Y\r", "XabcY"},                     // Ctrl+A, Ctrl+E
      {"abc\x1B[HX\x1B[FY\r", "XabcY"},                 // Home, End
      {"abc\x1B[1~X\x1B[4~Y\x1BOHZ\r", "ZXabcY"},       // the other Home and End sequences
      {"abc\x1B[1;5DX\r", "abXc"},                      // a modifier changes nothing
      {"abc\x7F\x08\r", "a"},                           // Backspace, Ctrl+H
      {"abc\x1B[D\x1B[D\x1B[3~\r", "ac"},               // Delete
      {"\x7F\x1B[3~\x1B[Dx\x1B[C\x1B[3~\r", "x"},       // nothing to delete or to move to
      {"abc\x1B[D\x0B" "d\r", "d"},                     // Ctrl+K empties the input
      {"a\tb\x07\x1B[15~\x1Bxc\r", "abc"},              // Tab, a bell, F5 and Alt+x insert nothing
      {"h\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x99\x82\r", "h\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x99\x82"},
      {"\xE4\xB8\xAD\xC3\xA9\x1B[D\x7F\r", "\xC3\xA9"},  // the caret moves by characters
      {"\xC3(\xFF\r", "\xEF\xBF\xBD(\xEF\xBF\xBD"},     // ill-formed bytes become U+FFFD
      {"ab\x04\r", "ab"},                               // Ctrl+D ends only an empty line's input
  };
  for (const Row& row : rows) {
    const LineEditor editor = typed(row.bytes);
    EXPECT_EQ(editor.end(), LineEnd::entered) << row.bytes;
    EXPECT_EQ(editor.line(), row.line) << row.bytes;
  }
}

// Up and Down: the edited line and its caret are kept while the history is browsed; Up stays at
// the oldest line, Down at the edited one.
TEST(LineEditor, UpAndDownBrowseTheHistory) {
  struct Row {
    std::vector<std::string> history;
    const char* bytes;
    const char* line;
  };
  const Row rows[] = {
      {kHistory, "\x1B[A\r", "newest"},
      {kHistory, "\x1B[A\x1B[A\x1B[A\r", "older"},
      {kHistory, "\x1B[A\x1B[A\x1B[A\x1B[B\r", "newest"},
      {kHistory, "ed\x1B[D\x1B[A\x1B[A\x1B[B\x1B[BX\r", "eXd"},
      {kHistory, "ed\x1B[B\x1B[BX\r", "edX"},
      {kHistory, "\x1B[AX\x1B[D\x1B[DY\r", "newesYtX"},  // a recalled line edits like a typed one
      {kHistory, "\x1BOA\x1BOA\r", "older"},
      {{}, "ed\x1B[D\x1B[AX\r", "eXd"},  // no history: Up keeps the edited line
  };
  for (const Row& row : rows) {
    const LineEditor editor = typed(row.bytes, row.history);
    EXPECT_EQ(editor.line(), row.line) << row.bytes;
  }
}

// How a read ends: the line, what the row shows last, and the bytes it leaves for the next read.
TEST(LineEditor, EnterEscapeEndOfInputAndCtrlCEndTheRead) {
  LineEditor entered({}, false, 80, 3);
  EXPECT_EQ(entered.feed("ab\x1B[Dc\rnext\r"), 7u);
  EXPECT_EQ(entered.line(), "acb");
  EXPECT_EQ(entered.take_screen(), "ab\r\x1B[3Cacb\x1B[K\n");  // the keys of one feed show once

  LineEditor cancelled({}, false, 80, 3);
  EXPECT_EQ(cancelled.feed("ab\x1B"), 3u);
  EXPECT_TRUE(cancelled.escape_waiting());
  EXPECT_EQ(cancelled.end(), LineEnd::open);
  cancelled.pause();
  EXPECT_EQ(cancelled.end(), LineEnd::cancelled);
  EXPECT_EQ(cancelled.line(), "ab\x1B");
  EXPECT_EQ(cancelled.take_screen(), "ab\n");

  LineEditor ended({}, false, 80, 3);
  EXPECT_EQ(ended.feed("\x04rest"), 1u);
  EXPECT_EQ(ended.end(), LineEnd::input_ended);
  EXPECT_EQ(ended.take_screen(), "\n");

  LineEditor interrupted({}, false, 80, 3);
  interrupted.feed("ab\x1B[D");
  interrupted.interrupt();
  EXPECT_EQ(interrupted.end(), LineEnd::interrupted);
  EXPECT_EQ(interrupted.line(), "\x1B");
  EXPECT_TRUE(interrupted.take_screen().ends_with("ab\x1B[K\r\x1B[4C\x1B[1C^C\n"));

  LineEditor cut_off({}, false, 80, 3);
  cut_off.feed("ab");
  cut_off.input_end();  // the input ended inside a line: the line stands
  EXPECT_EQ(cut_off.end(), LineEnd::entered);
  EXPECT_EQ(cut_off.line(), "ab");
}

// A byte that breaks a UTF-8 sequence and is itself Enter ends the line and is not taken twice.
TEST(LineEditor, ABrokenSequenceGivesTheReplacementAndItsBreakerStillCounts) {
  LineEditor editor({}, false, 80, 3);
  EXPECT_EQ(editor.feed("\xE4\xB8\rmore"), 3u);
  EXPECT_EQ(editor.line(), "\xEF\xBF\xBD");
}

TEST(LineEditor, HiddenInputShowsStars) {
  LineEditor editor({}, true, 80, 5);
  editor.feed("s\xC3\xA9" "cret\x1B[D\x1B[DX\r");
  EXPECT_EQ(editor.line(), "s\xC3\xA9" "crXet");
  EXPECT_EQ(editor.take_screen(), "******\r\x1B[5C*******\x1B[K\n");
}

// --- The row on a model of the terminal ---------------------------------------------------------

// One row of a terminal: cells of UTF-8 characters (the second cell of a wide one empty), the
// cursor, and whether anything was written past the row's last column but one, which the editor
// keeps free.
struct TerminalRow {
  size_t width;
  std::vector<std::string> cells = std::vector<std::string>(width, " ");
  size_t cursor = 0;
  bool overrun = false;

  void write(std::string_view screen) {
    for (size_t at = 0; at < screen.size();) {
      if (screen[at] == '\r') {
        cursor = 0;
        ++at;
      } else if (screen.substr(at, 3) == "\x1B[K") {
        for (size_t c = cursor; c < width; ++c) cells[c] = " ";
        at += 3;
      } else if (screen.substr(at, 2) == "\x1B[") {
        const size_t final = screen.find('C', at);
        cursor += std::stoul(std::string(screen.substr(at + 2, final - at - 2)));
        at = final + 1;
      } else {
        size_t length = 1;
        while (at + length < screen.size() && (static_cast<uint8_t>(screen[at + length]) & 0xC0) == 0x80) ++length;
        const std::string character(screen.substr(at, length));
        const size_t columns = text_columns(character);
        if (cursor + columns > width - 1) overrun = true;
        if (cursor + columns <= width) {
          cells[cursor] = character;
          if (columns == 2) cells[cursor + 1] = "";
        }
        cursor += columns;
        at += length;
      }
    }
  }
  // The row's text from a column, the blanks at its end left out.
  std::string text_from(size_t column) const {
    std::string text;
    for (size_t c = column; c < width; ++c) text += cells[c];
    return text.substr(0, text.find_last_not_of(' ') + 1);
  }
};

// Random edits of a line far longer than a narrow row, with wide characters: after each key the
// row shows the question untouched and a stretch of the line that holds the caret, the cursor on
// the caret, and nothing past the last column but one.
TEST(LineEditor, ALongLineScrollsAndTheRowStaysIntact) {
  const std::string keys[] = {"a", "b", "\xE4\xB8\xAD", "\xC3\xA9", "\x1B[D", "\x1B[C", "\x1B[H", "\x1B[F", "\x7F", "\x1B[3~"};
  const std::vector<size_t> weights = {6, 6, 4, 3, 4, 3, 1, 1, 2, 2};
  std::mt19937 random(7);
  std::discrete_distribution<size_t> pick(weights.begin(), weights.end());
  TerminalRow row{12};
  row.write(">> ");
  LineEditor editor({}, false, row.width, 3);
  std::u32string text;  // the line as the keys make it
  size_t caret = 0;
  for (int step = 0; step < 3000; ++step) {
    const size_t key = pick(random);
    editor.feed(keys[key]);
    if (key <= 3) {
      text.insert(caret++, 1, key == 2 ? U'\u4E2D' : key == 3 ? U'\u00E9' : static_cast<char32_t>('a' + key));
    } else if (key == 4) {
      caret -= caret > 0;
    } else if (key == 5) {
      caret += caret < text.size();
    } else if (key == 6 || key == 7) {
      caret = key == 6 ? 0 : text.size();
    } else if (key == 8 && caret > 0) {
      text.erase(--caret, 1);
    } else if (key == 9 && caret < text.size()) {
      text.erase(caret, 1);
    }
    row.write(editor.take_screen());
    ASSERT_FALSE(row.overrun) << step;
    ASSERT_EQ(row.text_from(0).substr(0, 3), ">> ") << step;
    // Some stretch of the line from a character at most a row before the caret is what the row
    // shows, and the cursor stands on the caret.
    const std::string shown = row.text_from(3);
    bool found = false;
    for (size_t from = caret > row.width ? caret - row.width : 0; from <= caret && !found; ++from) {
      std::string stretch, before_caret;
      for (size_t at = from; at < text.size() && stretch.size() <= shown.size(); ++at) {
        uint8_t bytes[4];
        const std::string character(reinterpret_cast<const char*>(bytes), utf8_encode(text[at], bytes));
        if (at < caret) before_caret += character;
        stretch += character;
      }
      found = stretch.starts_with(shown) && shown.size() >= before_caret.size() &&
              row.cursor == 3 + text_columns(before_caret);
    }
    ASSERT_TRUE(found) << step << ": row \"" << shown << "\", cursor " << row.cursor;
  }
  editor.feed("\r");
  EXPECT_EQ(editor.end(), LineEnd::entered);
}

// A question that leaves too little of the row puts the input on a row of its own.
TEST(LineEditor, ALongQuestionPutsTheInputOnARowOfItsOwn) {
  LineEditor editor({}, false, 20, 17);
  EXPECT_EQ(editor.take_screen(), "\n");
  editor.feed("abc\x1B[D");
  EXPECT_EQ(editor.take_screen(), "abc\rabc\x1B[K\r\x1B[2C");
}

// A narrower row shows the input again, scrolled so that the caret stays in view.
TEST(LineEditor, AResizeShowsTheRowAgainAtTheNewWidth) {
  LineEditor editor({}, false, 80, 3);
  editor.feed("abcdef");
  editor.take_screen();
  editor.resize(8);
  EXPECT_EQ(editor.take_screen(), "\r\x1B[3Ccdef\x1B[K\r\x1B[7C");
}

}  // namespace
}  // namespace qel

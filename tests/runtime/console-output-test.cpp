// Standard output writers: the bytes they write, the terminal filter, typed prints and hooks.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <clocale>
#include <string>
#include <vector>

#include "runtime/console-output.h"
#include "runtime/print-hooks.h"
#include "runtime/quit.h"
#include "runtime/utf8.h"

namespace qel {
namespace {

// Sends console output to an in-memory file for the test's duration.
class ConsoleOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    fd_ = ::memfd_create("console-output", 0);
    ASSERT_GE(fd_, 0);
    previous_ = console_output_set_target({fd_, false});
    console_screen() = ScreenState{};
  }
  void TearDown() override {
    console_output_set_target(previous_);
    ::close(fd_);
  }
  void use_terminal() { console_output_set_target({fd_, true}); }

  // What reached the file so far, without flushing.
  std::string file_bytes() const {
    std::string bytes(static_cast<size_t>(::lseek(fd_, 0, SEEK_END)), '\0');
    EXPECT_EQ(::pread(fd_, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    return bytes;
  }
  // Everything written, staged bytes included; the file is emptied for the next check.
  std::string written() {
    console_flush();
    std::string bytes = file_bytes();
    EXPECT_EQ(::ftruncate(fd_, 0), 0);
    ::lseek(fd_, 0, SEEK_SET);
    return bytes;
  }

  int fd_ = -1;
  ConsoleTarget previous_{};
};

// Writes code points as units of a size.
void write_units(const std::vector<uint32_t>& code_units, int unit_size, bool line_end) {
  std::vector<uint8_t> units(code_units.size() * static_cast<size_t>(unit_size));
  for (size_t i = 0; i < code_units.size(); ++i)
    for (int b = 0; b < unit_size; ++b) units[i * static_cast<size_t>(unit_size) + static_cast<size_t>(b)] = static_cast<uint8_t>(code_units[i] >> (8 * b));
  console_write_units(units.data(), code_units.size(), unit_size, line_end);
}

TEST_F(ConsoleOutput, RedirectedBytes) {
  struct Row {
    std::vector<uint32_t> units;
    int unit_size;
    bool line_end;
    std::string bytes;
  };
  const Row rows[] = {
      {{0x20AC}, 2, false, "\xE2\x82\xAC"},
      {{0x10348}, 4, false, "\xF0\x90\x8D\x88"},
      {{0x1F600}, 4, false, "\xF0\x9F\x98\x80"},
      {{0xD83D, 0xDE00}, 2, false, "\xF0\x9F\x98\x80"},  // a pair is one code point
      {{'Q', 'e', 'l'}, 1, true, "Qel\n"},
      {{'Q', 'e', 'l'}, 2, true, "Qel\n"},
      {{'Q', 'e', 'l'}, 4, true, "Qel\n"},
      {{0xE9, 0xFF}, 1, false, "\xC3\xA9\xC3\xBF"},                     // Latin-1
      {{'a', 0xD800, 'b'}, 2, false, "a\xEF\xBF\xBD" "b"},              // lone surrogates
      {{'a', 0xDC00, 0xD800}, 2, false, "a\xEF\xBF\xBD\xEF\xBF\xBD"},
      {{'a', 0x110000, 'b'}, 4, false, "a\xEF\xBF\xBD" "b"},            // beyond Unicode
      {{'a', 0xD800, 'b'}, 4, false, "a\xEF\xBF\xBD" "b"},
      {{0x1B, '[', '3', '1', 'm'}, 1, false, "\x1B[31m"},  // redirected: escapes pass as they are
      {{}, 1, true, "\n"},
  };
  for (const Row& row : rows) {
    write_units(row.units, row.unit_size, row.line_end);
    EXPECT_EQ(written(), row.bytes) << "unit " << row.unit_size;
  }
}

TEST_F(ConsoleOutput, LongTextsKeepTheirOrderAcrossTheStagingBuffer) {
  // Runs shorter and longer than the staging buffer, with multi-byte characters between them;
  // escape-free, so the terminal gets the same bytes.
  std::vector<uint32_t> units;
  for (size_t run : {1000u, 23u, 5000u, 1u, 1030u}) {
    units.insert(units.end(), run, 'a' + run % 26);
    units.push_back(0xE9);
    units.push_back(run % 2 ? 0x20AC : 0x10348);
  }
  for (bool terminal : {false, true}) {
    for (int unit_size : {1, 2, 4}) {
      console_output_set_target({fd_, terminal});
      std::string expected;
      std::vector<uint32_t> text;
      for (uint32_t unit : units) {
        if ((unit_size == 1 && unit > 0xFF) || (unit_size == 2 && unit > 0xFFFF)) continue;
        text.push_back(unit);
        uint8_t bytes[4];
        expected.append(reinterpret_cast<char*>(bytes), utf8_encode(unit, bytes));
      }
      write_units({'>'}, 1, false);
      write_units(text, unit_size, true);
      EXPECT_EQ(written(), ">" + expected + "\n") << "unit " << unit_size << (terminal ? " on the terminal" : "");
    }
  }
}

TEST_F(ConsoleOutput, TerminalFilterReEmitsSequences) {
  use_terminal();
  console_screen().width = 80;
  console_screen().height = 25;
  const std::string text = "a\x1B[32mb\x1B(c\x1B[6;2Hd\x1B[xe\x1B[1;31;";
  const std::string expected = "a\x1B[0;32mb\x1B(c\x1B[3;7Hde";
  for (int unit_size : {1, 2, 4}) {
    console_screen().attribute = kDefaultTextAttribute;
    write_units(std::vector<uint32_t>(text.begin(), text.end()), unit_size, true);
    EXPECT_EQ(written(), expected + "\n") << "unit " << unit_size;
  }
  EXPECT_EQ(console_screen().attribute, 0x02);
  EXPECT_EQ(console_screen().cursor, (ScreenPosition{6, 2}));
  print_cstring("\x1B[0m\xC3\xA9");  // typed prints: byte text as it is, sequences interpreted
  EXPECT_EQ(written(), "\x1B[0m\xC3\xA9");
}

TEST_F(ConsoleOutput, TerminalReportPrintsTheScreenModel) {
  use_terminal();
  console_screen().width = 80;  // an in-memory file reports no size: the model keeps these
  console_screen().height = 25;
  console_screen().attribute = 0x52;
  const uint8_t text[] = {0x1B, '[', '4', ';', '3', 'H', 0x1B, '[', '?'};
  console_write_latin1(text, sizeof text);
  EXPECT_EQ(written(),
            "\x1B[4;5H"
            "Screen buffer info:\n"
            "   size______80x25\n"
            "   cursor____4x3\n"
            "   attribute_00000052 00000007\n"
            "   left______0 top:0\n"
            "   right_____79 bottom:24\n"
            "   max_______80x25\n");
}

TEST_F(ConsoleOutput, CharEscapedForms) {
  struct Row {
    uint32_t code;
    std::string text;
  };
  const Row rows[] = {
      {0, "#\"^@\""},      {9, "#\"^-\""},   {10, "#\"^/\""},        {27, "#\"^]\""},        {1, "#\"^A\""},
      {31, "#\"^_\""},     {32, "#\" \""},   {65, "#\"A\""},         {127, "#\"\x7F\""},     {128, "#\"^(80)\""},
      {255, "#\"^(FF)\""},
  };
  for (const Row& row : rows) {
    print_char_escaped(row.code);
    EXPECT_EQ(written(), row.text) << row.code;
  }
}

TEST_F(ConsoleOutput, NumbersAndBytes) {
  struct Row {
    void (*print)();
    std::string text;
  };
  const Row rows[] = {
      {[] { print_float64(0.1); }, "0.1"},
      {[] { print_float64(1e21); }, "1e+21"},
      {[] { print_float64(100); }, "100"},
      {[] { print_float64(-2.5e-7); }, "-2.5e-07"},
      {[] { print_float32(1.0f / 3); }, "0.3333333"},
      {[] { print_integer(-42); }, "-42"},
      {[] { print_integer(INT64_MIN); }, "-9223372036854775808"},
      {[] { print_hex2(10); }, "0A"},
      {[] { print_hex2(0x1FF); }, "1FF"},
      {[] { print_hex8(255); }, "000000FF"},
      {[] { print_char(0xE9); }, "\xE9"},
      {[] { print_cstring("caf\xC3\xA9"); }, "caf\xC3\xA9"},
      {[] { print_cstring_limited("abcdef", 3); }, "abc"},
      {[] { print_cstring_limited("ab", 9); }, "ab"},
  };
  for (const Row& row : rows) {
    row.print();
    EXPECT_EQ(written(), row.text);
  }
}

TEST_F(ConsoleOutput, TypedListsAreSpacedAndFlushed) {
  const PrintItem spaced[] = {item_text("a"), item_integer(5), item_text("b "), item_char('c')};
  print_typed_list(spaced, true);
  EXPECT_EQ(file_bytes(), "a 5 b c");  // flushed without being asked
  written();
  const PrintItem kinds[] = {item_logic(true), item_logic(false), item_float64(0.1), item_float32(1.0f / 3),
                             item_other(9, 255), item_char('\t'), item_text(nullptr), item_text("z")};
  print_typed_list(kinds, true);
  EXPECT_EQ(written(), "true false 0.1 0.3333333 000000FF \t z");
  print_values(spaced);
  EXPECT_EQ(written(), "a5b c");
  print_values_line(spaced);
  EXPECT_EQ(written(), "a5b c\n");
}

TEST_F(ConsoleOutput, NumbersIgnoreACommaDecimalLocale) {
  const char* comma_locales[] = {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8", "fr_FR.utf8", "nl_NL.UTF-8", "ru_RU.UTF-8"};
  const char* found = nullptr;
  for (const char* name : comma_locales)
    if (std::setlocale(LC_NUMERIC, name)) {
      found = name;
      break;
    }
  if (!found) GTEST_SKIP() << "no comma-decimal locale installed";
  print_float64(2.5);
  const PrintItem item[] = {item_float32(2.5f)};
  print_values(item);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_EQ(written(), "2.52.5") << found;
}

std::string hook_bytes;
void remember_bytes(const char* bytes, size_t length, uint32_t) { hook_bytes.append(bytes, length); }

TEST_F(ConsoleOutput, ByteTextReachesTheByteHooks) {
  hook_bytes.clear();
  print_hooks_add(nullptr, remember_bytes);
  print_cstring("Qel ");
  print_integer(7);
  const PrintItem line[] = {item_text("n="), item_integer(3)};
  print_values_line(line);
  const uint8_t text[] = {'s', 't', 'r'};
  console_write_latin1_line(text, 3);  // printed text reaches the string hooks at the print core
  print_hooks_remove(nullptr, remember_bytes);
  EXPECT_EQ(hook_bytes, "Qel 7n=3\n");
  EXPECT_EQ(written(), "Qel 7n=3\nstr\n");
}

TEST_F(ConsoleOutput, UnitSizeWrappers) {
  const uint8_t latin1[] = {'a', 0xE9};
  const uint16_t utf16[] = {'b', 0x20AC};
  console_write_latin1(latin1, 2);
  console_write_latin1_line(latin1, 2);
  console_write_utf16(utf16, 2);
  console_write_utf16_line(utf16, 2);
  EXPECT_EQ(written(), "a\xC3\xA9" "a\xC3\xA9\n" "b\xE2\x82\xAC" "b\xE2\x82\xAC\n");
}

TEST(ConsoleOutputDeathTest, BadInputEndsTheProcess) {
  const uint8_t text[] = {'a', 'b', 'c'};
  EXPECT_EXIT(console_write_units(text, 1, 3, false), ::testing::ExitedWithCode(101), "no value matched in SWITCH");
  EXPECT_EXIT(print_char_escaped(300), ::testing::ExitedWithCode(100), "no value matched in CASE");
}

TEST(ConsoleOutputDeathTest, StagedOutputIsWrittenAtExit) {
  auto print_then_quit = [] {
    console_output_init();
    console_output_set_target({STDERR_FILENO, false});
    print_cstring("staged");
    quit_return(3);
  };
  EXPECT_EXIT(print_then_quit(), ::testing::ExitedWithCode(3), "^staged$");
}

}  // namespace
}  // namespace qel

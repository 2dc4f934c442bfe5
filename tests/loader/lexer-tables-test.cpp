// The generated lexer tables: the rows of states.txt as written, the shape of the automaton,
// and spot checks against the grammar.
#include "loader/lexer/lexer-tables.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace qel {
namespace {

// ---- reading states.txt -------------------------------------------------------------------

// The trimmed cells of a table row "| a | b | c |".
std::vector<std::string> cells_of(const std::string& line) {
  std::vector<std::string> cells;
  std::stringstream stream(line.substr(1));
  for (std::string cell; std::getline(stream, cell, '|');) {
    size_t first = cell.find_first_not_of(' '), last = cell.find_last_not_of(' ');
    cells.push_back(first == std::string::npos ? "" : cell.substr(first, last - first + 1));
  }
  return cells;
}

// The data rows under "## <section>" (titles and rules dropped).
std::vector<std::vector<std::string>> section_rows(const std::string& section) {
  std::ifstream file(QEL_SOURCE_DIR "/loader/lexer/states.txt");
  std::vector<std::vector<std::string>> rows;
  bool inside = false, titles_seen = false;
  for (std::string line; std::getline(file, line);) {
    if (line.rfind("## ", 0) == 0) inside = line == "## " + section;
    if (!inside || line.empty() || line[0] != '|' || line.rfind("|---", 0) == 0) continue;
    if (titles_seen) rows.push_back(cells_of(line));
    titles_seen = true;
  }
  return rows;
}

// The state a target of a row names: Sn, Tn (final state 66 + n) or error.
int target_of(const std::string& target) {
  if (target == "error") return kErrorState;
  int number = std::stoi(target.substr(1));
  return target[0] == 'T' ? kFirstFinalState + number : number;
}

TEST(LexerTables, EveryRowCoversEachClassOnceAsTheTablesSay) {
  std::map<std::string, int> class_index;
  for (const auto& row : section_rows("classes")) class_index[row[1]] = std::stoi(row[0]);
  ASSERT_EQ(class_index.size(), kCharClasses);
  auto rows = section_rows("states");
  ASSERT_EQ(rows.size(), kLexerStates);
  for (int state = 0; state < kLexerStates; ++state) {
    SCOPED_TRACE(rows[state][0]);
    ASSERT_EQ(rows[state][0], "S" + std::to_string(state));
    std::vector<int> named(kCharClasses, 0);
    int defaults = 0, default_target = -1;
    std::stringstream rules(rows[state][2]);
    for (std::string rule; std::getline(rules, rule, ';');) {
      std::stringstream words(rule);
      std::string target, on;
      words >> target >> on;
      ASSERT_EQ(on, "on");
      std::string rest;
      std::getline(words, rest);
      if (rest == " any other class") {
        ++defaults;
        default_target = target_of(target);
        continue;
      }
      std::stringstream names(rest);
      for (std::string name; names >> name;) {
        ASSERT_TRUE(class_index.count(name)) << name;
        ++named[class_index[name]];
        EXPECT_EQ(next_state(state, CharClass(class_index[name])), target_of(target)) << name;
      }
    }
    EXPECT_LE(defaults, 1);
    for (int c = 0; c < kCharClasses; ++c) {
      EXPECT_EQ(named[c] + (named[c] == 0 ? defaults : 0), 1) << "class " << c;
      if (named[c] == 0) {
        EXPECT_EQ(next_state(state, CharClass(c)), default_target) << "class " << c;
      }
    }
  }
}

// ---- the automaton ------------------------------------------------------------------------

TEST(LexerTables, EveryTargetExists) {
  for (int state = 0; state < kLexerStates; ++state)
    for (int c = 0; c < kCharClasses; ++c) {
      uint8_t next = next_state(state, CharClass(c));
      EXPECT_TRUE(next < kLexerStates || (next >= kFirstFinalState && next < kFirstFinalState + kTokenTypes))
          << "S" << state << " class " << c << " -> " << int{next};
    }
}

TEST(LexerTables, TheNulColumnOfEveryStateEndsInAFinalState) {
  for (int state = 0; state < kLexerStates; ++state) {
    uint8_t at = state;
    for (int steps = 0; steps <= kLexerStates && !is_final_state(at); ++steps) at = next_state(at, CharClass::nul);
    EXPECT_TRUE(is_final_state(at)) << "S" << state;
  }
}

TEST(LexerTables, ClassesAndFlagsOfBytes) {
  struct Row {
    uint8_t byte;
    CharClass expected_class;
    uint32_t expected_flags;
  };
  const Row rows[] = {
      {0x00, CharClass::nul, 0x00400000},  {'\t', CharClass::blank, 0},       {'\r', CharClass::blank, 0},
      {' ', CharClass::blank, 0},          {'\n', CharClass::newline, 0},     {0x0B, CharClass::ctrl, 0},
      {'0', CharClass::zero, 0},           {'9', CharClass::digit, 0},        {'x', CharClass::x, 0},
      {'X', CharClass::x, 0},              {'T', CharClass::T, 0},            {'t', CharClass::other, 0},
      {'h', CharClass::h, 0},              {'H', CharClass::other, 0},        {'e', CharClass::e, 0x01000000},
      {'E', CharClass::E, 0x01000000},     {'f', CharClass::hexl, 0},         {'F', CharClass::hexu, 0},
      {'\\', CharClass::bslash, 0},        {'|', CharClass::other, 0},        {'\'', CharClass::apos, 0x02000000},
      {'"', CharClass::dquote, 0},         {'+', CharClass::plus, 0x00200000}, {'-', CharClass::minus, 0x00200000},
      {'%', CharClass::percent, 0x00040000}, {',', CharClass::comma, 0x08000000}, {'^', CharClass::caret, 0x20000000},
      {0x7F, CharClass::cont, 0},          {0xBF, CharClass::cont, 0},        {0xC0, CharClass::bad, 0},
      {0xC2, CharClass::other, 0x40000000}, {0xEF, CharClass::other, 0x40000000}, {0xF0, CharClass::other, 0x80000000},
      {0xF7, CharClass::other, 0x80000000}, {0xF8, CharClass::bad, 0},    {0xFF, CharClass::bad, 0},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(char_class(row.byte), row.expected_class) << "byte " << int{row.byte};
    EXPECT_EQ(char_flags(row.byte), row.expected_flags) << "byte " << int{row.byte};
  }
}

TEST(LexerTables, TransitionsAsTheGrammarReads) {
  struct Row {
    uint8_t state;
    uint8_t byte;
    uint8_t expected;
  };
  const Row rows[] = {
      {0, ' ', 0},    {0, ';', 1},   {0, '"', 2},    {0, '}', 67},  {0, 0x80, 67}, {0, '[', 68},
      {0, ',', 78},   {0, 'q', 52},  {0, 0x00, 66},  {1, '\n', 77}, {2, '\n', 67}, {2, '^', 3},
      {4, '{', 72},   {4, '}', 73},  {12, '<', 100}, {12, 'a', 67}, {16, '[', 74}, {16, '(', 21},
      {23, '%', 87},  {23, '.', 24}, {23, ' ', 82},  {23, 'x', 33}, {23, 'h', 42}, {44, '>', 96},
      {44, '"', 45},  {52, '/', 75}, {52, ':', 53},  {59, '(', 70}, {63, '[', 21}, {64, '$', 36},
  };
  for (const Row& row : rows)
    EXPECT_EQ(next_state(row.state, char_class(row.byte)), row.expected) << "S" << int{row.state} << " byte " << int{row.byte};
}

TEST(LexerTables, StateTypes) {
  struct Row {
    uint8_t state;
    int8_t expected;
  };
  const Row rows[] = {{0, 0},   {2, 7},    {21, -2},  {23, 11}, {35, 51},  {44, 44}, {59, 25},
                      {66, 0},  {67, 34},  {68, 0},   {73, 7},  {80, 15},  {82, 11}, {93, 51}, {101, 50}};
  for (const Row& row : rows) EXPECT_EQ(state_type(row.state), row.expected) << "state " << int{row.state};
}

}  // namespace
}  // namespace qel

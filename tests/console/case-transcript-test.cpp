// case-transcript-test.cpp: the case-file harness's reading of case files and transcripts, and
// its matching rules.
#include "tools/case-driver/case-transcript.h"

#include <gtest/gtest.h>

namespace qel::cases {
namespace {

std::vector<std::string> texts(const std::vector<ExpectedLine>& lines) {
  std::vector<std::string> result;
  for (const ExpectedLine& line : lines) result.push_back(line.text);
  return result;
}

std::vector<ExpectedLine> expect(std::initializer_list<const char*> lines) {
  std::vector<ExpectedLine> result;
  size_t n = 0;
  for (const char* line : lines) result.push_back({line, ++n});
  return result;
}

TEST(CaseFile, TypedLinesContinuationsCommentsAndWidth) {
  CaseFile file = parse_case_file(
      ";; columns 40\n"
      ";; a comment\n"
      ">> b: [x\n"
      "[    y]   \n"
      "== [x\n"
      "\n"
      "y]\n"
      ">> \"a\"\n"
      "== \"a\"\n"
      "(    not typed: output after output\n"
      ">>\n");
  EXPECT_EQ(file.columns, 40);
  EXPECT_EQ(file.input, "b: [x\ny]   \n\"a\"\n\n");
  EXPECT_EQ(texts(file.expected),
            (std::vector<std::string>{">> b: [x", "[    y]", "== [x", "y]", ">> \"a\"", "== \"a\"", "(    not typed: output after output", ">>"}));
  EXPECT_EQ(file.expected[2].file_line, 5u);
  EXPECT_EQ(parse_case_file(">> 1\n").columns, 80);
  // An ESC that ends a typed line is typed, and echoed by no console.
  file = parse_case_file(">> [1\n[    2\x1B\n(escape)\n");
  EXPECT_EQ(file.input, "[1\n2\x1B\n");
  EXPECT_EQ(texts(file.expected), (std::vector<std::string>{">> [1", "[    2", "(escape)"}));
}

TEST(Transcript, DropsBannerEmptyLinesTrailingBlanksAndTheLastPrompt) {
  EXPECT_EQ(transcript_lines("--== Qel 0.1.0 ==--\n\n>> 1 \n== 1\n\n>> "), (std::vector<std::string>{">> 1", "== 1"}));
  EXPECT_EQ(transcript_lines(">> [\n[    "), (std::vector<std::string>{">> ["}));
  // A prompt followed by a line end was answered by an empty line: it stays.
  EXPECT_EQ(transcript_lines(">> \n>> "), (std::vector<std::string>{">>"}));
  EXPECT_TRUE(transcript_lines("banner only\n").empty());
}

TEST(Match, ExactLinesAndWildcards) {
  EXPECT_FALSE(match_transcript(expect({">> 1", "== 1"}), {">> 1", "== 1"}));
  EXPECT_FALSE(match_transcript(expect({"*** Math Error: x", "...", ">> 2"}), {"*** Math Error: x", "*** Where: f", "*** Near : g", ">> 2"}));
  EXPECT_FALSE(match_transcript(expect({"*** E", "...", ">> 2"}), {"*** E", ">> 2"}));  // none at all
  EXPECT_FALSE(match_transcript(expect({"...", "a", "..."}), {"a", "b", "a"}));
}

TEST(Match, ReportsTheFurthestExpectedLine) {
  struct Row {
    std::vector<ExpectedLine> expected;
    std::vector<std::string> actual;
    size_t expected_at, actual_at;
  } rows[] = {
      {expect({">> 1", "== 1", ">> 2", "== 2"}), {">> 1", "== 1", ">> 2", "== 3"}, 3, 3},  // a wrong line
      {expect({">> 1", "== 1", ">> 2"}), {">> 1", ">> 2"}, 1, 1},                          // a missing line
      {expect({">> 1"}), {">> 1", "== 1"}, 1, 1},                                          // an extra line
      {expect({"a", "...", "c", "d"}), {"a", "b", "c", "e"}, 3, 3},                        // past a wildcard
  };
  for (const Row& row : rows) {
    std::optional<Mismatch> mismatch = match_transcript(row.expected, row.actual);
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->expected, row.expected_at);
    EXPECT_EQ(mismatch->actual, row.actual_at);
  }
}

TEST(Match, TheReportNamesFileLineExpectedAndActual) {
  std::vector<ExpectedLine> expected{{">> 1", 3}, {"== 2", 4}};
  std::vector<std::string> actual{">> 1", "== 1"};
  std::string report = describe_mismatch("x.qcase", expected, actual, *match_transcript(expected, actual));
  EXPECT_NE(report.find("x.qcase:4:"), std::string::npos) << report;
  EXPECT_NE(report.find("expected: == 2"), std::string::npos) << report;
  EXPECT_NE(report.find("actual:   == 1"), std::string::npos) << report;
}

}  // namespace
}  // namespace qel::cases

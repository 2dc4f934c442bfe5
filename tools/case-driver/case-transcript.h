// case-transcript.h: case files and console transcripts: what a case file types, what it
// expects, and how the console's output is matched against it.
//
// A case file: line 1 may be ";; columns N"; other ";;" lines are comments; ">> text" is a
// typed line; the lines right after it that start with a cue ("[", "(", "{" or "<") and four
// spaces are its continuation lines as the console echoes them; every other line is expected
// output, "..." standing for any run of lines. Empty lines and trailing blanks never count.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qel::cases {

// An expected line and the file line it comes from (1-based).
struct ExpectedLine {
  std::string text;
  size_t file_line;
};

struct CaseFile {
  int64_t columns = 80;
  std::string input;                  // what is typed, one line end after each line
  std::vector<ExpectedLine> expected; // the transcript: echoes and output
};

// Reads a case file's text.
CaseFile parse_case_file(std::string_view text);

// The console's standard output as transcript lines: the banner before the first prompt and
// an unanswered prompt or cue at the very end are dropped, trailing blanks trimmed, empty lines
// dropped.
std::vector<std::string> transcript_lines(std::string_view output);

// Where a transcript first departs from the expected lines: the expected line (index into the
// expected lines, or their count at the end) and the actual line (likewise).
struct Mismatch {
  size_t expected;
  size_t actual;
};

// Matches the actual lines against the expected ones ("..." matches any run of lines); none
// when they match. On a mismatch, the furthest expected line any way of matching reached.
std::optional<Mismatch> match_transcript(const std::vector<ExpectedLine>& expected,
                                         const std::vector<std::string>& actual);

// The report of a mismatch: file and line, the expected line, the actual line, and the
// actual transcript around it.
std::string describe_mismatch(std::string_view file, const std::vector<ExpectedLine>& expected,
                              const std::vector<std::string>& actual, const Mismatch& mismatch);

}  // namespace qel::cases

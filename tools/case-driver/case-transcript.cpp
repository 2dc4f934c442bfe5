// case-transcript.cpp: parsing case files, reading transcripts, matching them.
#include "tools/case-driver/case-transcript.h"

#include <algorithm>
#include <charconv>

namespace qel::cases {

namespace {

constexpr std::string_view kPrompt = ">> ";
constexpr std::string_view kBarePrompt = ">>";
constexpr std::string_view kComment = ";;";
constexpr std::string_view kColumns = ";; columns ";
constexpr std::string_view kWildcard = "...";
constexpr std::string_view kCues = "[({<";
constexpr std::string_view kCueIndent = "    ";
constexpr size_t kContextLines = 3;

std::string_view trim_trailing(std::string_view line) {
  size_t end = line.find_last_not_of(" \t\r");
  return end == std::string_view::npos ? std::string_view{} : line.substr(0, end + 1);
}

// The lines of a text; a last line without a line end counts.
std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

bool is_command(std::string_view line) { return line.starts_with(kPrompt) || trim_trailing(line) == kBarePrompt; }

inline constexpr char kEscape = 27;

// A continuation line as echoed: a cue character and four spaces.
bool is_continuation(std::string_view line) {
  return line.size() >= 1 + kCueIndent.size() && kCues.find(line[0]) != std::string_view::npos &&
         line.substr(1, kCueIndent.size()) == kCueIndent;
}

// What a command or continuation line types.
std::string_view typed_text(std::string_view line, size_t prefix) {
  return line.size() > prefix ? line.substr(prefix) : std::string_view{};
}

}  // namespace

CaseFile parse_case_file(std::string_view text) {
  CaseFile file;
  std::vector<std::string_view> lines = split_lines(text);
  bool in_command = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (i == 0 && line.starts_with(kColumns)) {
      std::string_view digits = trim_trailing(line.substr(kColumns.size()));
      std::from_chars(digits.data(), digits.data() + digits.size(), file.columns);
    }
    if (line.starts_with(kComment)) continue;
    bool typed = true;
    if (is_command(line)) {
      file.input += typed_text(line, kPrompt.size());
      file.input += '\n';
      in_command = true;
    } else if (in_command && is_continuation(line)) {
      file.input += typed_text(line, 1 + kCueIndent.size());
      file.input += '\n';
    } else {
      in_command = false;
      typed = false;
    }
    std::string_view kept = trim_trailing(line);
    // The console echoes no ESC that ends a typed line, as a window shows none.
    if (typed && kept.ends_with(kEscape)) kept = trim_trailing(kept.substr(0, kept.size() - 1));
    if (!kept.empty()) file.expected.push_back({std::string(kept), i + 1});
  }
  return file;
}

std::vector<std::string> transcript_lines(std::string_view output) {
  std::vector<std::string_view> lines = split_lines(output);
  // An unanswered prompt or cue: the last line, with no line end after it.
  if (!lines.empty() && !output.ends_with('\n') && (lines.back() == kPrompt || is_continuation(lines.back())) &&
      lines.back().size() <= 1 + kCueIndent.size())
    lines.pop_back();
  auto first_command = std::find_if(lines.begin(), lines.end(), is_command);
  std::vector<std::string> transcript;
  for (auto it = first_command; it != lines.end(); ++it) {
    std::string_view kept = trim_trailing(*it);
    if (!kept.empty()) transcript.emplace_back(kept);
  }
  return transcript;
}

std::optional<Mismatch> match_transcript(const std::vector<ExpectedLine>& expected,
                                         const std::vector<std::string>& actual) {
  const size_t n = expected.size();
  const size_t m = actual.size();
  // reached[i * (m + 1) + j]: expected[0, i) can match actual[0, j).
  std::vector<char> reached((n + 1) * (m + 1), 0);
  auto at = [&](size_t i, size_t j) -> char& { return reached[i * (m + 1) + j]; };
  at(0, 0) = 1;
  Mismatch furthest{0, 0};
  for (size_t i = 0; i <= n; ++i) {
    for (size_t j = 0; j <= m; ++j) {
      if (!at(i, j)) continue;
      if (i > furthest.expected) furthest = {i, j};
      if (i == n) continue;
      if (expected[i].text == kWildcard) {
        at(i + 1, j) = 1;
        if (j < m) at(i, j + 1) = 1;
      } else if (j < m && expected[i].text == actual[j]) {
        at(i + 1, j + 1) = 1;
      }
    }
  }
  if (at(n, m)) return std::nullopt;
  return furthest;
}

std::string describe_mismatch(std::string_view file, const std::vector<ExpectedLine>& expected,
                              const std::vector<std::string>& actual, const Mismatch& mismatch) {
  std::string report(file);
  if (mismatch.expected < expected.size()) {
    report += ":" + std::to_string(expected[mismatch.expected].file_line) + ": transcript differs\n";
    report += "  expected: " + expected[mismatch.expected].text + "\n";
  } else {
    report += ": transcript goes on past the end of the case file\n  expected: (nothing more)\n";
  }
  report += "  actual:   " + (mismatch.actual < actual.size() ? actual[mismatch.actual] : "(end of output)") + "\n";
  report += "  actual transcript around it:\n";
  size_t from = mismatch.actual > kContextLines ? mismatch.actual - kContextLines : 0;
  size_t to = std::min(actual.size(), mismatch.actual + kContextLines + 1);
  for (size_t j = from; j < to; ++j) report += (j == mismatch.actual ? "  > " : "    ") + actual[j] + "\n";
  return report;
}

}  // namespace qel::cases

// The preprocessor: `expand-directives` over the loaded block of a generated 10,000-line script.
// Without directives the pre-scan should let it through at once: its peer is `load` of the same
// text, so the ratio is the share of a script's loading that expansion adds. With 100 macros,
// each used once, and 100 #if, the block is expanded from a deep copy each time (the expansion
// changes it), against the copy alone.
#include <benchmark/benchmark.h>

#include <string>

#include "bench/qel-programs.h"

namespace qel {
namespace {

constexpr int kLines = 10000;

// The body of a script as people write it: functions, data blocks, conditionals, objects and
// comments, no issue! value and no word `routine`, so nothing for the preprocessor to do.
constexpr const char* kTemplates[] = {
    "fn-@: func [a b /local c] [c: a + b * @ either c > 10 [print [\"big\" c]] [c]]",
    "data-@: [1 2.5 \"text\" #\"c\" 3x4 %file-@.txt http://example.com/p/@ <b> 'lit :get]",
    "if (fn-@ 1 2) > 0 [append result mold reduce [data-@/1 length? data-@]]",
    "; a remark on line @",
    "obj-@: make object! [name: \"n@\" size: @ parts: [(1 + 2) [nested [deeper @]]]]",
};

// Every hundredth group of lines: a named macro, its use and an #if on the platform.
constexpr const char* kDirectiveLines[] = {
    "#macro m-@: func [x] [x + @]",
    "v-@: m-@ 5",
    "#if config/OS = 'Linux [w-@: @]",
};

std::string with_number(std::string_view line, int n) {
  std::string out;
  for (const char c : line) out += c == '@' ? std::to_string(n) : std::string(1, c);
  return out + "\n";
}

// The script's lines; with `directives`, 100 groups of directive lines in place of as many
// ordinary lines.
std::string script_text(bool directives) {
  constexpr int kTemplateCount = sizeof kTemplates / sizeof kTemplates[0];
  constexpr int kDirectiveCount = sizeof kDirectiveLines / sizeof kDirectiveLines[0];
  std::string text;
  for (int line = 0; line < kLines;) {
    if (directives && line % 100 == 0) {
      for (const char* directive : kDirectiveLines) text += with_number(directive, line / 100);
      line += kDirectiveCount;
      continue;
    }
    text += with_number(kTemplates[line % kTemplateCount], line);
    ++line;
  }
  return text;
}

// The set-up: the script as a string (braces balance and no caret is used, so it reads back
// as written) and its loaded block.
std::string setup(bool directives) {
  return "result: copy [] script: {" + script_text(directives) + "} code: load script";
}

void run(benchmark::State& state, bool directives, const char* program) {
  bench_support::run_qel_program(state, setup(directives), program, true);
}

const bool registered = [] {
  const struct {
    const char* name;
    bool directives;
    const char* program;
  } cases[] = {
      {"expand-10k-lines/qel", false, "expand-directives code"},
      {"expand-10k-lines/load", false, "load script"},
      {"expand-10k-lines-100-macros-100-if/qel", true, "expand-directives/clean copy/deep code"},
      {"expand-10k-lines-100-macros-100-if/copy", true, "copy/deep code"},
  };
  for (const auto& c : cases) {
    const bool directives = c.directives;
    const char* program = c.program;
    benchmark::RegisterBenchmark(c.name, [directives, program](benchmark::State& s) {
      run(s, directives, program);
    })->Unit(benchmark::kMicrosecond);
  }
  return true;
}();

}  // namespace
}  // namespace qel

// Standard output writers against the C library's buffered output, all to the null device.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "runtime/console-output.h"
#include "runtime/utf8.h"

namespace {

constexpr size_t kMegabyte = 1 << 20;
constexpr int kShortLines = 1'000'000;
const char kShortLine[] = "a short line of text";

int null_fd() {
  static int fd = ::open("/dev/null", O_WRONLY);
  return fd;
}

FILE* null_file() {
  static FILE* file = std::fopen("/dev/null", "w");
  return file;
}

// A megabyte of printable, escape-free text.
const std::string& megabyte_text() {
  static const std::string text = [] {
    std::string t;
    while (t.size() < kMegabyte) t += "The quick brown fox jumps over the lazy dog. 0123456789\n";
    t.resize(kMegabyte);
    return t;
  }();
  return text;
}

// The same text as UTF-16 units with one non-ASCII character per line, and its UTF-8 bytes.
struct WideText {
  std::vector<uint16_t> units;
  std::string utf8;
};
const WideText& wide_text() {
  static const WideText text = [] {
    WideText t;
    for (char c : megabyte_text()) t.units.push_back(c == '\n' ? 0x20AC : static_cast<uint8_t>(c));
    for (uint16_t unit : t.units) {
      uint8_t bytes[4];
      t.utf8.append(reinterpret_cast<char*>(bytes), qel::utf8_encode(unit, bytes));
    }
    return t;
  }();
  return text;
}

void print_megabyte(benchmark::State& state, bool terminal) {
  qel::console_output_set_target({null_fd(), terminal});
  const std::string& text = megabyte_text();
  for (auto _ : state) {
    qel::console_write_latin1(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    qel::console_flush();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void fwrite_bytes(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) {
    std::fwrite(bytes.data(), 1, bytes.size(), null_file());
    std::fflush(null_file());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}

void redirected_megabyte_qel(benchmark::State& state) { print_megabyte(state, false); }
void redirected_megabyte_fwrite(benchmark::State& state) { fwrite_bytes(state, megabyte_text()); }

void redirected_utf16_megabyte_qel(benchmark::State& state) {
  qel::console_output_set_target({null_fd(), false});
  const WideText& text = wide_text();
  for (auto _ : state) {
    qel::console_write_utf16(text.units.data(), text.units.size());
    qel::console_flush();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.units.size()));
}
void redirected_utf16_megabyte_fwrite(benchmark::State& state) { fwrite_bytes(state, wide_text().utf8); }

void short_lines_qel(benchmark::State& state) {
  qel::console_output_set_target({null_fd(), false});
  const auto* line = reinterpret_cast<const uint8_t*>(kShortLine);
  for (auto _ : state) {
    for (int i = 0; i < kShortLines; ++i) qel::console_write_latin1_line(line, sizeof kShortLine - 1);
    qel::console_flush();
  }
}
void short_lines_fputs(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kShortLines; ++i) {
      std::fputs(kShortLine, null_file());
      std::fputs("\n", null_file());
    }
    std::fflush(null_file());
  }
}

void terminal_filter_qel(benchmark::State& state) { print_megabyte(state, true); }
void terminal_filter_redirected(benchmark::State& state) { print_megabyte(state, false); }

}  // namespace

BENCHMARK(redirected_megabyte_qel)->Name("redirected 1 MB string/qel");
BENCHMARK(redirected_megabyte_fwrite)->Name("redirected 1 MB string/fwrite");
BENCHMARK(redirected_utf16_megabyte_qel)->Name("redirected 1 MB UTF-16 string/qel");
BENCHMARK(redirected_utf16_megabyte_fwrite)->Name("redirected 1 MB UTF-16 string/fwrite");
BENCHMARK(short_lines_qel)->Name("10^6 short lines/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(short_lines_fputs)->Name("10^6 short lines/fputs")->Unit(benchmark::kMillisecond);
BENCHMARK(terminal_filter_qel)->Name("terminal filter, escape-free 1 MB/qel");
BENCHMARK(terminal_filter_redirected)->Name("terminal filter, escape-free 1 MB/redirected");

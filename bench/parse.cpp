// The parse dialect against PCRE2 (pcre2_match without JIT as the peer, with JIT alongside) on
// equivalent matching over text of 1-, 2- and 4-byte units (PCRE2's 8-, 16- and 32-bit libraries
// on the same code points), the search of `to` against memmem, and block input against a
// Python isinstance loop.
#include "bench/script-peers.h"  // first: it includes Python.h

#define PCRE2_CODE_UNIT_WIDTH 0
#include <pcre2.h>
#include <string.h>

#include <benchmark/benchmark.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "bench/qel-programs.h"
#include "datatypes/series/string-core.h"
#include "evaluator/parse-stacks.h"

namespace qel {
namespace {

constexpr size_t kSmall = size_t{1} << 20;
constexpr size_t kLarge = size_t{10} << 20;

// A code point of each width, placed once at the text's head so that the text takes that unit.
constexpr uint32_t kWidthMarks[] = {'-', 0x3A9, 0x1F600};

// Letters from an alphabet, the same on every run, with the width mark at the head.
std::u32string letters(size_t n, std::u32string_view alphabet, int width_index) {
  std::u32string text(n, U'a');
  text[0] = kWidthMarks[width_index];
  uint32_t state = 12345;
  for (size_t i = 1; i < n; ++i) {
    state = state * 1103515245 + 12345;
    text[i] = alphabet[(state >> 16) % alphabet.size()];
  }
  return text;
}

// 1 MB of runs of digits and of letters, each 1 to 8 long, then the width mark.
std::u32string digit_letter_text(int width) {
  std::u32string text(kSmall, U'a');
  uint32_t state = 4242;
  bool digits = false;
  for (size_t i = 0; i < text.size();) {
    state = state * 1103515245 + 12345;
    const size_t run = 1 + (state >> 16) % 8;
    for (size_t k = 0; k < run && i < text.size(); ++k, ++i) {
      state = state * 1103515245 + 12345;
      text[i] = digits ? U'0' + (state >> 16) % 10 : U'a' + (state >> 16) % 26;
    }
    digits = !digits;
  }
  text.back() = kWidthMarks[width];
  return text;
}

// 1 MB of letters with an x about every sixteenth, ending in x.
std::u32string x_text(int width) {
  std::u32string text = letters(kSmall, U"abcdefghijklmnopqrstuvwyzx", width);
  text.back() = U'x';
  return text;
}

// A CSV-like line of 1 MB: fields of 1 to 12 letters, each followed by a comma.
std::u32string csv_text(int width) {
  std::u32string text = letters(kSmall, U"abcdefghijklmnopqrstuvwxyz", width);
  uint32_t state = 777;
  for (size_t i = 2; i < text.size(); i += 2 + (state >> 16) % 12) {
    state = state * 1103515245 + 12345;
    text[i] = U',';
  }
  text.back() = U',';
  return text;
}

// 10 MB without a z, ending in "zz".
std::u32string zz_text(int width) {
  std::u32string text = letters(kLarge, U"abcdefghijklmnopqrstuvwxy", width);
  text[text.size() - 2] = text[text.size() - 1] = U'z';
  return text;
}

// The code points in units of a width: 1, 2 or 4 bytes each.
std::string units_of(const std::u32string& text, unsigned unit) {
  std::string bytes(text.size() * unit, '\0');
  for (size_t i = 0; i < text.size(); ++i) std::memcpy(&bytes[i * unit], &text[i], unit);  // little-endian
  return bytes;
}

constexpr unsigned kUnits[] = {1, 2, 4};

// --- Qel ------------------------------------------------------------------------------------

// The bitsets the charset cases use.
constexpr const char* kCharsets = "digits: make bitset! \"0123456789\" alpha: make bitset! [#\"a\" - #\"z\" #\"A\" - #\"Z\"]";

// A fresh runtime with the word `s` set to the text in the width's unit and the charsets made;
// each iteration then evaluates the program.
void run_qel(benchmark::State& state, const std::u32string& text, int width, const char* program) {
  restart_with_datatypes();
  init_native_entries();
  decode_linked_boot_image();
  init_parse();
  stack_open_native_frame(context_add_word(symbol_intern_cstring("bench"), global_context()));
  const unsigned unit = kUnits[width];
  const std::string units = units_of(text, unit);
  const NodeId node = new_text_series(static_cast<int64_t>(text.size()), unit);
  SeriesBuffer* buffer = series_buffer(node);
  std::memcpy(buffer->head_address(), units.data(), units.size());
  buffer->tail = buffer->head + static_cast<uint32_t>(units.size());
  const Cell string = string_value(node);
  root_slot_append(string);
  Cell word = context_add_word(symbol_intern_cstring("s"), global_context());
  word_set(word, string);
  if (!bench_support::evaluate(bench_support::load_rooted(kCharsets))) state.SkipWithError("no bitsets");
  const Cell timed = bench_support::load_rooted(program);
  for (auto _ : state)
    if (!bench_support::evaluate(timed)) state.SkipWithError("parse failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// --- PCRE2 in each code unit width -------------------------------------------------------------

// One compiled pattern and its match data in one library width.
template <int Bits>
struct Pcre;

#define QEL_PCRE_WIDTH(BITS, CHAR)                                                                          \
  template <>                                                                                               \
  struct Pcre<BITS> {                                                                                       \
    using Char = CHAR;                                                                                      \
    pcre2_code_##BITS* code;                                                                                \
    pcre2_match_data_##BITS* data;                                                                          \
    Pcre(const char* pattern, bool jit) {                                                                   \
      std::basic_string<CHAR> wide(pattern, pattern + std::strlen(pattern));                                \
      int error;                                                                                            \
      PCRE2_SIZE offset;                                                                                    \
      code = pcre2_compile_##BITS(reinterpret_cast<PCRE2_SPTR##BITS>(wide.c_str()), wide.size(), 0, &error, \
                                  &offset, nullptr);                                                        \
      if (jit) pcre2_jit_compile_##BITS(code, PCRE2_JIT_COMPLETE);                                          \
      data = pcre2_match_data_create_from_pattern_##BITS(code, nullptr);                                    \
    }                                                                                                       \
    ~Pcre() {                                                                                               \
      pcre2_match_data_free_##BITS(data);                                                                   \
      pcre2_code_free_##BITS(code);                                                                         \
    }                                                                                                       \
    int match(const std::string& units, size_t from) {                                                      \
      return pcre2_match_##BITS(code, reinterpret_cast<PCRE2_SPTR##BITS>(units.data()),                     \
                                units.size() / sizeof(CHAR), from, 0, data, nullptr);                       \
    }                                                                                                       \
    PCRE2_SIZE* ovector() { return pcre2_get_ovector_pointer_##BITS(data); }                                \
  };
QEL_PCRE_WIDTH(8, char)
QEL_PCRE_WIDTH(16, char16_t)
QEL_PCRE_WIDTH(32, char32_t)
#undef QEL_PCRE_WIDTH

// Every match of the pattern from the start, in turn; `each` hears the match data.
template <int Bits, class Each>
void each_match(Pcre<Bits>& pcre, const std::string& units, Each&& each) {
  size_t from = 0;
  const size_t length = units.size() / sizeof(typename Pcre<Bits>::Char);
  while (from < length && pcre.match(units, from) > 0) {
    each(pcre.ovector());
    from = pcre.ovector()[1] > pcre.ovector()[0] ? pcre.ovector()[1] : pcre.ovector()[1] + 1;
  }
}

template <int Bits>
void pcre_count(benchmark::State& state, const std::u32string& text, const char* pattern, bool jit) {
  using Char = typename Pcre<Bits>::Char;
  const std::string units = units_of(text, sizeof(Char));
  Pcre<Bits> pcre(pattern, jit);
  for (auto _ : state) {
    size_t count = 0;
    each_match(pcre, units, [&](PCRE2_SIZE*) { ++count; });
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// Whether the whole text matches.
template <int Bits>
void pcre_whole(benchmark::State& state, const std::u32string& text, const char* pattern, bool jit) {
  using Char = typename Pcre<Bits>::Char;
  const std::string units = units_of(text, sizeof(Char));
  Pcre<Bits> pcre(pattern, jit);
  for (auto _ : state)
    if (pcre.match(units, 0) <= 0) state.SkipWithError("no match: a resource limit of the library");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

template <int Bits>
void pcre_fields(benchmark::State& state, const std::u32string& text, const char* pattern, bool jit) {
  using Char = typename Pcre<Bits>::Char;
  const std::string units = units_of(text, sizeof(Char));
  Pcre<Bits> pcre(pattern, jit);
  const Char* chars = reinterpret_cast<const Char*>(units.data());
  for (auto _ : state) {
    std::basic_string<Char> field;
    each_match(pcre, units, [&](PCRE2_SIZE* ov) { field.assign(chars + ov[2], chars + ov[3]); });
    benchmark::DoNotOptimize(field.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// memmem for "zz" in the width's units.
void memmem_zz(benchmark::State& state, const std::u32string& text, int width) {
  const unsigned unit = kUnits[width];
  const std::string units = units_of(text, unit);
  const std::string needle = units_of(U"zz", unit);
  for (auto _ : state) benchmark::DoNotOptimize(memmem(units.data(), units.size(), needle.data(), needle.size()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// --- Registration ----------------------------------------------------------------------------

using PcreRunner = void (*)(benchmark::State&, const std::u32string&, const char*, bool);

void add(const std::string& name, std::function<void(benchmark::State&)> run) {
  benchmark::RegisterBenchmark(name.c_str(), std::move(run))->Unit(benchmark::kMillisecond);
}

// A text case in each width: Qel's program and PCRE2's pattern, without and with JIT.
void add_text_case(const char* name, std::u32string (*make)(int), const char* program, const char* pattern,
                   const PcreRunner (&runners)[3]) {
  for (int width = 0; width < 3; ++width) {
    const std::string base = std::string(name) + "-" + std::to_string(kUnits[width]) + "byte";
    auto text = std::make_shared<std::u32string>(make(width));
    add(base + "/qel", [=](benchmark::State& s) { run_qel(s, *text, width, program); });
    add(base + "/pcre2", [=](benchmark::State& s) { runners[width](s, *text, pattern, false); });
    add(base + "/pcre2-jit", [=](benchmark::State& s) { runners[width](s, *text, pattern, true); });
  }
}

constexpr PcreRunner kCount[] = {pcre_count<8>, pcre_count<16>, pcre_count<32>};
constexpr PcreRunner kFields[] = {pcre_fields<8>, pcre_fields<16>, pcre_fields<32>};
constexpr PcreRunner kWhole[] = {pcre_whole<8>, pcre_whole<16>, pcre_whole<32>};

// Block input: a million cells, integers and words alternating.
void add_block_case() {
  add("block-integer-or-word-1M/qel", [](benchmark::State& s) {
    bench_support::run_qel_program(s, "b: make block! 1000000 repeat i 500000 [append b i append b 'w]",
                                   "parse b [some [integer! | word!]]");
  });
  add("block-integer-or-word-1M/python3", [](benchmark::State& s) {
    bench_support::run_python_program(
        s, "b = []\nfor i in range(500000):\n    b.append(i)\n    b.append('w')\n",
        "ok = True\nfor x in b:\n    if not (isinstance(x, int) or isinstance(x, str)):\n        ok = False\n"
        "        break\n");
  });
}

const bool registered = [] {
  // The width mark at the end is one more element after the runs. Possessive quantifiers say
  // what parse does (a repetition never gives back what it took); the plain pattern
  // ^(?:[0-9]+|[a-zA-Z]+)+$ keeps a backtracking frame per run: a second without JIT, and the
  // JIT's stack runs out.
  add_text_case("digit-or-letter-runs-1MB", digit_letter_text, "parse s [some [some digits | some alpha] skip]",
                "^(?:[0-9]++|[a-zA-Z]++)++.$", kWhole);
  add_text_case("thru-x-1MB", x_text, "parse s [any [thru \"x\"]]", "x", kCount);
  add_text_case("csv-fields-1MB", csv_text, "parse s [some [copy f to \",\" skip]]", "([^,]*),", kFields);
  for (int width = 0; width < 3; ++width) {
    const std::string base = "to-zz-10MB-" + std::to_string(kUnits[width]) + "byte";
    auto text = std::make_shared<std::u32string>(zz_text(width));
    add(base + "/qel", [=](benchmark::State& s) { run_qel(s, *text, width, "parse s [to \"zz\" to end]"); });
    add(base + "/memmem", [=](benchmark::State& s) { memmem_zz(s, *text, width); });
  }
  add_block_case();
  return true;
}();

}  // namespace
}  // namespace qel

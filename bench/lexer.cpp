// lexer.cpp (bench): the lexer's load, scan and prescan rates over a generated corpus, a long
// string, deep nesting and a 100 MB input, against Python's json.loads and tokenize on the same
// data rendered as JSON and Python source, and memchr over the same bytes (the physical bound).
#include <Python.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "lexer-corpus.h"
#include "loader/lexer/lexer.h"
#include "runtime/action-entries.h"
#include "runtime/collector.h"
#include "runtime/datatype-registry.h"
#include "runtime/startup.h"

namespace qel {
namespace {

constexpr size_t kCorpusBytes = size_t{10} << 20;
constexpr size_t kFileCopies = 10;  // the 100 MB input: the corpus ten times over
constexpr size_t kNestingDepth = 1000000;
constexpr uint32_t kSeed = 20240229;

void start_runtime_afresh() {
  restart_with_datatypes();
  collector_set_torture(false);
}

const bench::Corpus& corpus() {
  static const bench::Corpus made = bench::CorpusWriter(kSeed).write(kCorpusBytes);
  return made;
}

const std::string& hundred_megabytes() {
  static const std::string made = [] {
    std::string text;
    for (size_t i = 0; i < kFileCopies; ++i) text += corpus().qel + "\n";
    return text;
  }();
  return made;
}

const std::string& long_string() {
  static const std::string made = "\"" + std::string(kCorpusBytes, 'x') + "\"";
  return made;
}

const std::string& deep_nesting() {
  static const std::string made = std::string(kNestingDepth, '[') + std::string(kNestingDepth, ']');
  return made;
}

// The console line of the prescan-with-a-tracer case: a typed command of 200 characters, one
// block, so the prescan reads all of it.
const std::string& console_line() {
  static const std::string made = [] {
    std::string line = "[";
    while (line.size() < 150) line += "print x + 1 \"text\" either y > 2 [z] [w] 3.5 ";
    line += std::string(199 - line.size(), 'w') + "]";
    return line;
  }();
  return made;
}

std::span<const uint8_t> bytes_of(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

// The tokens of a text: a tracer that passes over every token sees each once.
int64_t tokens_of(const std::string& text) {
  int64_t count = 0;
  LexerTracer counter{[](const LexerTracer& tracer, LexerTraceCall&) {
                        ++*static_cast<int64_t*>(tracer.context);
                        return false;
                      },
                      make_cell(Type::none), lexer_event_bit(LexerEvent::prescan), &count};
  LexerRequest request;
  request.tracer = &counter;
  Cell out;
  (void)lexer_transcode(out, bytes_of(text), request);
  return count;
}

// Runs one mode of the lexer over the text each iteration; values made are collected between
// iterations, outside the timing.
void run_lexer(benchmark::State& state, const std::string& text, bool prescan, bool scan) {
  start_runtime_afresh();
  int64_t tokens = tokens_of(text);
  LexerRequest request;
  request.prescan = prescan;
  request.scan = scan;
  for (auto _ : state) {
    Cell out;
    benchmark::DoNotOptimize(lexer_transcode(out, bytes_of(text), request));
    state.PauseTiming();
    (void)collect_now();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetItemsProcessed(state.iterations() * tokens);
}

void run_memchr(benchmark::State& state, const std::string& text) {
  for (auto _ : state) benchmark::DoNotOptimize(std::memchr(text.data(), 0x01, text.size()));
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

// The embedded Python interpreter's namespace, with json, io and tokenize imported.
PyObject* python() {
  static PyObject* globals = [] {
    Py_Initialize();
    PyObject* made = PyDict_New();
    PyObject* ran = PyRun_String("import json, io, tokenize", Py_file_input, made, made);
    if (!ran) std::abort();
    Py_DECREF(ran);
    return made;
  }();
  return globals;
}

void run_json_loads(benchmark::State& state, const std::string& json) {
  PyObject* loads = PyObject_GetAttrString(PyDict_GetItemString(python(), "json"), "loads");
  PyObject* text = PyUnicode_FromStringAndSize(json.data(), static_cast<Py_ssize_t>(json.size()));
  for (auto _ : state) {
    PyObject* value = PyObject_CallOneArg(loads, text);
    if (!value) std::abort();
    Py_DECREF(value);
  }
  Py_DECREF(text);
  Py_DECREF(loads);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(json.size()));
}

void run_tokenize(benchmark::State& state, const std::string& source) {
  PyObject* globals = python();
  PyObject* bytes = PyBytes_FromStringAndSize(source.data(), static_cast<Py_ssize_t>(source.size()));
  PyDict_SetItemString(globals, "source", bytes);
  for (auto _ : state) {
    PyObject* ran = PyRun_String("for _ in tokenize.tokenize(io.BytesIO(source).readline): pass", Py_file_input,
                                 globals, globals);
    if (!ran) std::abort();
    Py_DECREF(ran);
  }
  Py_DECREF(bytes);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(source.size()));
}

// --- the corpus, by mode ---------------------------------------------------------------------------

void corpus_load(benchmark::State& state) { run_lexer(state, corpus().qel, false, false); }
void corpus_scan(benchmark::State& state) { run_lexer(state, corpus().qel, false, true); }
void corpus_prescan(benchmark::State& state) { run_lexer(state, corpus().qel, true, false); }
void corpus_memchr(benchmark::State& state) { run_memchr(state, corpus().qel); }
void corpus_json(benchmark::State& state) { run_json_loads(state, corpus().json); }
void corpus_tokenize(benchmark::State& state) { run_tokenize(state, corpus().python); }

BENCHMARK(corpus_load)->Name("corpus-load/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_json)->Name("corpus-load/json.loads")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_tokenize)->Name("corpus-load/tokenize")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_memchr)->Name("corpus-load/memchr")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_scan)->Name("corpus-scan/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_json)->Name("corpus-scan/json.loads")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_prescan)->Name("corpus-prescan/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(corpus_json)->Name("corpus-prescan/json.loads")->Unit(benchmark::kMillisecond);

// --- a long string, deep nesting, a 100 MB input -----------------------------------------------------

void string_load(benchmark::State& state) { run_lexer(state, long_string(), false, false); }
void string_json(benchmark::State& state) { run_json_loads(state, long_string()); }
void string_memchr(benchmark::State& state) { run_memchr(state, long_string()); }
void nesting_load(benchmark::State& state) { run_lexer(state, deep_nesting(), false, false); }
void nesting_memchr(benchmark::State& state) { run_memchr(state, deep_nesting()); }

// The 100 MB input against ten scans of the 10 MB corpus: the rate holds when the ratio is ~1.
void file_scan(benchmark::State& state) { run_lexer(state, hundred_megabytes(), false, true); }
void file_scan_tenfold(benchmark::State& state) {
  start_runtime_afresh();
  LexerRequest request;
  request.scan = true;
  for (auto _ : state) {
    for (size_t i = 0; i < kFileCopies; ++i) {
      Cell out;
      benchmark::DoNotOptimize(lexer_transcode(out, bytes_of(corpus().qel), request));
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileCopies * corpus().qel.size()));
}

BENCHMARK(string_load)->Name("string-10MB-load/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(string_json)->Name("string-10MB-load/json.loads")->Unit(benchmark::kMillisecond);
BENCHMARK(string_memchr)->Name("string-10MB-load/memchr")->Unit(benchmark::kMillisecond);
BENCHMARK(nesting_load)->Name("nesting-1M-load/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(nesting_memchr)->Name("nesting-1M-load/memchr")->Unit(benchmark::kMillisecond);
BENCHMARK(file_scan)->Name("file-100MB-scan/qel")->Unit(benchmark::kMillisecond);
BENCHMARK(file_scan_tenfold)->Name("file-100MB-scan/10MB-ten-times")->Unit(benchmark::kMillisecond);

// --- a console line, prescanned with a tracer (the target is an absolute time) -------------------------

void console_prescan(benchmark::State& state) {
  start_runtime_afresh();
  LexerTracer tracer{[](const LexerTracer&, LexerTraceCall&) { return true; }, make_cell(Type::none),
                     kAllLexerEvents, nullptr};
  LexerRequest request;
  request.prescan = true;
  request.tracer = &tracer;
  for (auto _ : state) {
    Cell out;
    benchmark::DoNotOptimize(lexer_transcode(out, bytes_of(console_line()), request));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(console_line().size()));
}
void console_memchr(benchmark::State& state) { run_memchr(state, console_line()); }

BENCHMARK(console_prescan)->Name("console-line-prescan-traced/qel")->Unit(benchmark::kMicrosecond);
BENCHMARK(console_memchr)->Name("console-line-prescan-traced/memchr")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace qel

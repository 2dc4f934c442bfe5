// JSON and CSV against Python's json and csv modules in the same run: decode and encode of a
// 5 MB array of small objects, 10 MB of numbers, 2 MB of strings with escapes and non-ASCII and
// 5,000-deep nesting (decode only: encoding stops at the cycle stack's 1,000 levels), load-csv
// and to-csv of 100,000 rows of 10 fields, quoted and plain mixed, against csv.reader and
// csv.writer, and /as-records against csv.DictReader. Inputs come from the seeded generators
// below, written once to files that both sides read in their set-up; bytes per second count the
// JSON or CSV text.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "bench/qel-programs.h"
#include "bench/script-peers.h"

namespace qel {
namespace {

// Fixed-seed draws: the same texts on every system.
class Generator {
 public:
  uint32_t pick(uint32_t n) { return random_() % n; }

  std::string word() {
    static constexpr const char* kWords[] = {"alpha", "beta", "gamma", "delta", "caf\xC3\xA9", "na\xC3\xAFve",
                                             "\xE2\x98\xBA", "x", "longer text here", "\xF0\x9F\x98\x80"};
    return kWords[pick(std::size(kWords))];
  }

  // A JSON string with escapes now and then.
  std::string json_string() {
    static constexpr const char* kEscapes[] = {"\\n", "\\t", "\\\"", "\\\\", "\\u00e9", "\\u263A", "\\uD83D\\uDE00"};
    std::string text = "\"" + word();
    for (uint32_t n = pick(3); n > 0; --n) text += kEscapes[pick(std::size(kEscapes))] + word();
    return text + "\"";
  }

  std::string number() {
    switch (pick(3)) {
      case 0: return std::to_string(static_cast<int32_t>(random_()));
      case 1: return std::to_string(pick(1000000)) + "." + std::to_string(pick(1000000));
      default: return std::to_string(pick(1000)) + ".5e-" + std::to_string(pick(30));
    }
  }

 private:
  std::mt19937 random_{20261211};
};

std::string objects_json(size_t bytes) {
  Generator g;
  std::string text = "[";
  for (uint32_t id = 0; text.size() < bytes; ++id) {
    if (id) text += ",";
    text += "{\"id\":" + std::to_string(id) + ",\"name\":" + g.json_string() + ",\"ok\":" + (g.pick(2) ? "true" : "false") +
            ",\"score\":" + g.number() + ",\"tags\":[\"" + g.word() + "\",null]}";
  }
  return text + "]";
}

std::string numbers_json(size_t bytes) {
  Generator g;
  std::string text = "[";
  while (text.size() < bytes) text += (text.size() > 1 ? "," : "") + g.number();
  return text + "]";
}

std::string strings_json(size_t bytes) {
  Generator g;
  std::string text = "[";
  while (text.size() < bytes) text += (text.size() > 1 ? "," : "") + g.json_string();
  return text + "]";
}

std::string nested_json(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

// 100,000 rows of 10 fields: plain words and numbers, and quoted fields holding commas, quotes
// and line breaks.
std::string table_csv() {
  Generator g;
  std::string text;
  for (int row = 0; row < 100000; ++row) {
    for (int field = 0; field < 10; ++field) {
      if (field) text += ",";
      switch (g.pick(4)) {
        case 0: text += "\"" + g.word() + ", \"\"" + g.word() + "\"\"\n" + g.word() + "\""; break;
        case 1: text += g.number(); break;
        default: text += g.word(); break;
      }
    }
    text += "\r\n";
  }
  return text;
}

// The text in a file both sides read; answers its path.
std::string written(const std::string& name, const std::string& text) {
  const std::string path = "/tmp/qel-bench-" + name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

struct Input {
  const char* name;
  std::string (*make)();
  bool encode;
};

const Input kInputs[] = {
    {"json-objects-5MB", [] { return objects_json(5u << 20); }, true},
    {"json-numbers-10MB", [] { return numbers_json(10u << 20); }, true},
    {"json-strings-2MB", [] { return strings_json(2u << 20); }, true},
    {"json-nesting-5000", [] { return nested_json(5000); }, false},
};

void run_qel(benchmark::State& state, const std::string& setup, const std::string& program, size_t bytes) {
  bench_support::run_qel_program(state, setup, program, true);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void run_python(benchmark::State& state, const std::string& setup, const std::string& program, size_t bytes) {
  bench_support::run_python_program(state, setup.c_str(), program.c_str());
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
}

void add(const std::string& name, const std::string& qel_setup, const std::string& qel, const std::string& python_setup,
         const std::string& python, size_t bytes) {
  benchmark::RegisterBenchmark((name + "/qel").c_str(), [=](benchmark::State& s) {
    run_qel(s, qel_setup, qel, bytes);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark((name + "/python3").c_str(), [=](benchmark::State& s) {
    run_python(s, python_setup, python, bytes);
  })->Unit(benchmark::kMillisecond);
}

const bool registered = [] {
  for (const Input& input : kInputs) {
    const std::string text = input.make();
    const std::string path = written(std::string(input.name) + ".json", text);
    const std::string qel_read = "text: to string! read/binary %" + path;
    const std::string python_read =
        "import json, sys\nsys.setrecursionlimit(100000)\ntext = open('" + path + "', encoding='utf-8').read()";
    add(std::string(input.name) + "-decode", qel_read, "load-json text", python_read, "json.loads(text)", text.size());
    if (input.encode)
      add(std::string(input.name) + "-encode", qel_read + " data: load-json text", "to-json data",
          python_read + "\ndata = json.loads(text)", "json.dumps(data, ensure_ascii=False)", text.size());
  }
  const std::string table = table_csv();
  const std::string path = written("table.csv", table);
  const std::string qel_read = "text: to string! read/binary %" + path;
  const std::string python_read = "import csv, io\ntext = open('" + path + "', encoding='utf-8', newline='').read()";
  add("csv-100k-rows-load", qel_read, "load-csv text", python_read, "list(csv.reader(io.StringIO(text, newline='')))",
      table.size());
  add("csv-100k-rows-load-records", qel_read, "load-csv/as-records/header text", python_read,
      "list(csv.DictReader(io.StringIO(text, newline='')))", table.size());
  add("csv-100k-rows-write", qel_read + " rows: load-csv text", "to-csv rows",
      python_read + "\nrows = list(csv.reader(io.StringIO(text, newline='')))",
      "out = io.StringIO()\ncsv.writer(out).writerows(rows)\nout.getvalue()", table.size());
  return true;
}();

}  // namespace
}  // namespace qel

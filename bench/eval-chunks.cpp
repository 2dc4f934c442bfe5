// Interpreting chunks of code: a block of 1,000 calls of a two-argument function, 1,000
// assignments of a sum, and 1,000 calls of an action, evaluated as a whole; against Python 3
// exec of a compiled chunk and Lua 5.4 running a loaded chunk of the same 1,000 lines.
#include "bench/script-peers.h"  // first: it includes Python.h

#include <benchmark/benchmark.h>

#include <string>

#include "evaluator/function.h"
#include "evaluator/interpreter.h"
#include "evaluator/native-table.h"
#include "runtime/action-entries.h"
#include "runtime/boot-image.h"
#include "runtime/call-stack.h"
#include "runtime/contexts.h"
#include "runtime/datatype-registry.h"
#include "runtime/root-block.h"
#include "runtime/series.h"
#include "runtime/startup.h"
#include "runtime/symbols.h"
#include "runtime/value-stack.h"

namespace qel {
namespace {

constexpr int kLines = 1000;

struct Chunk {
  const char* qel;     // one line of each language, repeated kLines times
  const char* python;
  const char* lua;
};
constexpr Chunk kCalls{"f 1 2", "f(1, 2)\n", "f(1,2)\n"};
constexpr Chunk kSums{"x: a + b", "x = a + b\n", "x = a + b\n"};
constexpr Chunk kAbsolute{"absolute -3", "abs(-3)\n", "math.abs(-3)\n"};

Cell word(const char* name, Type type = Type::word) {
  Cell cell = context_add_word(symbol_intern_cstring(name), global_context());
  set_value_type_byte(cell, type);
  return cell;
}
Cell integer(int32_t n) { return make_cell(Type::integer, 0, static_cast<uint32_t>(n)); }

// The cells of one qel line (the three lines above only).
void append_line(NodeId block, const Chunk& chunk) {
  if (&chunk == &kCalls) {
    for (const Cell& cell : {word("f"), integer(1), integer(2)}) *series_append_fresh_slot(block) = cell;
  } else if (&chunk == &kSums) {
    for (const Cell& cell : {word("x", Type::set_word), word("a"), word("+"), word("b")})
      *series_append_fresh_slot(block) = cell;
  } else {
    for (const Cell& cell : {word("absolute"), integer(-3)}) *series_append_fresh_slot(block) = cell;
  }
}

// A runtime with the evaluator's values, f, a and b defined, and the chunk as a rooted block.
Cell prepare(const Chunk& chunk) {
  restart_with_datatypes();
  init_native_entries();
  decode_linked_boot_image();
  NodeId spec = new_cell_series(2);
  *series_append_fresh_slot(spec) = word("a");
  *series_append_fresh_slot(spec) = word("b");
  NodeId body = new_cell_series(1);
  *series_append_fresh_slot(body) = word("a");
  Cell f = word("f");
  word_set(f, function_value_build(make_cell(Type::block, 0, spec), make_cell(Type::block, 0, body), 0));
  Cell a = word("a"), b = word("b");
  word_set(a, integer(1));
  word_set(b, integer(2));
  NodeId block = new_cell_series(kLines * 4);
  for (int i = 0; i < kLines; ++i) append_line(block, chunk);
  const Cell code = make_cell(Type::block, 0, block);
  root_slot_append(code);
  stack_open_native_frame(word("bench"));
  return code;
}

void run_qel(benchmark::State& state, const Chunk& chunk) {
  const Cell code = prepare(chunk);
  for (auto _ : state) {
    if (!eval_block(code, false).ok()) state.SkipWithError("exit");
    stack_drop(1);
  }
}

// The chunk repeated kLines times in a peer's language.
std::string repeated(const char* line) {
  std::string text;
  for (int i = 0; i < kLines; ++i) text += line;
  return text;
}

void run_python(benchmark::State& state, const Chunk& chunk) {
  bench_support::run_python_program(state, "def f(a, b):\n    return a\na = 1\nb = 2\n",
                                    repeated(chunk.python).c_str());
}

void run_lua(benchmark::State& state, const Chunk& chunk) {
  bench_support::run_lua_program(state, "function f(a, b) return a end a = 1 b = 2", repeated(chunk.lua).c_str());
}

const bool registered = [] {
  struct Case {
    const char* name;
    const Chunk* chunk;
  };
  for (const Case& c : {Case{"call-chunk", &kCalls}, Case{"sum-chunk", &kSums}, Case{"absolute-chunk", &kAbsolute}}) {
    const std::string name = c.name;
    const Chunk* chunk = c.chunk;
    benchmark::RegisterBenchmark((name + "/qel").c_str(), [chunk](benchmark::State& s) { run_qel(s, *chunk); });
    benchmark::RegisterBenchmark((name + "/python").c_str(), [chunk](benchmark::State& s) { run_python(s, *chunk); });
    benchmark::RegisterBenchmark((name + "/lua").c_str(), [chunk](benchmark::State& s) { run_lua(s, *chunk); });
  }
  return true;
}();

}  // namespace
}  // namespace qel

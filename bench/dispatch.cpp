// Calls and exits on the language stacks against their nearest peers: a native action call
// against Lua's call of a C function, break through three frames against a C++ throw, a body
// left by return against the same body ending normally, and action lookup against a virtual call.
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include "runtime/action-entries.h"
#include "runtime/action-lookup.h"
#include "runtime/call-stack.h"
#include "runtime/datatype-registry.h"
#include "runtime/exits.h"
#include "runtime/value-stack.h"

namespace {

using namespace qel;

constexpr Cell kWord = make_cell(Type::word, 0, 1, 0xFFFFFFFF);
constexpr Cell integer(int32_t value) { return make_cell(Type::integer, 0, static_cast<uint32_t>(value)); }

// integer! add as a self action: the sum into the first argument.
void add_integers() { value_stack.base[0].w2 += value_stack.base[1].w2; }

void register_integer() {
  datatype_tables_init();
  register_datatype(Type::integer, Type::none_id, "integer!", ActionRow().set<Act::Add>(add_integers));
  init_action_entries();
  init_stacks();
}

// --- native call ----------------------------------------------------------------------------------

void native_call_qel(benchmark::State& state) {
  register_integer();
  ActionEntry add = action_entry(Act::Add);
  int32_t sum = 0;
  for (auto _ : state) {
    stack_open_native_frame(kWord);
    stack_push_value(integer(sum));
    stack_push_value(integer(1));
    add(nullptr);
    stack_close_frame();
    sum = static_cast<int32_t>(stack_last_value()->w2);
    stack_drop(1);
  }
  benchmark::DoNotOptimize(sum);
}

int lua_add(lua_State* lua) {
  lua_pushinteger(lua, lua_tointeger(lua, 1) + lua_tointeger(lua, 2));
  return 1;
}

void native_call_lua(benchmark::State& state) {
  lua_State* lua = luaL_newstate();
  lua_Integer sum = 0;
  for (auto _ : state) {
    lua_pushcfunction(lua, lua_add);
    lua_pushinteger(lua, sum);
    lua_pushinteger(lua, 1);
    lua_call(lua, 2, 1);
    sum = lua_tointeger(lua, -1);
    lua_pop(lua, 1);
  }
  benchmark::DoNotOptimize(sum);
  lua_close(lua);
}

// --- break through three frames -------------------------------------------------------------------

[[gnu::noinline]] Status break_level(int level) {
  stack_open_native_frame(kWord);
  stack_push_value(integer(level));
  if (level == 3) return unwind_break(true, false);
  QEL_TRY(break_level(level + 1));
  stack_close_frame();
  return {};
}

void break_three_frames_qel(benchmark::State& state) {
  register_integer();
  for (auto _ : state) {
    stack_open_loop_frame(kWord);
    Caught caught = catch_site(kThrowBreak, [] { return break_level(1); });
    benchmark::DoNotOptimize(caught.taken);
    stack_close_frame_drop();
  }
}

struct BreakSignal {
  int value;
};

[[gnu::noinline]] void throw_level(int level) {
  stack_open_native_frame(kWord);
  stack_push_value(integer(level));
  if (level == 3) throw BreakSignal{level};
  throw_level(level + 1);
  stack_close_frame();
}

void break_three_frames_cpp_throw(benchmark::State& state) {
  register_integer();
  for (auto _ : state) {
    stack_open_loop_frame(kWord);
    uint32_t depth = call_stack_depth();
    try {
      throw_level(1);
    } catch (const BreakSignal& signal) {
      stack_pop_frames_to(depth);
      benchmark::DoNotOptimize(signal.value);
    }
    stack_close_frame_drop();
  }
}

// --- a body left by return ------------------------------------------------------------------------

// A function body of three pushes, left by return or by its end.
template <bool kReturn>
[[gnu::noinline]] Status body(int32_t value) {
  stack_open_body_frame(kWord, 0);
  stack_push_value(integer(value));
  stack_push_value(integer(value + 1));
  stack_push_value(integer(value + 2));
  if constexpr (kReturn) {
    stack_open_native_frame(kWord);
    stack_push_value(integer(value));
    return unwind_exit(true);
  } else {
    stack_open_native_frame(kWord);
    stack_push_value(integer(value));
    stack_close_frame_copy();
    stack_close_frame_copy();
    return {};
  }
}

uint32_t* no_context(NodeId) {
  static uint32_t values;
  return &values;
}

template <bool kReturn>
void body_call(benchmark::State& state) {
  register_integer();
  set_context_values_slot(no_context);
  int32_t value = 0;
  for (auto _ : state) {
    stack_open_native_frame(kWord);
    Caught caught = catch_site(kThrowReturn, [&] { return body<kReturn>(++value); });
    if (caught.taken) stack_close_frame_copy();  // the body frame is the current one
    stack_close_frame_copy();
    benchmark::DoNotOptimize(*stack_last_value());
    stack_drop(1);
  }
}

// --- action lookup and call -------------------------------------------------------------------------

void negate_integer(Cell& number) { number.w2 = 0 - number.w2; }

void action_lookup_qel(benchmark::State& state) {
  datatype_tables_init();
  register_datatype(Type::integer, Type::none_id, "integer!", ActionRow().set<Act::Negate>(negate_integer));
  Cell number = integer(5);
  for (auto _ : state) {
    benchmark::DoNotOptimize(number);
    lookup_action_for_value<Act::Negate>(number)(number);
  }
  benchmark::DoNotOptimize(number);
}

// Two kinds of value, so the call stays a real virtual call (no speculation on the only one);
// the functions are not inlined, as a datatype's action is not.
struct Value {
  virtual ~Value() = default;
  virtual void negate() = 0;
};
struct Integer final : Value {
  int32_t number = 5;
  [[gnu::noinline]] void negate() override { number = -number; }
};
struct Decimal final : Value {
  double number = 5;
  [[gnu::noinline]] void negate() override { number = -number; }
};

volatile bool decimal_kind = false;

[[gnu::noinline]] Value* make_value() {
  if (decimal_kind) return new Decimal;
  return new Integer;
}

void action_lookup_virtual(benchmark::State& state) {
  Value* value = make_value();
  for (auto _ : state) {
    benchmark::DoNotOptimize(value);
    value->negate();
  }
  benchmark::DoNotOptimize(value);
  delete value;
}

const bool registered = [] {
  benchmark::RegisterBenchmark("native-call/qel", native_call_qel);
  benchmark::RegisterBenchmark("native-call/lua", native_call_lua);
  benchmark::RegisterBenchmark("break-three-frames/qel", break_three_frames_qel);
  benchmark::RegisterBenchmark("break-three-frames/cpp-throw", break_three_frames_cpp_throw);
  benchmark::RegisterBenchmark("body-left-by-return/qel", body_call<true>);
  benchmark::RegisterBenchmark("body-left-by-return/normal-end", body_call<false>);
  benchmark::RegisterBenchmark("action-lookup/qel", action_lookup_qel);
  benchmark::RegisterBenchmark("action-lookup/virtual", action_lookup_virtual);
  return true;
}();

}  // namespace

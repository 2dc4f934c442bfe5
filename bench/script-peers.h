// script-peers.h: timing a program in the embedded peers, Python 3 and Lua 5.4: the set-up runs
// once with global variables, then each benchmark iteration runs the compiled program.
#pragma once

#include <Python.h>
#include <benchmark/benchmark.h>

#include <lua.hpp>

namespace qel::bench_support {

inline void run_python_program(benchmark::State& state, const char* setup, const char* program) {
  Py_Initialize();
  PyObject* globals = PyDict_New();
  PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
  PyObject* defined = PyRun_String(setup, Py_file_input, globals, globals);
  Py_XDECREF(defined);
  PyObject* compiled = Py_CompileString(program, "<program>", Py_file_input);
  for (auto _ : state) {
    PyObject* result = PyEval_EvalCode(compiled, globals, globals);
    if (!result) state.SkipWithError("python");
    Py_XDECREF(result);
  }
  Py_DECREF(compiled);
  Py_DECREF(globals);
}

inline void run_lua_program(benchmark::State& state, const char* setup, const char* program) {
  lua_State* lua = luaL_newstate();
  luaL_openlibs(lua);
  luaL_dostring(lua, setup);
  luaL_loadstring(lua, program);
  for (auto _ : state) {
    lua_pushvalue(lua, -1);
    if (lua_pcall(lua, 0, 0, 0) != LUA_OK) state.SkipWithError("lua");
  }
  lua_close(lua);
}

}  // namespace qel::bench_support

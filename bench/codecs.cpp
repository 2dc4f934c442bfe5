// Base codec benchmarks against embedded Python in the same run: base 64 of 100 MB each way
// against binascii.b2a_base64 / a2b_base64, base 16 against binascii.hexlify / unhexlify, and
// base 58 of 64 KB each way against the base58 module. Each side makes its output anew on every
// iteration (ours into a fresh buffer of the codec's announced size, as a binary or string is).
#include <Python.h>
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "datatypes/series/base-codecs.h"

namespace qel {
namespace {

constexpr size_t kLargeBytes = size_t{100} << 20;
constexpr size_t kBase58Bytes = size_t{64} << 10;

// Bytes of a fixed pseudo-random stream, the same on every run.
const std::string& input_bytes(size_t size) {
  static std::string bytes;
  if (bytes.size() >= size) return bytes;
  bytes.resize(size);
  uint32_t state = 2463534242u;
  for (char& b : bytes) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    b = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::span<const uint8_t> span_of(std::string_view text, size_t size) {
  return {reinterpret_cast<const uint8_t*>(text.data()), size};
}

// The encoded text of the first `size` input bytes.
std::string encoded_input(int32_t base, size_t size) {
  std::string text(base_encoded_size(base, size), '\0');
  uint8_t* end = base_encode(base, span_of(input_bytes(size), size), reinterpret_cast<uint8_t*>(text.data()));
  text.resize(static_cast<size_t>(end - reinterpret_cast<uint8_t*>(text.data())));
  return text;
}

void encode_qel(benchmark::State& state, int32_t base, size_t size) {
  std::span<const uint8_t> bytes = span_of(input_bytes(size), size);
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> out(new uint8_t[base_encoded_size(base, size)]);
    benchmark::DoNotOptimize(base_encode(base, bytes, out.get()));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

void decode_qel(benchmark::State& state, int32_t base, size_t size) {
  std::string text = encoded_input(base, size);
  std::span<const uint8_t> units = span_of(text, text.size());
  for (auto _ : state) {
    std::unique_ptr<uint8_t[]> out(new uint8_t[base_decoded_capacity(base, units.size())]);
    std::optional<size_t> n = base_decode_units(base, units, out.get());
    if (!n || *n != size) state.SkipWithError("the decode differs");
    benchmark::DoNotOptimize(out.get());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * size));
}

// A Python function by module and name; the interpreter starts on first use.
PyObject* python_function(const char* module_name, const char* name) {
  if (!Py_IsInitialized()) Py_Initialize();
  PyObject* module = PyImport_ImportModule(module_name);
  if (!module) return nullptr;
  PyObject* function = PyObject_GetAttrString(module, name);
  Py_DECREF(module);
  return function;
}

// Calls the Python function on a bytes object of the payload (with newline=False for b2a_base64).
void run_python(benchmark::State& state, const char* module_name, const char* name, const std::string& payload,
                size_t processed) {
  PyObject* function = python_function(module_name, name);
  if (!function) {
    PyErr_Clear();
    state.SkipWithError("the Python module is not installed");
    return;
  }
  PyObject* argument = PyBytes_FromStringAndSize(payload.data(), static_cast<Py_ssize_t>(payload.size()));
  PyObject* args = PyTuple_Pack(1, argument);
  PyObject* keywords = nullptr;
  if (std::string_view(name) == "b2a_base64") {
    keywords = PyDict_New();
    PyDict_SetItemString(keywords, "newline", Py_False);
  }
  for (auto _ : state) {
    PyObject* result = PyObject_Call(function, args, keywords);
    if (!result) {
      PyErr_Clear();
      state.SkipWithError("the Python call failed");
      break;
    }
    Py_DECREF(result);
  }
  Py_XDECREF(keywords);
  Py_DECREF(args);
  Py_DECREF(argument);
  Py_DECREF(function);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * processed));
}

void encode_python(benchmark::State& state, const char* module_name, const char* name, size_t size) {
  run_python(state, module_name, name, input_bytes(size).substr(0, size), size);
}

void decode_python(benchmark::State& state, const char* module_name, const char* name, int32_t base, size_t size) {
  std::string text = encoded_input(base, size);
  if (base == 16) {  // unhexlify reads what hexlify writes: lower case
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'F' ? c + 32 : c);
  }
  run_python(state, module_name, name, text, size);
}

// Registers every case with its peer.
int register_cases() {
  struct Codec {
    const char* name;
    int32_t base;
    size_t size;
    const char* module;
    const char* encoder;
    const char* decoder;
  };
  const Codec codecs[] = {{"base64", 64, kLargeBytes, "binascii", "b2a_base64", "a2b_base64"},
                          {"base16", 16, kLargeBytes, "binascii", "hexlify", "unhexlify"},
                          {"base58", 58, kBase58Bytes, "base58", "b58encode", "b58decode"}};
  for (const Codec& c : codecs) {
    std::string encode = std::string(c.name) + "-encode/", decode = std::string(c.name) + "-decode/";
    std::string peer = std::string(c.module) + "-" + c.encoder, decode_peer = std::string(c.module) + "-" + c.decoder;
    benchmark::RegisterBenchmark((encode + "qel").c_str(), encode_qel, c.base, c.size)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((encode + peer).c_str(), encode_python, c.module, c.encoder, c.size)
        ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((decode + "qel").c_str(), decode_qel, c.base, c.size)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark((decode + decode_peer).c_str(), decode_python, c.module, c.decoder, c.base, c.size)
        ->Unit(benchmark::kMillisecond);
  }
  return 0;
}

const int registered = register_cases();

}  // namespace
}  // namespace qel

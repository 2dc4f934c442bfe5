// Compression benchmarks against the reference zlib library in the same run, over corpora made
// or found on this machine (Qel-like text, JSON, a licence text, this program's own ELF file,
// random bytes, byte runs, 100 MB of them mixed):
// - inflate of zlib level-6 streams and of our own streams, against zlib's uncompress;
// - deflate against zlib's raw deflate at level 1, with our output size over zlib's at levels
//   1, 6 and 9 as counters (the fixed-code encoder is expected near 1.5 times level 6);
// - the runtime's LZ77 format, encode and decode, with zlib level 1 and inflate as reference;
// - `decompress` end to end through the evaluator (the counting pass included) against Python's
//   zlib.decompress of the same level-6 stream.
// Each side writes into a buffer made once, outside the timed loop.
#include <Python.h>
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "bench/qel-programs.h"
#include "loader/compression/deflate.h"
#include "loader/compression/lz77.h"
#include "loader/compression/zlib-framing.h"

namespace qel {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr size_t kCorpusBytes = size_t{8} << 20;
constexpr size_t kMixedBytes = size_t{100} << 20;

// A fixed pseudo-random stream, the same on every run.
struct Random {
  uint32_t state = 2463534242u;
  uint32_t next() {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
  }
  size_t below(size_t n) { return next() % n; }
};

Bytes text_bytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes qel_like_text() {
  static const char* const kWords[] = {"func", "either", "append", "copy", "foreach", "item", "block", "length?",
                                       "print", "reduce", "value", "series", "if", "none", "true", "make"};
  Random random;
  std::string text;
  while (text.size() < kCorpusBytes) {
    text += std::string(2 * random.below(4), ' ') + kWords[random.below(16)] + ": " + kWords[random.below(16)] + " [";
    for (size_t n = random.below(6); n > 0; --n) text += std::string(kWords[random.below(16)]) + " " + std::to_string(random.below(1000)) + " ";
    text += "\"text " + std::to_string(random.below(100)) + "\"]\n";
  }
  return text_bytes(text);
}

Bytes json_text() {
  Random random;
  std::string text = "[";
  for (int id = 0; text.size() < kCorpusBytes; ++id)
    text += "{\"id\": " + std::to_string(id) + ", \"name\": \"item " + std::to_string(random.below(5000)) +
            "\", \"price\": " + std::to_string(random.below(100000) / 100.0) + ", \"tags\": [\"a\", \"b\"], \"ok\": " +
            (random.below(2) ? "true" : "false") + "},\n";
  return text_bytes(text + "{}]");
}

Bytes file_bytes(const char* path) {
  std::ifstream file(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

Bytes random_bytes() {
  Random random;
  Bytes bytes(kCorpusBytes);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random.next() >> 24);
  return bytes;
}

Bytes byte_runs() {
  Random random;
  Bytes bytes;
  while (bytes.size() < kCorpusBytes) bytes.insert(bytes.end(), 1 + random.below(1000), static_cast<uint8_t>(random.next()));
  return bytes;
}

const std::map<std::string, Bytes>& corpora() {
  static const std::map<std::string, Bytes> made = [] {
    std::map<std::string, Bytes> all = {{"qel-text", qel_like_text()},
                                        {"json", json_text()},
                                        {"licence", file_bytes("/usr/share/common-licenses/GPL-3")},
                                        {"elf", file_bytes("/proc/self/exe")},
                                        {"random", random_bytes()},
                                        {"runs", byte_runs()}};
    Bytes mixed;
    for (auto part = all.begin(); mixed.size() < kMixedBytes; part = std::next(part) == all.end() ? all.begin() : std::next(part))
      mixed.insert(mixed.end(), part->second.begin(), part->second.end());
    all["mixed-100MB"] = std::move(mixed);
    return all;
  }();
  return made;
}

// zlib's stream of the data: zlib framing (window bits 15) or raw (-15) at the level.
Bytes zlib_stream(const Bytes& data, int level, int window_bits) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, window_bits, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, data.size()));
  stream.next_in = const_cast<Bytef*>(data.data());
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  return out;
}

Bytes our_zlib_stream(const Bytes& data) {
  Bytes out(data.size() + data.size() / 4 + 64);
  int32_t size = static_cast<int32_t>(out.size());
  zlib_encode(out.data(), size, data.data(), static_cast<int32_t>(data.size()));
  out.resize(static_cast<size_t>(size));
  return out;
}

void set_bytes(benchmark::State& state, size_t per_iteration) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * per_iteration));
}

void inflate_qel(benchmark::State& state, const Bytes* data, Bytes stream) {
  Bytes out(data->size());
  for (auto _ : state) {
    int32_t size = static_cast<int32_t>(out.size());
    if (zlib_decode(out.data(), size, stream.data(), static_cast<int32_t>(stream.size())) != CodecResult::done)
      state.SkipWithError("the stream did not decode");
  }
  set_bytes(state, data->size());
}

void inflate_zlib(benchmark::State& state, const Bytes* data, Bytes stream) {
  Bytes out(data->size());
  for (auto _ : state) {
    uLongf size = out.size();
    if (uncompress(out.data(), &size, stream.data(), stream.size()) != Z_OK) state.SkipWithError("the stream did not decode");
  }
  set_bytes(state, data->size());
}

void deflate_qel(benchmark::State& state, const Bytes* data) {
  Bytes out(data->size() + data->size() / 4 + 64);
  int32_t size = 0;
  for (auto _ : state) {
    size = static_cast<int32_t>(out.size());
    deflate_encode(out.data(), size, data->data(), static_cast<int32_t>(data->size()));
  }
  set_bytes(state, data->size());
  for (int level : {1, 6, 9})
    state.counters["size/zlib-" + std::to_string(level)] = static_cast<double>(size) / zlib_stream(*data, level, -15).size();
}

void deflate_zlib(benchmark::State& state, const Bytes* data, int level) {
  z_stream stream{};
  deflateInit2(&stream, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  Bytes out(deflateBound(&stream, data->size()));
  for (auto _ : state) {
    deflateReset(&stream);
    stream.next_in = const_cast<Bytef*>(data->data());
    stream.avail_in = static_cast<uInt>(data->size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
  }
  deflateEnd(&stream);
  set_bytes(state, data->size());
}

void lz77_encode_qel(benchmark::State& state, const Bytes* data) {
  Bytes out(data->size());
  int32_t size = 0;
  for (auto _ : state) size = compress_bytes(data->data(), static_cast<int32_t>(data->size()), out.data());
  set_bytes(state, data->size());
  state.counters["size/input"] = size < 0 ? 1.0 : static_cast<double>(size) / data->size();
}

void lz77_decode_qel(benchmark::State& state, const Bytes* data) {
  Bytes packed(data->size());
  int32_t size = compress_bytes(data->data(), static_cast<int32_t>(data->size()), packed.data());
  if (size < 0) {
    state.SkipWithError("the data does not shrink");
    return;
  }
  packed.resize(static_cast<size_t>(size));
  for (auto _ : state)
    if (!decompress_bytes(packed)) state.SkipWithError("the stream did not decode");
  set_bytes(state, data->size());
}

// The level-6 zlib stream of the corpus in a file, for the evaluator to read and Python to get.
std::string stream_file(const std::string& name, const Bytes& stream) {
  std::string path = "/tmp/qel-bench-compress-" + name + ".z";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), static_cast<std::streamsize>(stream.size()));
  return path;
}

void decompress_native(benchmark::State& state, const Bytes* data, std::string path) {
  bench_support::run_qel_program(state, "data: read/binary %" + path, "decompress data 'zlib");
  set_bytes(state, data->size());
}

void decompress_python(benchmark::State& state, const Bytes* data, Bytes stream) {
  if (!Py_IsInitialized()) Py_Initialize();
  PyObject* module = PyImport_ImportModule("zlib");
  PyObject* function = PyObject_GetAttrString(module, "decompress");
  PyObject* argument = PyBytes_FromStringAndSize(reinterpret_cast<const char*>(stream.data()), static_cast<Py_ssize_t>(stream.size()));
  PyObject* args = PyTuple_Pack(1, argument);
  for (auto _ : state) Py_XDECREF(PyObject_Call(function, args, nullptr));
  Py_DECREF(args);
  Py_DECREF(argument);
  Py_DECREF(function);
  Py_DECREF(module);
  set_bytes(state, data->size());
}

int register_cases() {
  for (const auto& [name, data] : corpora()) {
    const Bytes* corpus = &data;
    Bytes level6 = zlib_stream(data, 6, 15);
    Bytes ours = our_zlib_stream(data);
    auto add = [](const std::string& label, auto&&... args) {
      benchmark::RegisterBenchmark(label.c_str(), args...)->Unit(benchmark::kMillisecond);
    };
    add("inflate-zlib6/" + name + "/qel", inflate_qel, corpus, level6);
    add("inflate-zlib6/" + name + "/zlib", inflate_zlib, corpus, level6);
    add("inflate-ours/" + name + "/qel", inflate_qel, corpus, ours);
    add("inflate-ours/" + name + "/zlib", inflate_zlib, corpus, ours);
    add("deflate/" + name + "/qel", deflate_qel, corpus);
    add("deflate/" + name + "/zlib-level-1", deflate_zlib, corpus, 1);
    add("lz77-encode/" + name + "/qel", lz77_encode_qel, corpus);
    add("lz77-encode/" + name + "/zlib-level-1", deflate_zlib, corpus, 1);
    add("lz77-decode/" + name + "/qel", lz77_decode_qel, corpus);
    add("lz77-decode/" + name + "/zlib-inflate", inflate_zlib, corpus, level6);
    if (name == "qel-text" || name == "json") {
      add("decompress/" + name + "/qel", decompress_native, corpus, stream_file(name, level6));
      add("decompress/" + name + "/python-zlib", decompress_python, corpus, level6);
    }
  }
  return 0;
}

const int registered = register_cases();

}  // namespace
}  // namespace qel

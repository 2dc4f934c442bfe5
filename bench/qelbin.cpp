// The serialized-value codec against Python 3's marshal on the same data: decoding and encoding
// a block of about 10 MB of mixed values (words, integers, floats, strings, nested blocks)
// against marshal.loads and marshal.dumps of the same lists, ints, floats and strs (targets:
// decode at least 1.0x, encode at least 0.7x marshal's speed). Beside them, for scale: memcpy of
// the image's bytes and the text road (transcode of the molded block; mold). Then decoding a
// 250 KB boot image of source-like modules against the wall time of `python3 -c pass` (target
// at most 0.1x). Collections between iterations are not timed; Python frees its results in time.
#include "bench/script-peers.h"  // first: it includes Python.h

#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <string>
#include <vector>

#include "bench/qel-programs.h"
#include "datatypes/series/block-core.h"
#include "evaluator/boot-source.h"
#include "loader/qelbin/qelbin.h"
#include "runtime/collector.h"
#include "runtime/series.h"

extern char** environ;

namespace qel {
namespace {

using namespace bench_support;

// Every value its own: distinct strings and blocks, so neither side writes back-references.
constexpr const char* kQelData =
    "b: make block! 150000 repeat i 150000 [append/only b reduce ['alpha i i * 1.5 append copy {some text } i "
    "reduce ['beta i + 1 reduce [append copy {nested } i i * 0.25]]]]";
constexpr const char* kPythonData =
    "import marshal\n"
    "x = [['alpha', i, i * 1.5, 'some text %d' % i, ['beta', i + 1, ['nested %d' % i, i * 0.25]]]"
    " for i in range(1, 150001)]\n"
    "d = marshal.dumps(x)\n";

// A fresh runtime holding the data block as `b`.
Cell data_block() {
  start_bench_runtime(false);
  evaluate(load_rooted(kQelData));
  return *global_value_cell(symbol_intern_cstring("b"));
}

std::vector<uint8_t> bytes_of(const Cell& binary) {
  SeriesBuffer* buffer = series_buffer(binary.w2);
  return {buffer->head_address() + binary.w1, buffer->tail_address()};
}

// Lets the collector take what an iteration made, outside the timing.
void collect_untimed(benchmark::State& state) {
  state.PauseTiming();
  collect_now();
  state.ResumeTiming();
}

// Decodes the image into a fresh rooted block each iteration, in codec mode or as the boot.
void decode_image(benchmark::State& state, const std::vector<uint8_t>& image, bool codec_mode) {
  const uint32_t slot = root_slot_append(make_cell(Type::none));
  for (auto _ : state) {
    Cell block;
    block_make_at(block, 1);
    *root_slot(slot) = block;
    qelbin_decode(image, block, codec_mode, make_cell(Type::none));
    *root_slot(slot) = make_cell(Type::none);
    collect_untimed(state);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * image.size()));
}

void decode_qel(benchmark::State& state) {
  const std::vector<uint8_t> image = bytes_of(qelbin_encode_compact(data_block()));
  state.counters["image-bytes"] = static_cast<double>(image.size());
  decode_image(state, image, true);
}

void encode_qel(benchmark::State& state) {
  const Cell block = data_block();
  for (auto _ : state) {
    benchmark::DoNotOptimize(qelbin_encode_compact(block));
    collect_untimed(state);
  }
}

void copy_bytes(benchmark::State& state) {
  const std::vector<uint8_t> image = bytes_of(qelbin_encode_compact(data_block()));
  for (auto _ : state) {
    std::vector<uint8_t> copy(image.size());
    std::memcpy(copy.data(), image.data(), image.size());
    benchmark::DoNotOptimize(copy.data());
  }
}

void transcode_text(benchmark::State& state) {
  run_qel_program(state, (std::string(kQelData) + " t: mold b").c_str(), "transcode t");
}
void mold_block(benchmark::State& state) { run_qel_program(state, kQelData, "mold b"); }
void marshal_loads(benchmark::State& state) { run_python_program(state, kPythonData, "marshal.loads(d)\n"); }
void marshal_dumps(benchmark::State& state) { run_python_program(state, kPythonData, "marshal.dumps(x)\n"); }

// The library's modules, repeated until their image reaches 250 KB.
std::vector<uint8_t> source_like_image() {
  const std::string manifest = QEL_SOURCE_DIR "/boot/manifest";
  const BootSources sources = read_boot_sources(QEL_SOURCE_DIR, std::span(&manifest, 1));
  const std::vector<BootModule> once = sources.modules();
  std::vector<BootModule> modules = once;
  std::vector<uint8_t> image = boot_image_from_sources(modules);
  while (image.size() < (size_t{250} << 10)) {
    modules.insert(modules.end(), once.begin(), once.end());
    image = boot_image_from_sources(modules);
  }
  return image;
}

void decode_boot_image(benchmark::State& state) {
  start_bench_runtime(false);
  const std::vector<uint8_t> image = source_like_image();
  state.counters["image-bytes"] = static_cast<double>(image.size());
  decode_image(state, image, false);
}

void python_start(benchmark::State& state) {
  char python[] = "python3", flag[] = "-c", program[] = "pass";
  char* argv[] = {python, flag, program, nullptr};
  for (auto _ : state) {
    pid_t child;
    int status = 0;
    if (posix_spawnp(&child, python, nullptr, nullptr, argv, environ) != 0 || waitpid(child, &status, 0) < 0)
      state.SkipWithError("python3 did not start");
  }
}

const bool registered = [] {
  const std::pair<const char*, void (*)(benchmark::State&)> kCases[] = {
      {"decode-10MB/qel", decode_qel},        {"decode-10MB/python3-marshal", marshal_loads},
      {"decode-10MB/memcpy", copy_bytes},     {"decode-10MB/text-road", transcode_text},
      {"encode-10MB/qel", encode_qel},        {"encode-10MB/python3-marshal", marshal_dumps},
      {"encode-10MB/memcpy", copy_bytes},     {"encode-10MB/text-road", mold_block},
      {"boot-image-250KB/qel", decode_boot_image}, {"boot-image-250KB/python3-c-pass", python_start},
  };
  for (const auto& [name, run] : kCases) benchmark::RegisterBenchmark(name, run)->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace qel

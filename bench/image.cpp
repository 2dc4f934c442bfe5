// Image benchmarks over a seeded 4000x3000 image (smooth gradients with noise), in the same run:
// - decode and encode of PNG, JPEG, TIFF and GIF through our codecs, against PIL on the same
//   bytes, and decode against the library driven directly with the same output layout (libpng's
//   simplified reader to BGRA, libjpeg to BGRA, each into fresh uninitialised memory per decode);
//   our decode is a load's whole road, from the bytes to an image! record holding the pixels;
//   the targets are at most 1.15x the library;
// - `foreach` summing the red of 1000x1000 pixels against Python over PIL's getdata() (target 2x),
//   and mold of that image against bytes.hex() of its RGB bytes (target 3x).
#include <Python.h>
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/qel-programs.h"
#include "datatypes/series/image-codecs/image-codecs.h"
#include "datatypes/series/image.h"

namespace qel {
namespace {

constexpr int64_t kWidth = 4000, kHeight = 3000;
constexpr ImageFormat kFormats[] = {ImageFormat::png, ImageFormat::jpeg, ImageFormat::tiff, ImageFormat::gif};
const char* const kFormatNames[] = {"bmp", "png", "gif", "jpeg", "tiff"};
const char* const kPilFormats[] = {"BMP", "PNG", "GIF", "JPEG", "TIFF"};

const std::vector<uint32_t>& source_pixels() {
  static const std::vector<uint32_t> pixels = [] {
    std::vector<uint32_t> all(static_cast<size_t>(kWidth * kHeight));
    uint32_t state = 2463534242u;
    for (int64_t y = 0; y < kHeight; ++y)
      for (int64_t x = 0; x < kWidth; ++x) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        uint32_t noise = state & 0x0F0F0F;
        all[static_cast<size_t>(y * kWidth + x)] =
            0xFF000000u | ((static_cast<uint32_t>(x * 255 / kWidth) << 16 | static_cast<uint32_t>(y * 255 / kHeight) << 8 |
                            static_cast<uint32_t>((x + y) & 0xFF)) ^ noise);
      }
    return all;
  }();
  return pixels;
}

const std::vector<uint8_t>& encoded(ImageFormat format) {
  static std::map<ImageFormat, std::vector<uint8_t>> cache;
  auto& bytes = cache[format];
  if (bytes.empty()) image_encoder(format)(source_pixels().data(), kWidth, kHeight, bytes);
  return bytes;
}

void set_pixels(benchmark::State& state) { state.SetItemsProcessed(state.iterations() * kWidth * kHeight); }

// Each record's arrays are let go at once, as the peers free theirs.
void decode_qel(benchmark::State& state, ImageFormat format) {
  const std::vector<uint8_t>& bytes = encoded(format);
  bench_support::start_bench_runtime(false);
  for (auto _ : state) {
    NodeId record = image_load_from_memory(bytes);
    if (record == 0) state.SkipWithError("decode failed");
    else image_release_bitmaps(record);
  }
  set_pixels(state);
}

void encode_qel(benchmark::State& state, ImageFormat format) {
  for (auto _ : state) {
    std::vector<uint8_t> bytes;
    benchmark::DoNotOptimize(image_encoder(format)(source_pixels().data(), kWidth, kHeight, bytes));
  }
  set_pixels(state);
}

void decode_png_library(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = encoded(ImageFormat::png);
  for (auto _ : state) {
    std::unique_ptr<uint32_t[]> out(new uint32_t[kWidth * kHeight]);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, bytes.data(), bytes.size());
    image.format = PNG_FORMAT_BGRA;
    png_image_finish_read(&image, nullptr, out.get(), 0, nullptr);
  }
  set_pixels(state);
}

void decode_jpeg_library(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = encoded(ImageFormat::jpeg);
  for (auto _ : state) {
    std::unique_ptr<uint32_t[]> out(new uint32_t[kWidth * kHeight]);
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), bytes.size());
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRA;
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
      JSAMPROW row = reinterpret_cast<JSAMPROW>(out.get() + info.output_scanline * info.output_width);
      jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
  }
  set_pixels(state);
}

// Python with PIL, and a function of the given source called on one argument.
PyObject* python_function(const char* source, const char* name) {
  if (!Py_IsInitialized()) Py_Initialize();
  PyObject* globals = PyDict_New();
  PyDict_SetItemString(globals, "__builtins__", PyEval_GetBuiltins());
  Py_XDECREF(PyRun_String(source, Py_file_input, globals, globals));
  PyObject* function = PyDict_GetItemString(globals, name);
  Py_XINCREF(function);
  Py_DECREF(globals);
  return function;
}

void run_python(benchmark::State& state, const char* source, PyObject* argument) {
  PyObject* function = python_function(source, "run");
  if (!function) {
    PyErr_Print();
    state.SkipWithError("no PIL");
    return;
  }
  PyObject* args = PyTuple_Pack(1, argument);
  for (auto _ : state) {
    PyObject* result = PyObject_Call(function, args, nullptr);
    if (!result) PyErr_Print();
    Py_XDECREF(result);
  }
  Py_DECREF(args);
  Py_DECREF(function);
}

PyObject* python_bytes(const std::vector<uint8_t>& bytes) {
  if (!Py_IsInitialized()) Py_Initialize();
  return PyBytes_FromStringAndSize(reinterpret_cast<const char*>(bytes.data()), static_cast<Py_ssize_t>(bytes.size()));
}

void decode_pil(benchmark::State& state, ImageFormat format) {
  PyObject* bytes = python_bytes(encoded(format));
  run_python(state,
             "import io\nfrom PIL import Image\n"
             "def run(b):\n    im = Image.open(io.BytesIO(b)); im.load(); return im.convert('RGBA')\n",
             bytes);
  Py_DECREF(bytes);
  set_pixels(state);
}

void encode_pil(benchmark::State& state, ImageFormat format) {
  std::vector<uint8_t> rgba;
  for (uint32_t p : source_pixels())
    rgba.insert(rgba.end(), {static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p), 255});
  PyObject* bytes = python_bytes(rgba);
  std::string source = std::string("import io\nfrom PIL import Image\nfmt = '") + kPilFormats[static_cast<int>(format)] +
                       "'\ndef run(b):\n    im = Image.frombytes('RGBA', (" + std::to_string(kWidth) + ", " +
                       std::to_string(kHeight) + "), b)\n"
                       "    if fmt in ('JPEG', 'GIF'): im = im.convert('RGB')\n"
                       "    out = io.BytesIO(); im.save(out, fmt, **({'quality': 90} if fmt == 'JPEG' else {})); return out\n";
  run_python(state, source.c_str(), bytes);
  Py_DECREF(bytes);
  set_pixels(state);
}

constexpr const char* kSmallImage = "i: make image! [1000x1000 #{0A0B0C}] s: 0";

void foreach_qel(benchmark::State& state) {
  bench_support::run_qel_program(state, kSmallImage, "s: 0 foreach p i [s: s + p/1]");
}

void foreach_python(benchmark::State& state) {
  PyObject* none = Py_None;
  run_python(state,
             "from PIL import Image\nim = Image.new('RGB', (1000, 1000), (255, 255, 255))\n"
             "im.putpixel((0, 0), (10, 11, 12))\n"
             "def run(_):\n    return sum(p[0] for p in im.getdata())\n",
             none);
}

void mold_qel(benchmark::State& state) { bench_support::run_qel_program(state, kSmallImage, "mold i"); }

void mold_python(benchmark::State& state) {
  run_python(state,
             "from PIL import Image\nim = Image.new('RGB', (1000, 1000), (255, 255, 255))\n"
             "def run(_):\n    return im.tobytes().hex()\n",
             Py_None);
}

int register_cases() {
  auto add = [](const std::string& label, auto&&... args) {
    benchmark::RegisterBenchmark(label.c_str(), args...)->Unit(benchmark::kMillisecond)->Iterations(3);
  };
  for (ImageFormat format : kFormats) {
    const std::string name = kFormatNames[static_cast<int>(format)];
    add("decode/" + name + "/qel", decode_qel, format);
    add("decode/" + name + "/pil", decode_pil, format);
    add("encode/" + name + "/qel", encode_qel, format);
    add("encode/" + name + "/pil", encode_pil, format);
  }
  add("decode/png/libpng", decode_png_library);
  add("decode/jpeg/libjpeg", decode_jpeg_library);
  add("foreach-red-1000x1000/qel", foreach_qel);
  add("foreach-red-1000x1000/python-pil-getdata", foreach_python);
  add("mold-1000x1000/qel", mold_qel);
  add("mold-1000x1000/python-bytes-hex", mold_python);
  return 0;
}

const int registered = register_cases();

}  // namespace
}  // namespace qel

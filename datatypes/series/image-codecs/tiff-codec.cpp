// tiff-codec.cpp: TIFF through libtiff, over memory. Decoding reads the first directory through
// the library's RGBA reader, top-left first: associated alpha is un-premultiplied; unassociated
// alpha is kept exact (the reader would premultiply it, so its table is made the identity).
// Encoding writes 8-bit RGBA with unassociated alpha, LZW. Open options cap every single
// allocation and route the library's messages to silent handlers; no callback throws.
#include <algorithm>
#include <cstring>

#include "datatypes/series/image-codecs/codec-libraries.h"
#include "datatypes/series/image-codecs/image-codecs.h"

namespace qel {

namespace {

constexpr tmsize_t kTiffAllocationCap = tmsize_t{1} << 30;

// The bytes a TIFF is read from or written into.
struct TiffMemory {
  std::span<const uint8_t> input;
  std::vector<uint8_t>* output = nullptr;
  uint64_t at = 0;
  uint64_t size() const { return output ? output->size() : input.size(); }
};

TiffMemory& memory_of(thandle_t handle) { return *static_cast<TiffMemory*>(handle); }

tmsize_t read_memory(thandle_t handle, void* into, tmsize_t n) noexcept {
  TiffMemory& memory = memory_of(handle);
  if (memory.output || memory.at >= memory.input.size() || n < 0) return 0;
  size_t count = std::min<uint64_t>(static_cast<uint64_t>(n), memory.input.size() - memory.at);
  std::memcpy(into, memory.input.data() + memory.at, count);
  memory.at += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t write_memory(thandle_t handle, void* data, tmsize_t n) noexcept {
  TiffMemory& memory = memory_of(handle);
  if (!memory.output || n < 0) return 0;
  try {
    std::vector<uint8_t>& out = *memory.output;
    if (out.size() < memory.at + static_cast<uint64_t>(n)) out.resize(static_cast<size_t>(memory.at + static_cast<uint64_t>(n)));
    std::memcpy(out.data() + memory.at, data, static_cast<size_t>(n));
  } catch (...) {
    return 0;
  }
  memory.at += static_cast<uint64_t>(n);
  return n;
}

toff_t seek_memory(thandle_t handle, toff_t offset, int whence) noexcept {
  TiffMemory& memory = memory_of(handle);
  uint64_t base = whence == SEEK_CUR ? memory.at : whence == SEEK_END ? memory.size() : 0;
  memory.at = base + offset;
  return memory.at;
}

int close_memory(thandle_t) noexcept { return 0; }
toff_t size_of_memory(thandle_t handle) noexcept { return memory_of(handle).size(); }
int map_nothing(thandle_t, void**, toff_t*) noexcept { return 0; }
void unmap_nothing(thandle_t, void*, toff_t) noexcept {}

int silent(TIFF*, void*, const char*, const char*, va_list) noexcept { return 1; }

TIFF* open_memory(TiffMemory& memory, const char* mode) {
  TIFFOpenOptions* options = libtiff.TIFFOpenOptionsAlloc();
  if (!options) return nullptr;
  libtiff.TIFFOpenOptionsSetMaxSingleMemAlloc(options, kTiffAllocationCap);
  libtiff.TIFFOpenOptionsSetErrorHandlerExtR(options, silent, nullptr);
  libtiff.TIFFOpenOptionsSetWarningHandlerExtR(options, silent, nullptr);
  TIFF* tiff = libtiff.TIFFClientOpenExt("memory", mode, &memory, read_memory, write_memory, seek_memory, close_memory,
                                 size_of_memory, map_nothing, unmap_nothing, options);
  libtiff.TIFFOpenOptionsFree(options);
  return tiff;
}

struct TiffCloser {
  TIFF* tiff;
  ~TiffCloser() {
    if (tiff) libtiff.TIFFClose(tiff);
  }
};

// The reader's words hold R in the low byte: R and B change places; associated alpha comes
// back to plain colour.
void to_plain_pixels(PixelWords& pixels, bool associated) {
  for (uint32_t& word : pixels) {
    uint32_t a = word >> 24, r = word & 0xFF, g = word >> 8 & 0xFF, b = word >> 16 & 0xFF;
    if (associated) {
      r = unpremultiply_channel(r, a);
      g = unpremultiply_channel(g, a);
      b = unpremultiply_channel(b, a);
    }
    word = a << 24 | r << 16 | g << 8 | b;
  }
}

bool read_rgba(TIFF* tiff, DecodedImage& image) {
  char message[1024];
  TIFFRGBAImage reader;
  if (!libtiff.TIFFRGBAImageOK(tiff, message) || !libtiff.TIFFRGBAImageBegin(&reader, tiff, 0, message)) return false;
  reader.req_orientation = ORIENTATION_TOPLEFT;
  if (reader.UaToAa)
    for (uint32_t a = 0; a < 256; ++a)
      for (uint32_t v = 0; v < 256; ++v) reader.UaToAa[a << 8 | v] = static_cast<uint8_t>(v);
  const bool associated = reader.alpha == EXTRASAMPLE_ASSOCALPHA;
  bool read = libtiff.TIFFRGBAImageGet(&reader, image.pixels.data(), static_cast<uint32_t>(image.width),
                               static_cast<uint32_t>(image.height)) != 0;
  libtiff.TIFFRGBAImageEnd(&reader);
  if (read) to_plain_pixels(image.pixels, associated);
  return read;
}

bool decode_first_directory(std::span<const uint8_t> bytes, DecodedImage& image) {
  TiffMemory memory{bytes};
  TiffCloser closer{open_memory(memory, "rm")};
  if (!closer.tiff) return false;
  uint32_t width = 0, height = 0;
  if (!libtiff.TIFFGetField(closer.tiff, TIFFTAG_IMAGEWIDTH, &width) || !libtiff.TIFFGetField(closer.tiff, TIFFTAG_IMAGELENGTH, &height))
    return false;
  PixelSink sink = decoded_image_sink(image);
  return sink.allocate(sink.context, width, height) && read_rgba(closer.tiff, image);
}

bool write_fields(TIFF* tiff, int64_t width, int64_t height) {
  uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
  return libtiff.TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(width)) &&
         libtiff.TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height)) &&
         libtiff.TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 8) && libtiff.TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 4) &&
         libtiff.TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB) &&
         libtiff.TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG) &&
         libtiff.TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW) && libtiff.TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, 1, extra) &&
         libtiff.TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, libtiff.TIFFDefaultStripSize(tiff, 0));
}

bool write_rows(TIFF* tiff, const uint32_t* pixels, int64_t width, int64_t height) {
  std::vector<uint8_t> row(static_cast<size_t>(width * 4));
  for (int64_t y = 0; y < height; ++y) {
    for (int64_t x = 0; x < width; ++x) {
      const uint32_t pixel = pixels[y * width + x];
      uint8_t* rgba = row.data() + 4 * x;
      rgba[0] = static_cast<uint8_t>(pixel >> 16);
      rgba[1] = static_cast<uint8_t>(pixel >> 8);
      rgba[2] = static_cast<uint8_t>(pixel);
      rgba[3] = static_cast<uint8_t>(pixel >> 24);
    }
    if (libtiff.TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) != 1) return false;
  }
  return true;
}

}  // namespace

bool tiff_decode(std::span<const uint8_t> bytes, DecodedImage& image) {
  if (!image_codec_missing_library(ImageFormat::tiff) && decode_first_directory(bytes, image)) return true;
  image = DecodedImage{};
  return false;
}

bool tiff_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out) {
  if (image_codec_missing_library(ImageFormat::tiff)) return false;
  out.clear();
  TiffMemory memory{{}, &out};
  TIFF* tiff = open_memory(memory, "w");
  if (!tiff) return false;
  bool written = write_fields(tiff, width, height) && write_rows(tiff, pixels, width, height);
  written = libtiff.TIFFFlush(tiff) == 1 && written;
  libtiff.TIFFClose(tiff);
  return written;
}

}  // namespace qel

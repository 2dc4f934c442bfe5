// gif-codec.cpp: GIF through giflib. Decoding reads up to the first image descriptor: its
// graphic control extension gives the transparent index (alpha 0 over its palette colour), an
// interlaced image is put back in row order, the image lies on the logical screen (pixels it
// does not cover are transparent black). Encoding writes an exact palette for at most 255
// colours, else the library's quantiser; alpha below 128 becomes one transparent index.
#include <algorithm>
#include <cstring>
#include <unordered_map>

#include "datatypes/series/image-codecs/codec-libraries.h"
#include "datatypes/series/image-codecs/image-codecs.h"

namespace qel {

namespace {

struct MemoryReader {
  std::span<const uint8_t> bytes;
  size_t at = 0;
};

int read_from_memory(GifFileType* gif, GifByteType* into, int n) noexcept {
  auto* reader = static_cast<MemoryReader*>(gif->UserData);
  size_t count = std::min(static_cast<size_t>(n), reader->bytes.size() - reader->at);
  std::memcpy(into, reader->bytes.data() + reader->at, count);
  reader->at += count;
  return static_cast<int>(count);
}

// Closes the decoder when the scope ends.
struct DecoderCloser {
  GifFileType* gif;
  ~DecoderCloser() {
    int error = 0;
    if (gif) giflib.DGifCloseFile(gif, &error);
  }
};

// The transparent index a graphic control extension names, and the rest of the extension read.
bool read_extension(GifFileType* gif, int& transparent) {
  int code = 0;
  GifByteType* block = nullptr;
  if (giflib.DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
  if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) transparent = (block[1] & 1) ? block[4] : -1;
  while (block)
    if (giflib.DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
  return true;
}

// Rows of an interlaced image arrive in four passes.
std::vector<int64_t> row_order(int64_t height, bool interlaced) {
  std::vector<int64_t> rows;
  if (!interlaced) {
    for (int64_t y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int64_t y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

bool read_image(GifFileType* gif, int transparent, DecodedImage& image) {
  if (giflib.DGifGetImageDesc(gif) != GIF_OK) return false;
  const GifImageDesc& desc = gif->Image;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (!map || desc.Width <= 0 || desc.Height <= 0 || desc.Left < 0 || desc.Top < 0) return false;
  std::vector<GifPixelType> line(static_cast<size_t>(desc.Width));
  for (int64_t y : row_order(desc.Height, desc.Interlace)) {
    if (giflib.DGifGetLine(gif, line.data(), desc.Width) != GIF_OK) return false;
    const int64_t row = desc.Top + y;
    for (int64_t x = 0; x < desc.Width; ++x) {
      const int index = line[static_cast<size_t>(x)];
      if (index >= map->ColorCount) return false;
      if (row >= image.height || desc.Left + x >= image.width) continue;
      const GifColorType colour = map->Colors[index];
      const uint32_t alpha = index == transparent ? 0 : 0xFF000000u;
      image.pixels[static_cast<size_t>(row * image.width + desc.Left + x)] =
          alpha | uint32_t{colour.Red} << 16 | uint32_t{colour.Green} << 8 | colour.Blue;
    }
  }
  return true;
}

bool decode_first_frame(std::span<const uint8_t> bytes, DecodedImage& image) {
  MemoryReader reader{bytes};
  int error = 0;
  DecoderCloser closer{giflib.DGifOpen(&reader, read_from_memory, &error)};
  GifFileType* gif = closer.gif;
  if (!gif) return false;
  PixelSink sink = decoded_image_sink(image);
  if (!sink.allocate(sink.context, gif->SWidth, gif->SHeight)) return false;
  // The first frame may cover only part of the screen: the rest stays transparent black.
  std::fill(image.pixels.begin(), image.pixels.end(), 0u);
  int transparent = -1;
  for (;;) {
    GifRecordType type;
    if (giflib.DGifGetRecordType(gif, &type) != GIF_OK) return false;
    if (type == IMAGE_DESC_RECORD_TYPE) return read_image(gif, transparent, image);
    if (type == EXTENSION_RECORD_TYPE) {
      if (!read_extension(gif, transparent)) return false;
    } else {
      return false;  // the end, or a record no GIF holds, before any image
    }
  }
}

// --- Encoding -------------------------------------------------------------------------------------

constexpr uint32_t kOpaqueFrom = 128;

int write_to_memory(GifFileType* gif, const GifByteType* data, int n) noexcept {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  try {
    out->insert(out->end(), data, data + n);
  } catch (...) {
    return 0;
  }
  return n;
}

struct Palette {
  std::vector<GifColorType> colours;
  std::vector<GifPixelType> indexes;  // one a pixel
  int transparent = -1;
};

// An exact palette when the opaque colours number at most 255; false otherwise.
bool exact_palette(const uint32_t* pixels, size_t count, Palette& palette) {
  std::unordered_map<uint32_t, GifPixelType> index_of;
  palette.indexes.resize(count);
  for (size_t i = 0; i < count; ++i) {
    if (pixels[i] >> 24 < kOpaqueFrom) continue;
    uint32_t rgb = pixels[i] & 0xFFFFFF;
    auto [at, fresh] = index_of.try_emplace(rgb, static_cast<GifPixelType>(index_of.size()));
    if (fresh) {
      if (index_of.size() > 255) return false;
      palette.colours.push_back({static_cast<GifByteType>(rgb >> 16), static_cast<GifByteType>(rgb >> 8), static_cast<GifByteType>(rgb)});
    }
    palette.indexes[i] = at->second;
  }
  return true;
}

bool quantised_palette(const uint32_t* pixels, int64_t width, int64_t height, bool transparency, Palette& palette) {
  const size_t count = static_cast<size_t>(width * height);
  std::vector<GifByteType> red(count), green(count), blue(count);
  for (size_t i = 0; i < count; ++i) {
    red[i] = static_cast<GifByteType>(pixels[i] >> 16);
    green[i] = static_cast<GifByteType>(pixels[i] >> 8);
    blue[i] = static_cast<GifByteType>(pixels[i]);
  }
  int size = transparency ? 255 : 256;
  palette.colours.assign(256, GifColorType{0, 0, 0});
  palette.indexes.resize(count);
  if (giflib.GifQuantizeBuffer(static_cast<unsigned>(width), static_cast<unsigned>(height), &size, red.data(), green.data(),
                        blue.data(), palette.indexes.data(), palette.colours.data()) != GIF_OK)
    return false;
  palette.colours.resize(static_cast<size_t>(size));
  return true;
}

bool build_palette(const uint32_t* pixels, int64_t width, int64_t height, Palette& palette) {
  const size_t count = static_cast<size_t>(width * height);
  const bool transparency = std::any_of(pixels, pixels + count, [](uint32_t p) { return p >> 24 < kOpaqueFrom; });
  if (!exact_palette(pixels, count, palette)) {
    palette = Palette{};
    if (!quantised_palette(pixels, width, height, transparency, palette)) return false;
  }
  if (transparency) {
    palette.transparent = static_cast<int>(palette.colours.size());
    palette.colours.push_back({0, 0, 0});
    for (size_t i = 0; i < count; ++i)
      if (pixels[i] >> 24 < kOpaqueFrom) palette.indexes[i] = static_cast<GifPixelType>(palette.transparent);
  }
  if (palette.colours.size() < 2) palette.colours.resize(2, GifColorType{0, 0, 0});
  return true;
}

bool write_gif(GifFileType* gif, const Palette& palette, int64_t width, int64_t height) {
  const int bits = giflib.GifBitSize(static_cast<int>(palette.colours.size()));
  ColorMapObject* map = giflib.GifMakeMapObject(1 << bits, palette.colours.data());
  if (!map) return false;
  giflib.EGifSetGifVersion(gif, true);
  bool written = giflib.EGifPutScreenDesc(gif, static_cast<int>(width), static_cast<int>(height), bits, 0, map) == GIF_OK;
  giflib.GifFreeMapObject(map);
  if (written && palette.transparent >= 0) {
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, palette.transparent};
    GifByteType extension[4];
    giflib.EGifGCBToExtension(&control, extension);
    written = giflib.EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
  }
  written = written && giflib.EGifPutImageDesc(gif, 0, 0, static_cast<int>(width), static_cast<int>(height), false, nullptr) == GIF_OK;
  for (int64_t y = 0; written && y < height; ++y)
    written = giflib.EGifPutLine(gif, const_cast<GifPixelType*>(palette.indexes.data()) + y * width, static_cast<int>(width)) == GIF_OK;
  return written;
}

}  // namespace

bool gif_decode(std::span<const uint8_t> bytes, DecodedImage& image) {
  if (!image_codec_missing_library(ImageFormat::gif) && decode_first_frame(bytes, image)) return true;
  image = DecodedImage{};
  return false;
}

bool gif_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out) {
  if (image_codec_missing_library(ImageFormat::gif)) return false;
  Palette palette;
  if (!build_palette(pixels, width, height, palette)) return false;
  out.clear();
  int error = 0;
  GifFileType* gif = giflib.EGifOpen(&out, write_to_memory, &error);
  if (!gif) return false;
  bool written = write_gif(gif, palette, width, height);
  return giflib.EGifCloseFile(gif, &error) == GIF_OK && written;
}

}  // namespace qel

// image-codecs.cpp: the size-checking pixel sink, the codec tables, the sniffing dispatch, the
// C codecs' C++ faces and the fuzzing entries.
#include "datatypes/series/image-codecs/image-codecs.h"

#include <cstdlib>

namespace qel {

namespace {

uint32_t* allocate_decoded(void* context, int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width > kImageMaxSide || height > kImageMaxSide || width * height > kImageMaxPixels)
    return nullptr;
  auto& image = *static_cast<DecodedImage*>(context);
  if (!image.pixels.allocate(static_cast<size_t>(width * height))) return nullptr;
  image.width = width;
  image.height = height;
  return image.pixels.data();
}

// Runs a C decoder once its library is there; a failure leaves the image empty.
bool run_c_decoder(ImageFormat format, int (*decode)(const uint8_t*, size_t, PixelSink*), std::span<const uint8_t> bytes,
                   DecodedImage& image) {
  PixelSink sink = decoded_image_sink(image);
  if (!image_codec_missing_library(format) && decode(bytes.data(), bytes.size(), &sink) == kCodecDone) return true;
  image = DecodedImage{};
  return false;
}

// Runs a C encoder once its library is there and takes its malloc'd bytes over.
bool run_c_encoder(ImageFormat format, int (*encode)(const uint32_t*, int64_t, int64_t, EncodedBytes*),
                   const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out) {
  if (image_codec_missing_library(format)) return false;
  EncodedBytes bytes{nullptr, 0, 0};
  bool done = encode(pixels, width, height, &bytes) == kCodecDone;
  if (done) out.assign(bytes.data, bytes.data + bytes.size);
  std::free(bytes.data);
  return done;
}

struct Codec {
  ImageDecoder decode;
  ImageEncoder encode;
};
// In format-number order.
constexpr Codec kCodecs[] = {
    {bmp_decode, bmp_encode}, {png_decode, png_encode}, {gif_decode, gif_encode},
    {jpeg_decode, jpeg_encode}, {tiff_decode, tiff_encode},
};

template <ImageDecoder Decode>
int fuzz_entry(const uint8_t* data, size_t size) {
  DecodedImage image;
  Decode({data, size}, image);
  return 0;
}

bool decode_any(std::span<const uint8_t> bytes, DecodedImage& image) {
  return image_decode_bytes(bytes, image) == DecodeOutcome::decoded;
}

}  // namespace

PixelSink decoded_image_sink(DecodedImage& image) { return PixelSink{allocate_decoded, &image}; }

bool png_decode(std::span<const uint8_t> bytes, DecodedImage& image) { return run_c_decoder(ImageFormat::png, png_decode_pixels, bytes, image); }
bool jpeg_decode(std::span<const uint8_t> bytes, DecodedImage& image) { return run_c_decoder(ImageFormat::jpeg, jpeg_decode_pixels, bytes, image); }

bool png_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out) {
  return run_c_encoder(ImageFormat::png, png_encode_pixels, pixels, width, height, out);
}
bool jpeg_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out) {
  return run_c_encoder(ImageFormat::jpeg, jpeg_encode_pixels, pixels, width, height, out);
}

ImageDecoder image_decoder(ImageFormat format) { return kCodecs[static_cast<size_t>(format)].decode; }
ImageEncoder image_encoder(ImageFormat format) { return kCodecs[static_cast<size_t>(format)].encode; }

DecodeOutcome image_decode_bytes(std::span<const uint8_t> bytes, DecodedImage& image) {
  std::optional<ImageFormat> format = image_bytes_format(bytes);
  if (!format) return DecodeOutcome::unknown;
  return image_decoder(*format)(bytes, image) ? DecodeOutcome::decoded : DecodeOutcome::failed;
}

int fuzz_png_decode(const uint8_t* data, size_t size) { return fuzz_entry<png_decode>(data, size); }
int fuzz_jpeg_decode(const uint8_t* data, size_t size) { return fuzz_entry<jpeg_decode>(data, size); }
int fuzz_gif_decode(const uint8_t* data, size_t size) { return fuzz_entry<gif_decode>(data, size); }
int fuzz_tiff_decode(const uint8_t* data, size_t size) { return fuzz_entry<tiff_decode>(data, size); }
int fuzz_bmp_decode(const uint8_t* data, size_t size) { return fuzz_entry<bmp_decode>(data, size); }
int fuzz_image_decode(const uint8_t* data, size_t size) { return fuzz_entry<decode_any>(data, size); }

}  // namespace qel

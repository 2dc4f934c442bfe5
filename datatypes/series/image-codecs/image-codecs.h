// image-codecs.h: decoding encoded images to plain pixels and encoding plain pixels, one codec per
// format (PNG, JPEG, GIF, TIFF through their libraries, BMP our own).
//
// Every decoder takes the first frame to plain pixel words (A<<24|R<<16|G<<8|B, rows top-down,
// stride 4 x width). It reads the declared size first and refuses, before allocating, a side
// past 65,535 or more than 2^28 pixels; on any failure it answers false and keeps nothing.
// Decoders and encoders never throw and never let a library error escape: libpng and libjpeg
// live in C translation units (their longjmp), giflib and libtiff callbacks cannot throw.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "datatypes/series/image-codecs/pixel-sink.h"
#include "datatypes/series/image-store.h"

namespace qel {

struct DecodedImage {
  int64_t width = 0;
  int64_t height = 0;
  PixelWords pixels;
};

// A sink that checks the size limits and allocates the decoded image's pixels (unset: the decoder
// writes every one).
PixelSink decoded_image_sink(DecodedImage& image);

using ImageDecoder = bool (*)(std::span<const uint8_t> bytes, DecodedImage& image);
using ImageEncoder = bool (*)(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out);

bool png_decode(std::span<const uint8_t> bytes, DecodedImage& image);
bool jpeg_decode(std::span<const uint8_t> bytes, DecodedImage& image);
bool gif_decode(std::span<const uint8_t> bytes, DecodedImage& image);
bool tiff_decode(std::span<const uint8_t> bytes, DecodedImage& image);
bool bmp_decode(std::span<const uint8_t> bytes, DecodedImage& image);

bool png_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out);
bool jpeg_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out);
bool gif_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out);
bool tiff_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out);
bool bmp_encode(const uint32_t* pixels, int64_t width, int64_t height, std::vector<uint8_t>& out);

// Loads the library the format's codec calls (the first time it is asked for): null once it is
// there (BMP needs none), else the library's file name. A codec whose library is missing fails.
const char* image_codec_missing_library(ImageFormat format);

// The codec of a format.
ImageDecoder image_decoder(ImageFormat format);
ImageEncoder image_encoder(ImageFormat format);

// What decoding bytes of any format came to.
enum class DecodeOutcome : uint8_t { decoded, unknown, failed };
// Sniffs the bytes and runs their format's decoder.
DecodeOutcome image_decode_bytes(std::span<const uint8_t> bytes, DecodedImage& image);

// Fuzzing entries of the shape a libFuzzer driver calls (any input, answers 0), one per decoder
// and one for the sniffing dispatch.
int fuzz_png_decode(const uint8_t* data, size_t size);
int fuzz_jpeg_decode(const uint8_t* data, size_t size);
int fuzz_gif_decode(const uint8_t* data, size_t size);
int fuzz_tiff_decode(const uint8_t* data, size_t size);
int fuzz_bmp_decode(const uint8_t* data, size_t size);
int fuzz_image_decode(const uint8_t* data, size_t size);

}  // namespace qel

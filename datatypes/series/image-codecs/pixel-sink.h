/* pixel-sink.h: the plain interface between the image codecs and their callers, shared by the C
 * translation units that call libraries reporting errors by longjmp and by the C++ side.
 *
 * A decoder reads the declared size first and asks the sink for the pixel array; the sink checks
 * the size limits and allocates (it never throws: a refusal is a null answer). Pixels are plain
 * words A<<24|R<<16|G<<8|B, rows top-down, stride 4 x width. An encoder hands back bytes it
 * allocated with malloc, which the caller frees. */
#ifndef QEL_IMAGE_PIXEL_SINK_H
#define QEL_IMAGE_PIXEL_SINK_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct PixelSink {
  uint32_t* (*allocate)(void* context, int64_t width, int64_t height); /* null: refused */
  void* context;
} PixelSink;

/* What the C codecs answer. */
enum { kCodecDone = 0, kCodecFailed = 1 };

/* The encoded bytes of an encoder, malloc'd. */
typedef struct EncodedBytes {
  uint8_t* data;
  size_t size;
  size_t capacity;
} EncodedBytes;

/* Appends to the bytes, growing them; 0 when memory runs out. */
int encoded_bytes_append(EncodedBytes* bytes, const void* data, size_t size);

int png_decode_pixels(const uint8_t* data, size_t size, PixelSink* sink);
int png_encode_pixels(const uint32_t* pixels, int64_t width, int64_t height, EncodedBytes* out);
int jpeg_decode_pixels(const uint8_t* data, size_t size, PixelSink* sink);
int jpeg_encode_pixels(const uint32_t* pixels, int64_t width, int64_t height, EncodedBytes* out);

#ifdef __cplusplus
}
#endif

#endif

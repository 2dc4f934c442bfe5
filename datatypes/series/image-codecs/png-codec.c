/* png-codec.c: PNG through libpng. libpng reports errors by longjmp, so its calls stay in this C
 * translation unit: the setjmp frames below hold nothing that needs destroying, and the caller
 * sees only a status. */
#include <stdlib.h>
#include <string.h>

#include "datatypes/series/image-codecs/codec-libraries.h"
#include "datatypes/series/image-codecs/pixel-sink.h"

enum { kPngChunkCap = 8 << 20, kPngMaxSide = 65535 };

typedef struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t at;
} MemoryReader;

static void read_from_memory(png_structp png, png_bytep into, size_t n) {
  MemoryReader* reader = (MemoryReader*)libpng.png_get_io_ptr(png);
  if (n > reader->size - reader->at) libpng.png_error(png, "read past the data");
  memcpy(into, reader->data + reader->at, n);
  reader->at += n;
}

/* The buffer libpng's errors jump back to (what its png_jmpbuf names). */
static jmp_buf* escape_buffer(png_structp png) { return libpng.png_set_longjmp_fn(png, longjmp, sizeof(jmp_buf)); }

static void silent_error(png_structp png, png_const_charp message) {
  (void)message;
  libpng.png_longjmp(png, 1);
}

static void silent_warning(png_structp png, png_const_charp message) {
  (void)png;
  (void)message;
}

/* Palette and tRNS expanded, grey to RGB, 16-bit samples to their high byte, opaque alpha added
 * where the file has none, BGRA in memory; gamma is ignored. */
static void set_plain_transforms(png_structp png) {
  libpng.png_set_expand(png);
  libpng.png_set_strip_16(png);
  libpng.png_set_gray_to_rgb(png);
  libpng.png_set_bgr(png);
  libpng.png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
  libpng.png_set_interlace_handling(png);
}

int png_decode_pixels(const uint8_t* data, size_t size, PixelSink* sink) {
  MemoryReader reader = {data, size, 0};
  png_structp png = libpng.png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, silent_error, silent_warning);
  if (!png) return kCodecFailed;
  png_infop info = libpng.png_create_info_struct(png);
  png_bytep* volatile rows = NULL;
  if (!info || setjmp(*escape_buffer(png))) {
    free(rows);
    libpng.png_destroy_read_struct(&png, info ? &info : NULL, NULL);
    return kCodecFailed;
  }
  /* Data that runs out early is an error, not a warning: never a partial image. */
  libpng.png_set_benign_errors(png, 0);
  libpng.png_set_user_limits(png, kPngMaxSide, kPngMaxSide);
  libpng.png_set_chunk_malloc_max(png, kPngChunkCap);
  libpng.png_set_read_fn(png, &reader, read_from_memory);
  libpng.png_read_info(png, info);
  png_uint_32 width = libpng.png_get_image_width(png, info), height = libpng.png_get_image_height(png, info);
  uint32_t* pixels = sink->allocate(sink->context, width, height);
  if (!pixels) libpng.png_error(png, "size refused");
  set_plain_transforms(png);
  libpng.png_read_update_info(png, info);
  if (libpng.png_get_rowbytes(png, info) != (size_t)width * 4) libpng.png_error(png, "unexpected row layout");
  rows = (png_bytep*)malloc(sizeof(png_bytep) * height);
  if (!rows) libpng.png_error(png, "no memory");
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = (png_bytep)(pixels + (size_t)y * width);
  libpng.png_read_image(png, rows);
  free(rows);
  libpng.png_destroy_read_struct(&png, &info, NULL);
  return kCodecDone;
}

static void write_to_bytes(png_structp png, png_bytep data, size_t n) {
  if (!encoded_bytes_append((EncodedBytes*)libpng.png_get_io_ptr(png), data, n)) libpng.png_error(png, "no memory");
}

static void flush_nothing(png_structp png) { (void)png; }

int png_encode_pixels(const uint32_t* pixels, int64_t width, int64_t height, EncodedBytes* out) {
  png_structp png = libpng.png_create_write_struct(PNG_LIBPNG_VER_STRING, NULL, silent_error, silent_warning);
  if (!png) return kCodecFailed;
  png_infop info = libpng.png_create_info_struct(png);
  if (!info || setjmp(*escape_buffer(png))) {
    libpng.png_destroy_write_struct(&png, info ? &info : NULL);
    return kCodecFailed;
  }
  libpng.png_set_write_fn(png, out, write_to_bytes, flush_nothing);
  libpng.png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  libpng.png_write_info(png, info);
  libpng.png_set_bgr(png);
  for (int64_t y = 0; y < height; ++y) libpng.png_write_row(png, (png_const_bytep)(pixels + y * width));
  libpng.png_write_end(png, info);
  libpng.png_destroy_write_struct(&png, &info);
  return kCodecDone;
}

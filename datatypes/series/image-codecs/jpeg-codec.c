/* jpeg-codec.c: JPEG through libjpeg-turbo. Its errors arrive by longjmp from the error manager,
 * so its calls stay in this C translation unit, with nothing to destroy in the setjmp frames. */
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>

#include "datatypes/series/image-codecs/codec-libraries.h"
#include "datatypes/series/image-codecs/pixel-sink.h"

enum { kJpegWorkingMemory = 256 << 20, kJpegQuality = 90 };

typedef struct SilentErrors {
  struct jpeg_error_mgr manager;
  jmp_buf escape;
} SilentErrors;

static void escape_on_error(j_common_ptr info) { longjmp(((SilentErrors*)info->err)->escape, 1); }
static void emit_nothing(j_common_ptr info, int level) {
  (void)info;
  (void)level;
}

static void silence(SilentErrors* errors) {
  libjpeg.jpeg_std_error(&errors->manager);
  errors->manager.error_exit = escape_on_error;
  errors->manager.emit_message = emit_nothing;
}

/* An ink value as the colour it leaves: Adobe writes CMYK inverted (0 full ink). */
static uint32_t ink_channel(uint32_t ink, uint32_t black, int inverted) {
  if (!inverted) {
    ink = 255 - ink;
    black = 255 - black;
  }
  return (ink * black + 127) / 255;
}

static void cmyk_row_to_pixels(const JSAMPLE* cmyk, uint32_t* pixels, JDIMENSION width, int inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4) {
    uint32_t k = cmyk[3];
    pixels[x] = 0xFF000000u | ink_channel(cmyk[0], k, inverted) << 16 | ink_channel(cmyk[1], k, inverted) << 8 |
                ink_channel(cmyk[2], k, inverted);
  }
}

/* Grey, YCbCr and RGB come straight out as BGRA; CMYK and YCCK (which the library turns into
 * CMYK) are converted here, row by row through one scratch row. EXIF orientation is ignored. */
int jpeg_decode_pixels(const uint8_t* data, size_t size, PixelSink* sink) {
  struct jpeg_decompress_struct info;
  SilentErrors errors;
  JSAMPLE* volatile scratch = NULL;
  info.err = &errors.manager;
  silence(&errors);
  if (setjmp(errors.escape)) {
    free(scratch);
    libjpeg.jpeg_destroy_decompress(&info);
    return kCodecFailed;
  }
  libjpeg.jpeg_CreateDecompress(&info, JPEG_LIB_VERSION, sizeof info);
  info.mem->max_memory_to_use = kJpegWorkingMemory;
  libjpeg.jpeg_mem_src(&info, data, (unsigned long)size);
  libjpeg.jpeg_read_header(&info, TRUE);
  uint32_t* pixels = sink->allocate(sink->context, info.image_width, info.image_height);
  if (!pixels) longjmp(errors.escape, 1);
  int ink = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = ink ? JCS_CMYK : JCS_EXT_BGRA;
  libjpeg.jpeg_start_decompress(&info);
  const JDIMENSION width = info.output_width;
  if (ink && !(scratch = (JSAMPLE*)malloc((size_t)width * 4))) longjmp(errors.escape, 1);
  while (info.output_scanline < info.output_height) {
    uint32_t* row = pixels + (size_t)info.output_scanline * width;
    JSAMPROW target = ink ? scratch : (JSAMPROW)row;
    libjpeg.jpeg_read_scanlines(&info, &target, 1);
    if (ink) cmyk_row_to_pixels(scratch, row, width, info.saw_Adobe_marker);
  }
  libjpeg.jpeg_finish_decompress(&info);
  free(scratch);
  libjpeg.jpeg_destroy_decompress(&info);
  return kCodecDone;
}

/* Quality 90, 4:2:0 (the library's default sampling), no alpha. */
int jpeg_encode_pixels(const uint32_t* pixels, int64_t width, int64_t height, EncodedBytes* out) {
  struct jpeg_compress_struct info;
  SilentErrors errors;
  /* The library grows the buffer through the address it is given, so the variable lives in
   * memory and holds the current buffer when an error escapes. */
  unsigned char* written = NULL;
  unsigned long length = 0;
  info.err = &errors.manager;
  silence(&errors);
  if (setjmp(errors.escape)) {
    libjpeg.jpeg_destroy_compress(&info);
    free(written);
    return kCodecFailed;
  }
  libjpeg.jpeg_CreateCompress(&info, JPEG_LIB_VERSION, sizeof info);
  libjpeg.jpeg_mem_dest(&info, &written, &length);
  info.image_width = (JDIMENSION)width;
  info.image_height = (JDIMENSION)height;
  info.input_components = 4;
  info.in_color_space = JCS_EXT_BGRA;
  libjpeg.jpeg_set_defaults(&info);
  libjpeg.jpeg_set_quality(&info, kJpegQuality, TRUE);
  libjpeg.jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = (JSAMPROW)(pixels + (size_t)info.next_scanline * (size_t)width);
    libjpeg.jpeg_write_scanlines(&info, &row, 1);
  }
  libjpeg.jpeg_finish_compress(&info);
  int appended = encoded_bytes_append(out, written, length);
  libjpeg.jpeg_destroy_compress(&info);
  free(written);
  return appended ? kCodecDone : kCodecFailed;
}

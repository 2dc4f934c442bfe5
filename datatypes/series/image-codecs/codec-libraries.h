/* codec-libraries.h: the functions the image codecs take from their libraries, loaded at the
 * first image of each library's formats (codec-libraries.cpp), so that a program that never
 * touches an image maps none of them nor the compression libraries they bring.
 *
 * Each library's functions are listed once; the list makes a table of pointers typed as the
 * library declares them, which the C and C++ codecs call through (libpng.png_read_info(...)).
 * A codec calls through its table only once image_codec_missing_library() has answered null. */
#ifndef QEL_IMAGE_CODEC_LIBRARIES_H
#define QEL_IMAGE_CODEC_LIBRARIES_H

#include <stdio.h>

#include <gif_lib.h>
#include <jpeglib.h>
#include <png.h>
#include <tiffio.h>

#define QEL_LIBPNG_FUNCTIONS(X)                                                                        \
  X(png_get_io_ptr) X(png_error) X(png_longjmp) X(png_set_longjmp_fn) X(png_create_read_struct)          \
  X(png_create_info_struct) X(png_destroy_read_struct) X(png_set_benign_errors) X(png_set_user_limits)   \
  X(png_set_chunk_malloc_max) X(png_set_read_fn) X(png_read_info) X(png_get_image_width)                \
  X(png_get_image_height) X(png_set_expand) X(png_set_strip_16) X(png_set_gray_to_rgb) X(png_set_bgr)  \
  X(png_set_add_alpha) X(png_set_interlace_handling) X(png_read_update_info) X(png_get_rowbytes)        \
  X(png_read_image) X(png_create_write_struct) X(png_destroy_write_struct) X(png_set_write_fn)          \
  X(png_set_IHDR) X(png_write_info) X(png_write_row) X(png_write_end)

#define QEL_LIBJPEG_FUNCTIONS(X)                                                                       \
  X(jpeg_std_error) X(jpeg_CreateDecompress) X(jpeg_destroy_decompress) X(jpeg_mem_src)                  \
  X(jpeg_read_header) X(jpeg_start_decompress) X(jpeg_read_scanlines) X(jpeg_finish_decompress)          \
  X(jpeg_CreateCompress) X(jpeg_destroy_compress) X(jpeg_mem_dest) X(jpeg_set_defaults)                 \
  X(jpeg_set_quality) X(jpeg_start_compress) X(jpeg_write_scanlines) X(jpeg_finish_compress)

#define QEL_GIFLIB_FUNCTIONS(X)                                                                        \
  X(DGifOpen) X(DGifCloseFile) X(DGifGetRecordType) X(DGifGetExtension) X(DGifGetExtensionNext)          \
  X(DGifGetImageDesc) X(DGifGetLine) X(EGifOpen) X(EGifCloseFile) X(EGifSetGifVersion)                  \
  X(EGifPutScreenDesc) X(EGifGCBToExtension) X(EGifPutExtension) X(EGifPutImageDesc) X(EGifPutLine)     \
  X(GifQuantizeBuffer) X(GifBitSize) X(GifMakeMapObject) X(GifFreeMapObject)

#define QEL_LIBTIFF_FUNCTIONS(X)                                                                       \
  X(TIFFOpenOptionsAlloc) X(TIFFOpenOptionsFree) X(TIFFOpenOptionsSetMaxSingleMemAlloc)                  \
  X(TIFFOpenOptionsSetErrorHandlerExtR) X(TIFFOpenOptionsSetWarningHandlerExtR) X(TIFFClientOpenExt)    \
  X(TIFFClose) X(TIFFFlush) X(TIFFGetField) X(TIFFSetField) X(TIFFDefaultStripSize) X(TIFFWriteScanline) \
  X(TIFFRGBAImageOK) X(TIFFRGBAImageBegin) X(TIFFRGBAImageGet) X(TIFFRGBAImageEnd)

/* A table member: a pointer typed as the library declares the function. */
#define QEL_LIBRARY_POINTER(function) __typeof__(function)* function;

#ifdef __cplusplus
extern "C" {
#endif

typedef struct LibpngFunctions {
  QEL_LIBPNG_FUNCTIONS(QEL_LIBRARY_POINTER)
} LibpngFunctions;
typedef struct LibjpegFunctions {
  QEL_LIBJPEG_FUNCTIONS(QEL_LIBRARY_POINTER)
} LibjpegFunctions;
typedef struct GiflibFunctions {
  QEL_GIFLIB_FUNCTIONS(QEL_LIBRARY_POINTER)
} GiflibFunctions;
typedef struct LibtiffFunctions {
  QEL_LIBTIFF_FUNCTIONS(QEL_LIBRARY_POINTER)
} LibtiffFunctions;

extern LibpngFunctions libpng;
extern LibjpegFunctions libjpeg;
extern GiflibFunctions giflib;
extern LibtiffFunctions libtiff;

#ifdef __cplusplus
}
#endif

#endif

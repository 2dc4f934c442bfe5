// codec-libraries.cpp: the codec libraries' function tables, each filled when a codec of its
// formats is first asked for.
#include "datatypes/series/image-codecs/codec-libraries.h"

#include "datatypes/series/image-codecs/image-codecs.h"
#include "runtime/shared-library.h"

LibpngFunctions libpng;
LibjpegFunctions libjpeg;
GiflibFunctions giflib;
LibtiffFunctions libtiff;

namespace qel {

namespace {

#define QEL_LIBRARY_NAME(function) #function,

SharedLibraryTable<LibpngFunctions> libpng_library("libpng16.so.16", libpng, {QEL_LIBPNG_FUNCTIONS(QEL_LIBRARY_NAME)});
SharedLibraryTable<LibjpegFunctions> libjpeg_library("libjpeg.so.62", libjpeg, {QEL_LIBJPEG_FUNCTIONS(QEL_LIBRARY_NAME)});
SharedLibraryTable<GiflibFunctions> giflib_library("libgif.so.7", giflib, {QEL_GIFLIB_FUNCTIONS(QEL_LIBRARY_NAME)});
SharedLibraryTable<LibtiffFunctions> libtiff_library("libtiff.so.6", libtiff, {QEL_LIBTIFF_FUNCTIONS(QEL_LIBRARY_NAME)});

#undef QEL_LIBRARY_NAME

// The library's file name unless it is loaded.
template <typename Table>
const char* missing(SharedLibraryTable<Table>& library) {
  return library.loaded() ? nullptr : library.file();
}

}  // namespace

const char* image_codec_missing_library(ImageFormat format) {
  switch (format) {
    case ImageFormat::bmp: return nullptr;
    case ImageFormat::png: return missing(libpng_library);
    case ImageFormat::gif: return missing(giflib_library);
    case ImageFormat::jpeg: return missing(libjpeg_library);
    case ImageFormat::tiff: return missing(libtiff_library);
  }
  return nullptr;
}

}  // namespace qel

// image-media.cpp: image! values from encoded bytes and files, and encoded bytes from images,
// over the codecs of image-codecs/.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "datatypes/scalars/none.h"
#include "datatypes/series/binary.h"
#include "datatypes/series/image-codecs/image-codecs.h"
#include "datatypes/series/image-store.h"
#include "datatypes/series/image.h"
#include "datatypes/series/url.h"
#include "runtime/console-output.h"
#include "runtime/contexts.h"
#include "runtime/error-raise.h"
#include "runtime/value-stack.h"

namespace qel {

namespace {

// Image files are read whole; past this size a file is not taken for an image.
constexpr int64_t kImageFileCap = int64_t{1} << 30;

// The decoded pixels become the record's own array.
NodeId record_of(DecodedImage& image) { return image_from_pixel_words(image.width, image.height, std::move(image.pixels)); }

// The whole file, or nothing when it cannot be opened or read or passes the cap.
std::optional<std::vector<uint8_t>> read_whole_file(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::optional<std::vector<uint8_t>> bytes;
  struct stat info;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kImageFileCap) {
    bytes.emplace(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < bytes->size()) {
      ssize_t n = ::read(fd, bytes->data() + done, bytes->size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
    if (done != bytes->size()) bytes.reset();
  }
  ::close(fd);
  return bytes;
}

[[noreturn]] void raise_bad_media() { raise_error(error_id("access", "bad-media")); }

// A codec whose library cannot be loaded is this system's shortcoming, not the data's: the error
// names the library.
void require_codec_library(ImageFormat format) {
  if (const char* file = image_codec_missing_library(format))
    raise_error(error_id("internal", "not-here"), word_from_c_string(file));
}

DecodeOutcome decode_bytes(std::span<const uint8_t> bytes, DecodedImage& image) {
  if (std::optional<ImageFormat> format = image_bytes_format(bytes)) require_codec_library(*format);
  return image_decode_bytes(bytes, image);
}

}  // namespace

NodeId image_load_from_memory(std::span<const uint8_t> bytes) {
  DecodedImage image;
  return decode_bytes(bytes, image) == DecodeOutcome::decoded ? record_of(image) : 0;
}

NodeId image_load_from_file(const Cell& file) {
  std::optional<std::vector<uint8_t>> bytes = read_whole_file(file_to_os_path(file));
  return bytes ? image_load_from_memory(*bytes) : 0;
}

Cell* image_from_binary(const Cell& binary) {
  std::span<const uint8_t> bytes(binary_head_address(binary), static_cast<size_t>(binary_length(binary)));
  DecodedImage image;
  switch (decode_bytes(bytes, image)) {
    case DecodeOutcome::unknown: return stack_push_value(kNoneCell);
    case DecodeOutcome::failed: raise_bad_media();
    case DecodeOutcome::decoded: break;
  }
  Cell* pushed = stack_push_cell();
  return image_box(*pushed, record_of(image));
}

void image_from_file(Cell& out, const Cell& file) {
  out = make_cell(Type::unset);
  NodeId record = image_load_from_file(file);
  if (record == 0) raise_error(error_id("access", "cannot-open"), file);
  image_box(out, record);
}

Cell* image_decode_value(const Cell& value) {
  if (cell_type(value) == Type::binary) return image_from_binary(value);
  Cell* pushed = stack_push_cell();
  image_from_file(*pushed, value);
  return pushed;
}

Cell* image_encode_value(const Cell& image, Cell* out, int32_t format) {
  if (!out) out = stack_push_cell();
  if (format < static_cast<int32_t>(ImageFormat::bmp) || format > static_cast<int32_t>(ImageFormat::tiff)) {
    print_values_line({{item_text("Cannot find image encoder")}});
    *out = kNoneCell;
    return out;
  }
  std::vector<uint8_t> bytes;
  if (image_cell_pixels(image) > 0) {
    if (image.w2 == 0) raise_bad_media();
    require_codec_library(static_cast<ImageFormat>(format));
    ImageView view = image_pixels(image.w2);
    if (!image_encoder(static_cast<ImageFormat>(format))(view.data, view.width, view.height, bytes)) raise_bad_media();
  }
  binary_make_at(*out, static_cast<int64_t>(bytes.size()));
  binary_append_bytes(*out, bytes);
  return out;
}

}  // namespace qel

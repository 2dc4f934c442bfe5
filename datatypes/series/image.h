// image.h: image! (type 53, parent series!): a rectangular bitmap seen as a series of pixels in
// row order, each pixel a tuple r.g.b.t whose fourth component is transparency (0 opaque).
//
// An image! cell: the index (a pixel position, 0-based, row-major), the node of the image record
// (0 for an image without pixels, such as 0x0) and the size word (width in the low 16 bits,
// height in the high 16 bits), so positions and lengths are known without touching the pixels.
// Positions and lengths count pixels: an image is at its tail when its index reaches width x
// height. The pixels live in the image store (image-store.h); every pixel change tells the
// image's owner before and after.
#pragma once

#include <cstdint>
#include <span>

#include "runtime/cell.h"

namespace qel {

// image-init: registers image! with its action row and element hook.
void image_init();

// The size halves of an image! cell and its pixel count.
inline int64_t image_cell_width(const Cell& image) { return image.w3 & 0xFFFF; }
inline int64_t image_cell_height(const Cell& image) { return image.w3 >> 16; }
inline int64_t image_cell_pixels(const Cell& image) { return image_cell_width(image) * image_cell_height(image); }

// image-box: the cell as an image! of the record (index 0, the record's size; 0: no pixels).
Cell* image_box(Cell& cell, NodeId record);
// image-push: pushes a copy of the cell on the value stack.
Cell* image_push(const Cell& image);
// image-push-resized: pushes a new image! of the value's pixels scaled to the size.
Cell* image_push_resized(const Cell& image, int64_t width, int64_t height);

// image-index: the pixel position an index value (integer! or pair!) names, counted from the
// image's index with base 1 (pick, poke, paths) or 0, clamped to 0 .. width x height.
// `out_of_range` tells whether no pixel is there.
int64_t image_index(const Cell& image, const Cell& index, int32_t base, bool& out_of_range);

// image-get-pixel-tuple: none at or past width x height, else the pixel as r.g.b.(255 - A).
Cell image_get_pixel_tuple(const Cell& image, int64_t position);

// What image-to-binary and image-set-from-binary read and write of each pixel.
enum class PixelBytes : uint8_t {
  alpha = 0,  // one byte of transparency, 255 - A
  rgb = 1,    // R, G, B
  argb = 2,   // the pixel word in memory order B, G, R, A
};
// image-to-binary: a new binary! of the whole image's pixels pushed on the value stack.
Cell* image_to_binary(const Cell& image, PixelBytes selector);
// image-set-from-binary: writes a binary!'s bytes, or a tuple! or integer! into every pixel;
// any other value raises script invalid-arg naming it. Tells the owner.
void image_set_from_binary(const Cell& image, const Cell& value, PixelBytes selector);

// image-from-binary: a binary!'s bytes decoded (from its index) into an image! pushed on the
// value stack; bytes that do not look like an image push none, bytes that look like one but do
// not decode raise access bad-media.
Cell* image_from_binary(const Cell& binary);
// image-from-file: the file decoded into `out`; a file that cannot be read or decoded raises
// access cannot-open naming it.
void image_from_file(Cell& out, const Cell& file);
// image-decode-value: image_from_binary for a binary!, image_from_file for anything else; the
// image pushed on the value stack.
Cell* image_decode_value(const Cell& value);
// image-encode-value: the image encoded in the format (a number of ImageFormat) into `out` as a
// binary! (empty for an image with a side of 0), or none after printing "Cannot find image
// encoder" for another number; an encoder that fails raises access bad-media. A null `out` is a
// fresh value stack cell.
Cell* image_encode_value(const Cell& image, Cell* out, int32_t format);

// image-load-from-memory and image-load-from-file: a record decoded from encoded bytes or from
// a file (read whole, up to a size cap), or 0 when they do not decode or the file cannot be read;
// bytes of a format whose codec library cannot be loaded raise internal not-here naming it.
NodeId image_load_from_memory(std::span<const uint8_t> bytes);
NodeId image_load_from_file(const Cell& file);

// image-lock and image-unlock: the whole plain pixel array of an image with a record, locked
// for the lifetime of the object, which must not span a safe point. A write lock that notifies
// tells the owner before the lock is taken and, through unlock, after the change, both as a
// change of the whole image.
class ImageLock {
 public:
  ImageLock(const Cell& image, bool write, bool notify);
  uint32_t* data() const { return data_; }
  int64_t stride() const { return stride_; }
  // Ends the change: the owner hears of it when the lock was taken to notify. The view is gone.
  void unlock();
  ImageLock(const ImageLock&) = delete;
  ImageLock& operator=(const ImageLock&) = delete;

 private:
  Cell image_;
  uint32_t* data_ = nullptr;
  int64_t stride_ = 0;
  bool told_ = false;
};

}  // namespace qel

// image-store.h: the image store: the record every image! value names, and the pixel arrays it
// reaches through its external-resource slot.
//
// The record is a 24-byte byte series of six 32-bit words: flags, three interface words that
// stay 0 on this platform (drawing copy, pixel copy, drawing target live in the store object),
// the size (width low 16 bits, height high 16 bits) and the resource slot. The store object
// holds the plain array (pixel word A<<24|R<<16|G<<8|B, rows top-down, stride 4 x width), the
// premultiplied array made on demand for drawing (native-endian premultiplied ARGB, rows
// 16-byte aligned, so a drawing library wraps it without a copy) and the drawing target a GUI
// back end attaches. The plain array is the authority: it is rebuilt from the premultiplied one
// only after a drawing (flag 0x20).
//
// Arrays live outside series memory and never move; their bytes count towards collections
// (memory_outside_add). No address from a view survives a safe point or an evaluator call.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>

#include "runtime/cell.h"

namespace qel {

// Record flags.
inline constexpr uint32_t kImagePixelsValid = 0x01;   // the plain array is current
inline constexpr uint32_t kImagePixelsChanged = 0x02; // written through the plain array: drawing copy stale
inline constexpr uint32_t kImagePrivateDrawing = 0x08; // the drawing copy is private, to draw into
inline constexpr uint32_t kImagePremultiplied = 0x10;  // the drawing copy is premultiplied
inline constexpr uint32_t kImageDrawnOn = 0x20;        // drawn on: the plain array is stale
inline constexpr uint32_t kImageDrawing = 0x40;        // the target of a drawing in progress

// Size limits, checked before anything is allocated.
inline constexpr int64_t kImageMaxSide = 65535;
inline constexpr int64_t kImageMaxPixels = int64_t{1} << 28;

// Pixel words in memory of their own, 16-byte aligned and left unset when allocated: whoever fills
// them writes every word. A record takes them over as its plain array without a copy
// (image_from_pixel_words), so a decoder writes straight into the array the image keeps.
class PixelWords {
 public:
  PixelWords() = default;
  PixelWords(PixelWords&& other) noexcept { swap(other); }
  PixelWords& operator=(PixelWords&& other) noexcept {
    PixelWords gone(std::move(*this));
    swap(other);
    return *this;
  }
  ~PixelWords();
  // Room for `count` words in place of the old ones; false, and empty, when memory runs out.
  bool allocate(size_t count);
  uint32_t* data() const { return data_; }
  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  uint32_t& operator[](size_t index) const { return data_[index]; }
  uint32_t* begin() const { return data_; }
  uint32_t* end() const { return data_ + size_; }

 private:
  void swap(PixelWords& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }
  uint32_t* data_ = nullptr;
  size_t size_ = 0;
};

// A drawing target from a GUI back end: an opaque object and the function that releases it.
struct ImageTarget {
  void* object = nullptr;
  void (*release)(void* object) = nullptr;
};

// A view on one pixel array: valid until the next safe point or store operation.
struct ImageView {
  uint32_t* data = nullptr;
  int64_t stride = 0;  // bytes from one row to the next
  int64_t width = 0;
  int64_t height = 0;
};

// An r.g.b colour with its alpha (255 opaque).
struct ImageColour {
  uint8_t r, g, b, a;
};

// image-store-init: registers the image resource kind (its release frees the store object).
void image_store_init();

// Raises script out-of-range naming the size (a pair!) when a side passes 65,535 or the pixel
// count passes 2^28; negative sides too.
void image_size_check(int64_t width, int64_t height);

// A new record over fresh arrays (flags as given), its resource slot taken. The plain array is
// filled by the caller through image_pixels. Width and height are checked.
NodeId image_record_new(uint32_t flags, int64_t width, int64_t height);

// The size halves and the flags of a record.
int64_t image_width(NodeId record);
int64_t image_height(NodeId record);
uint32_t image_flags(NodeId record);

// The plain array, brought up to date (after a drawing it is rebuilt from the premultiplied one).
ImageView image_pixels(NodeId record);

// The premultiplied array for drawing and the back end, converted when missing or stale.
ImageView image_premultiplied_view(NodeId record);

// Prepares a private premultiplied array to draw into; flags become exactly 0x18.
ImageView image_clone_bitmap(NodeId record);

// Locks the whole plain array for reading or writing; a write lock marks the drawing copy stale.
// The view is valid while the lock lives, which must not span a safe point.
class ImagePixelLock {
 public:
  ImagePixelLock(NodeId record, bool write);
  const ImageView& view() const { return view_; }
  ImagePixelLock(const ImagePixelLock&) = delete;
  ImagePixelLock& operator=(const ImagePixelLock&) = delete;

 private:
  ImageView view_;
};

// One pixel word of the plain array by pixel index (below width x height, checked by the caller).
uint32_t image_get_pixel(NodeId record, int64_t index);
void image_set_pixel(NodeId record, int64_t index, uint32_t pixel);

// A record filled from a colour, or from RGB triples and alpha bytes (the language's
// transparency, 255 - alpha) with white opaque where the data runs out; 0 when a side is 0.
NodeId image_from_rgb_data(int64_t width, int64_t height, std::span<const uint8_t> rgb,
                           std::span<const uint8_t> transparency, std::optional<ImageColour> colour);

// A record copied from pixel words in memory (stride 0: 4 x width); 0 when a side is 0.
NodeId image_from_memory(int64_t width, int64_t height, int64_t stride, const uint32_t* pixels);
// A record whose plain array is `pixels` (width x height words, rows top-down), taken over; 0
// when a side is 0. The size is checked.
NodeId image_from_pixel_words(int64_t width, int64_t height, PixelWords pixels);

// A new record holding the w x h rectangle of a record's pixels from column x, row y (inside the
// image; the caller clips); 0 when a side is 0. Flags 0x03, as every fresh pixel copy.
NodeId image_crop(NodeId record, int64_t x, int64_t y, int64_t width, int64_t height);
// A new record of the given size whose pixels scale the record's by nearest neighbour; 0 when a
// side is 0. The size is checked.
NodeId image_resize(NodeId record, int64_t width, int64_t height);

// Drawing-target handling for the GUI back end.
ImageTarget image_mark_drawing(NodeId record);   // sets 0x40; answers the target
void image_set_target(NodeId record, ImageTarget target);
void image_mark_dirty(NodeId record);            // sets 0x20, releases the target
void image_release_drawing_target(NodeId record);
void image_release_bitmaps(NodeId record);       // drops both arrays and the target now

// The collector's mark step for an image! cell.
void image_gc_mark(const Cell& image);

// Premultiplying one channel and back (0 when alpha is 0), rounded to nearest.
constexpr uint8_t premultiply_channel(uint32_t c, uint32_t a) { return static_cast<uint8_t>((c * a + 127) / 255); }
constexpr uint8_t unpremultiply_channel(uint32_t p, uint32_t a) {
  return a == 0 ? 0 : static_cast<uint8_t>(std::min<uint32_t>(255, (p * 255 + a / 2) / a));
}

// The encoded-image formats, numbered as image encoding names them.
enum class ImageFormat : int32_t { bmp = 0, png = 1, gif = 2, jpeg = 3, tiff = 4 };

// Format sniffing: the format whose signature the bytes start with (PNG, JPEG, BMP, GIF 87a/89a,
// TIFF either byte order), or none.
std::optional<ImageFormat> image_bytes_format(std::span<const uint8_t> bytes);
inline bool image_bytes_sniff(std::span<const uint8_t> bytes) { return image_bytes_format(bytes).has_value(); }

}  // namespace qel
